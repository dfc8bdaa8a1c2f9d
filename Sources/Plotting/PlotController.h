#pragma once

#include "Plotting/TrackPlotter.h"

#include <QMap>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>

class Measurement;
class MeasurementController;
class TrackList;

// Creates and keeps one plot item per (measurement, device) and hands it to
// the scene: live plotters that follow a stream, static plotters for stored
// measurements. The same pair always yields the same item, whichever kind
// was asked for first.
class PlotController : public QObject
{
    Q_OBJECT
public:
    PlotController(QObject* parent, MeasurementController* measurementController);
    // Frees the plotters that are still kept (the scene never owns them).
    ~PlotController() override;

    Q_INVOKABLE QObject* getLivePlotter(QString measurementIdStr, QString deviceSerialStr);
    Q_INVOKABLE QObject* getStaticPlotter(QString measurementIdStr, QString deviceSerialStr);
    // The scene no longer shows the pair's plot: the item goes, with its
    // buffers. Asked for again, the pair gets a new one.
    Q_INVOKABLE void releasePlotter(QString measurementIdStr, QString deviceSerialStr);
    Q_INVOKABLE void setPlotterType(ushort plotterType);
    Q_INVOKABLE void setSetupName(QString SetupName);

    ushort getPlotterType() const { return m_plotterType; }
    QString getSetupName() const { return m_setupName; }
    // The kept plotter of the pair, or null; creates nothing.
    TrackPlotter* plotterFor(quint64 measurementId, quint64 deviceSerial) const;
    int numberOfPlotters() const { return m_plotters.size(); }

public Q_SLOTS:
    void createLivePlotter(QString measurementIdStr, QString deviceSerialStr);
    void createStaticPlotter(QString measurementIdStr, QString deviceSerialStr);
    void createStaticPlotters(QString measurementIdStr);
    void removeLivePlotters();
    void stopUpdate();
    // Called when a live stream ends: the live plotters of the measurement
    // stop their timers after drawing the last samples once more.
    void stopLivePlotters(QString measurementIdStr);

Q_SIGNALS:
    void staticPlotterCreated(QString measurementIdStr, QString deviceSerialStr);
    void livePlotterCreated(QString measurementIdStr, QString deviceSerialStr);

private Q_SLOTS:
    // A stream header announced tracks: the plotter of that pair (if any)
    // sets itself up when the list is complete.
    void onDeviceTrackListChanged(quint64 DeviceSerial, quint64 MeasurementId, TrackList* trackList);

private:
    // The plotter of the pair, created if needed; `listOut` receives the
    // device's track list when the measurement has one.
    TrackPlotter* lookUpPlotter(const QString& measurementIdStr, const QString& deviceSerialStr, TrackList** listOut,
                                TrackPlotter::Modes mode);
    TrackPlotter* newPlotter() const;
    // A new stream replaces the one drawn before: the live plots of every
    // other measurement go.
    void releaseLivePlottersBut(quint64 measurementId);
    void release(QMap<QPair<quint64, quint64>, QPointer<TrackPlotter>>::iterator it);
    Measurement* findMeasurement(quint64 measurementId) const;
    // The device's list in the measurement, without creating one.
    static TrackList* existingTrackList(Measurement* measurement, quint64 deviceSerial);

    QPointer<MeasurementController> m_measurementController;
    ushort m_plotterType = 1;
    QString m_setupName;
    QMap<QPair<quint64, quint64>, QPointer<TrackPlotter>> m_plotters;
};
