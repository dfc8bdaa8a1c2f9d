#pragma once

// Complete here: the plotter guards its pointers to these with QPointer.
#include "Data/Measurement.h"
#include "Data/Track.h"
#include "Data/TrackList.h"
#include "Plotting/GraphFeed.h"
#include "Plotting/PlotItem.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QVector>

class QCPAbstractPlottable;
class QCPAxis;

// The plot item of the scene: one line graph per scalar track of a device's
// track list, drawn by an off-screen QCustomPlot. In live mode a timer
// redraws the newest samples 25 times a second; in static mode the whole
// measurement is drawn once its tracks are set up. While the scene does not
// show the item, it does no work at all: changes wait until it is shown
// again.
//
// Tracks and track lists belong to their measurement and may go at any time
// (a data load replaces a list, a measurement is removed), so the plotter
// only ever holds guarded pointers to them.
class TrackPlotter : public PlotItem
{
    Q_OBJECT
    // The legend can be folded away where the plot has little room.
    Q_PROPERTY(bool legendVisible READ isLegendVisible WRITE setLegendVisible NOTIFY legendVisibleChanged)
public:
    enum Modes { Live = 0, Static = 1 };
    Q_ENUM(Modes)

    explicit TrackPlotter(QQuickItem* parent = nullptr);
    ~TrackPlotter() override;

    void setMode(TrackPlotter::Modes mode);
    TrackPlotter::Modes getMode() const { return m_mode; }
    void setSetupName(QString name);
    QString getSetupName() const { return m_setupName; }

    virtual void AddTrack(Track* track);
    virtual QCPAxis* decideYAxis(Track* track);

    // The measurement and device whose track list this plotter shows. The
    // list is looked up again on every update, so that a list loaded from
    // disk after the plotter was made replaces the one it was set up with.
    void setSource(Measurement* measurement, quint64 deviceSerial);

    // The list the plotter is set up with (null when none or gone), and its
    // tracks that still exist, in the order they were added.
    TrackList* getTrackList() const { return m_trackList.data(); }
    QList<Track*> getTracks() const;
    // The graph (or bars) a track draws into; null for vector tracks and
    // tracks the plotter does not show.
    QCPAbstractPlottable* plottableOf(const Track* track) const;
    int getHueStep() const { return m_hueStep; }
    // Whether the plot follows a stream; its timer runs only while it is
    // also shown.
    bool isUpdating() const { return m_following; }
    bool isTimerRunning() const { return m_updateTimer.isActive(); }

    bool isLegendVisible() const { return m_legendVisible; }
    void setLegendVisible(bool visible);

public Q_SLOTS:
    void updateGraphs();
    void SetupTracks(TrackList* tracklist);
    virtual void updateGraph(uchar trackNumber);
    void stopUpdate();

Q_SIGNALS:
    void quaternionUpdate(double alpha, double x, double y, double z);
    void legendVisibleChanged();

protected:
    using Window = SampleWindow;

    // One shown track and the plottable it draws into. Kept by track, not
    // by the plot's plottable order: vector and ignored tracks have none.
    struct Entry {
        QPointer<Track> track;
        QPointer<QCPAbstractPlottable> plottable;
        GraphFeed feed;
        quint32 lastVectorNumber = 0;
        bool vectorSeen = false;
    };

    // For the plotters derived from this one.
    void addToLegend(QCPAbstractPlottable* plottable);
    void addEntry(Track* track, QCPAbstractPlottable* plottable);
    int numberOfEntries() const { return m_entries.size(); }
    Track* trackAt(int index) const;
    QCPAbstractPlottable* plottableAt(int index) const;
    // The window last drawn for an entry; null for an index past the entries.
    Window* windowAt(int index);
    // The samples of `track` the current mode shows, as a range of its
    // sample store: in live mode its tail window, in static mode all of them.
    Window windowFor(const Track* track) const;
    // An axis may carry tracks of several units; it names each once, in the
    // order the tracks came, instead of only the last one.
    static void addUnitToLabel(QCPAxis* axis, const QString& unit);
    // An axis label longer than its axis is shortened, with an ellipsis.
    void fitAxisLabels();
    // Marks the plot as needing a replot at the end of this update.
    void markChanged() { m_changed = true; }
    bool isVerbose() const { return m_mode != Live; }
    // Removes every plottable and item (bars and labels too, which the plot's
    // graph clearing would leave behind).
    virtual void clearPlot();
    void shownChanged() override;

    double m_maxX = 0.0;
    double m_minX = 0.0;
    bool m_autoXRange = true;

private Q_SLOTS:
    void graphClicked(QCPAbstractPlottable* plottable);

private:
    // Switches to the list the source now holds, when that is another one.
    void followSource();
    TrackList* sourceTrackList() const;
    void dropTrackList();
    void replotIfNeeded();
    // Runs the timer while the plot follows a stream and is shown.
    void syncTimer();
    // One update, after the events already queued (a layout resizes an item
    // many times in a row).
    void queueUpdate();
    void emitQuaternion(Entry& entry);

    Modes m_mode = Live;
    QString m_setupName;
    int m_liveWindow = 5000;
    quint16 m_numberOfTracks = 0;
    int m_hueStep = 0;
    QTimer m_updateTimer;

    QPointer<TrackList> m_trackList;
    QVector<Entry> m_entries;
    QPointer<Measurement> m_sourceMeasurement;
    quint64 m_sourceSerial = 0;
    bool m_changed = false;
    bool m_firstLiveUpdate = true;
    bool m_updateQueued = false;
    bool m_following = false;
    // An update was skipped while the plot was not shown.
    bool m_pending = false;
    bool m_legendVisible = true;
};
