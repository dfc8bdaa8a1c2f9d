#include "Plotting/TrackPlotter.h"

#include "Data/Measurement.h"
#include "Data/Track.h"
#include "Data/TrackList.h"
#include "Log/LogCategories.h"
#include "Plotting/CachedLegendItem.h"
#include "Plotting/OffscreenPlot.h"

#include <QDebug>
#include <QFontMetrics>

#include <cmath>
#include <limits>

namespace {

// Every unit an axis carries; its label shows as many as fit.
const char kFullLabel[] = "korvexUnits";

// A live plot is redrawn 25 times a second, as smooth as television: every
// frame redraws the whole plot, and frames no screen shows are work lost.
constexpr int kLiveFrameMs = 40;

// Channels computed by the sensor's jump and ground-contact algorithms: as
// line graphs they are steps, state codes and time stamps that swamp the
// motion signals (and stretch their axis).
bool isIgnoredTrack(int id)
{
    return id == Track::JumpHeight || id == Track::JumpState || id == Track::GroundContactTime
        || id == Track::GroundContactTimeState || id == Track::GroundContactTimeTime;
}

} // namespace

void TrackPlotter::addUnitToLabel(QCPAxis* axis, const QString& unit)
{
    if (axis == nullptr || unit.isEmpty())
        return;
    const QString separator = QStringLiteral(", ");
    const QString label = axis->property(kFullLabel).toString();
    QString units = label;
    if (label.isEmpty())
        units = unit;
    else if (!label.split(separator).contains(unit))
        units = label + separator + unit;
    axis->setProperty(kFullLabel, units);
    axis->setLabel(units);
}

void TrackPlotter::fitAxisLabels()
{
    const int room = m_customPlot->axisRect()->height() - 4;
    for (QCPAxis* axis : {m_customPlot->yAxis, m_customPlot->yAxis2}) {
        const QString units = axis->property(kFullLabel).toString();
        if (units.isEmpty() || room < 1)
            continue;
        const QString shown = QFontMetrics(axis->labelFont()).elidedText(units, Qt::ElideRight, room);
        if (shown != axis->label())
            axis->setLabel(shown);
    }
}

TrackPlotter::TrackPlotter(QQuickItem* parent)
    : PlotItem(parent)
{
    m_updateTimer.setInterval(kLiveFrameMs);
    connect(&m_updateTimer, &QTimer::timeout, this, &TrackPlotter::updateGraphs);
    connect(m_customPlot, &QCustomPlot::plottableClick, this, &TrackPlotter::graphClicked);
}

TrackPlotter::~TrackPlotter()
{
    qCDebug(lcPlotting) << " Deleting Trackplotter: " << this;
    m_updateTimer.stop();
}

void TrackPlotter::setMode(TrackPlotter::Modes mode)
{
    if (mode == m_mode)
        return;
    m_mode = mode;
    // A static plot never changes by itself; the timer would only burn time.
    if (m_mode != Live) {
        m_following = false;
        syncTimer();
    }
    for (Entry& entry : m_entries)
        entry.feed.window() = Window();
    m_firstLiveUpdate = true;
    markChanged();
}

void TrackPlotter::setSetupName(QString name)
{
    m_setupName = std::move(name);
}

void TrackPlotter::setSource(Measurement* measurement, quint64 deviceSerial)
{
    m_sourceMeasurement = measurement;
    m_sourceSerial = deviceSerial;
}

QList<Track*> TrackPlotter::getTracks() const
{
    QList<Track*> tracks;
    for (const Entry& entry : m_entries) {
        if (entry.track != nullptr)
            tracks.append(entry.track.data());
    }
    return tracks;
}

QCPAbstractPlottable* TrackPlotter::plottableOf(const Track* track) const
{
    for (const Entry& entry : m_entries) {
        if (track != nullptr && entry.track.data() == track)
            return entry.plottable.data();
    }
    return nullptr;
}

void TrackPlotter::SetupTracks(TrackList* tracklist)
{
    if (tracklist == nullptr)
        return;
    const bool sameList = tracklist == m_trackList.data();
    const auto count = static_cast<quint16>(tracklist->numberOfTracks());
    // The stream header may complete the same list again; that changes
    // nothing. Another list (loaded from disk, say) always takes over.
    if (sameList && count == m_numberOfTracks)
        return;
    if (!sameList) {
        dropTrackList();
        m_trackList = tracklist;
    }
    m_numberOfTracks = count;
    if (count == 0) {
        replotIfNeeded();
        return;
    }

    qCDebug(lcPlotting) << "Plotter " << this << " is setting up tracks from tracklist: " << tracklist;
    clearPlot();
    m_entries.clear();
    m_hueStep = 359 / count;
    const QList<Track*> tracks = tracklist->getAllTracks();
    for (Track* track : tracks)
        AddTrack(track);
    m_customPlot->setLegendShown(m_legendVisible);
    m_layoutStale = true;
    markChanged();
    m_firstLiveUpdate = true;

    if (m_mode == Live) {
        m_following = true;
        syncTimer();
    } else {
        updateGraphs();
    }
}

void TrackPlotter::AddTrack(Track* track)
{
    if (track == nullptr || isIgnoredTrack(track->getTrackId()))
        return;
    if (track->getType() == Track::VectorTrack) {
        addEntry(track, nullptr);
        return;
    }
    if (track->getType() != Track::ScalarTrack)
        return;

    QCPAxis* axis = decideYAxis(track);
    QCPRange range = axis->range();
    QCPGraph* graph = m_customPlot->addGraph(m_customPlot->xAxis, axis);
    graph->setName(track->getLabel());
    // The graph gets at most one point per pixel column (GraphThinner);
    // the plot's own sampling pass would only cost time on top.
    graph->setAdaptiveSampling(false);
    addToLegend(graph);
    // The count includes the new graph: the first one gets one hue step.
    graph->setPen(QPen(QColor::fromHsl(m_customPlot->graphCount() * m_hueStep, 127, 127, 255)));
    addEntry(track, graph);
    range.expand(track->getMaxY());
    range.expand(track->getMinY());
    axis->setRange(range);
}

QCPAxis* TrackPlotter::decideYAxis(Track* track)
{
    const double span = track->getMaxY() - track->getMinY();
    QCPAxis* axis = span > 40 ? m_customPlot->yAxis2 : m_customPlot->yAxis;
    axis->setVisible(true);
    addUnitToLabel(axis, track->getUnit());
    return axis;
}

void TrackPlotter::updateGraphs()
{
    // Nothing is thinned, replotted or copied for a plot nobody sees; it
    // catches up when it is shown.
    if (!isShown()) {
        m_pending = true;
        return;
    }
    m_pending = false;
    followSource();

    m_maxX = -std::numeric_limits<double>::infinity();
    m_minX = std::numeric_limits<double>::infinity();
    const int count = qMin(m_entries.size(), 256);
    for (int i = 0; i < count; ++i) {
        Track* track = m_entries[i].track.data();
        if (track == nullptr)
            continue;
        if (track->getType() == Track::ScalarTrack)
            updateGraph(static_cast<uchar>(i));
        else if (track->getType() == Track::VectorTrack && track->getUnit() == QLatin1String("Quaternion"))
            emitQuaternion(m_entries[i]);
    }
    // An empty or inverted range (no graph had data) is ignored by the axis.
    if (m_autoXRange)
        m_customPlot->xAxis->setRange(m_minX, m_maxX);

    const bool report = isVerbose() || m_firstLiveUpdate;
    replotIfNeeded();
    // A live plot updates 25 times a second; it reports its first
    // update only.
    if (report)
        qCDebug(lcPlotting) << " CustomPlotItem is updated nr of graphs: " << m_entries.size() << " min: " << m_minX
                            << " max: " << m_maxX;
    m_firstLiveUpdate = false;
}

void TrackPlotter::updateGraph(uchar trackNumber)
{
    if (trackNumber >= m_entries.size())
        return;
    Entry& entry = m_entries[trackNumber];
    Track* track = entry.track.data();
    auto* graph = qobject_cast<QCPGraph*>(entry.plottable.data());
    if (track == nullptr || graph == nullptr)
        return;

    const ScalarSampleStore& store = track->scalarSampleStore();
    const Window wanted = windowFor(track);
    if (m_layoutStale) {
        m_layoutStale = false;
        m_customPlot->layOut();
        fitAxisLabels();
    }
    const int columns = m_customPlot->axisRect()->width();
    if (entry.feed.sync(graph, store, wanted, columns))
        markChanged();

    if (wanted.end > wanted.start) {
        m_minX = double(store.numberAt(wanted.start));
        m_maxX = double(store.numberAt(wanted.end - 1));
    }
    if (isVerbose())
        qCDebug(lcPlotting) << " minXScale: " << m_minX << " maxXScale: " << m_maxX;
    if (m_minX > m_maxX && !qIsInf(m_minX))
        qCDebug(lcPlotting) << " nopenopenope";
}

TrackPlotter::Window TrackPlotter::windowFor(const Track* track) const
{
    Window window;
    window.valid = true;
    const ScalarSampleStore& store = track->scalarSampleStore();
    window.reorderCount = store.reorderCount();
    const int count = store.size();
    if (m_mode == Live) {
        // The same window as the track's tail getters: the newest n + 1
        // samples, or all but the newest while there are at most n + 1.
        const qint64 n = m_liveWindow / (qint64(track->getDownSamplingFactor()) + 1);
        if (count > 0) {
            const qint64 first = qMax<qint64>(qint64(count) - 1 - n, 0);
            const qint64 length = qMin<qint64>(count - first, count - 1);
            window.start = static_cast<int>(first);
            window.end = static_cast<int>(first + length);
        }
    } else if (m_mode == Static) {
        window.start = 0;
        window.end = count;
    }
    return window;
}

void TrackPlotter::stopUpdate()
{
    m_following = false;
    syncTimer();
}

void TrackPlotter::syncTimer()
{
    if (m_following && isShown()) {
        if (!m_updateTimer.isActive())
            m_updateTimer.start();
    } else {
        m_updateTimer.stop();
    }
}

void TrackPlotter::queueUpdate()
{
    if (m_updateQueued)
        return;
    m_updateQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this]() {
            m_updateQueued = false;
            updateGraphs();
        },
        Qt::QueuedConnection);
}

void TrackPlotter::shownChanged()
{
    markChanged();
    syncTimer();
    if (!isShown())
        return;
    // Graphs are thinned to the plot's width: a plot that skipped updates,
    // or one that no timer updates, is drawn again once the size has settled.
    if (m_pending || !m_following)
        queueUpdate();
}

void TrackPlotter::addToLegend(QCPAbstractPlottable* plottable)
{
    m_customPlot->legend->addItem(new CachedLegendItem(m_customPlot->legend, plottable));
}

void TrackPlotter::addEntry(Track* track, QCPAbstractPlottable* plottable)
{
    Entry entry;
    entry.track = track;
    entry.plottable = plottable;
    m_entries.append(entry);
}

Track* TrackPlotter::trackAt(int index) const
{
    return index >= 0 && index < m_entries.size() ? m_entries[index].track.data() : nullptr;
}

TrackPlotter::Window* TrackPlotter::windowAt(int index)
{
    return index >= 0 && index < m_entries.size() ? &m_entries[index].feed.window() : nullptr;
}

QCPAbstractPlottable* TrackPlotter::plottableAt(int index) const
{
    return index >= 0 && index < m_entries.size() ? m_entries[index].plottable.data() : nullptr;
}

void TrackPlotter::clearPlot()
{
    m_customPlot->clearPlottables();
    m_customPlot->clearItems();
    // Axes start over as well: a new list brings its own units and ranges.
    for (QCPAxis* axis : {m_customPlot->yAxis, m_customPlot->yAxis2}) {
        axis->setLabel(QString());
        axis->setProperty(kFullLabel, QString());
        axis->setRange(0, 5);
    }
    m_customPlot->yAxis2->setVisible(false);
    m_customPlot->xAxis->setTicker(QSharedPointer<QCPAxisTicker>(new QCPAxisTicker));
    markChanged();
}

void TrackPlotter::followSource()
{
    TrackList* current = sourceTrackList();
    if (current != nullptr && current != m_trackList.data()) {
        SetupTracks(current);
        return;
    }
    // The list went away (its measurement was removed): show nothing rather
    // than graphs of samples that no longer exist.
    if (m_trackList.isNull() && (!m_entries.isEmpty() || m_numberOfTracks != 0))
        dropTrackList();
}

TrackList* TrackPlotter::sourceTrackList() const
{
    Measurement* measurement = m_sourceMeasurement.data();
    // Only a list the measurement has: asking for a missing one would add an
    // empty list to the measurement, which would then be saved.
    if (measurement == nullptr || !measurement->getDevicesInMeasurement().contains(m_sourceSerial))
        return nullptr;
    return measurement->getTrackList(m_sourceSerial);
}

void TrackPlotter::dropTrackList()
{
    if (!m_trackList.isNull())
        disconnect(m_trackList.data(), nullptr, this, nullptr);
    m_trackList = nullptr;
    clearPlot();
    m_entries.clear();
    m_numberOfTracks = 0;
    m_hueStep = 0;
    m_following = false;
    syncTimer();
}

void TrackPlotter::setLegendVisible(bool visible)
{
    if (visible == m_legendVisible)
        return;
    m_legendVisible = visible;
    m_customPlot->setLegendShown(visible);
    m_layoutStale = true;
    markChanged();
    replotIfNeeded();
    update();
    Q_EMIT legendVisibleChanged();
}

void TrackPlotter::replotIfNeeded()
{
    if (!m_changed)
        return;
    // An item nobody sees draws nothing; the change waits until it is shown.
    if (!isShown())
        return;
    m_changed = false;
    m_customPlot->replot();
}

void TrackPlotter::emitQuaternion(Entry& entry)
{
    const VectorSampleStore& store = entry.track->vectorSampleStore();
    if (store.isEmpty())
        return;
    const int last = store.size() - 1;
    const quint32 number = store.numberAt(last);
    // Only a new orientation is worth telling the scene about.
    if (entry.vectorSeen && entry.lastVectorNumber == number && entry.feed.window().reorderCount == store.reorderCount())
        return;
    entry.vectorSeen = true;
    entry.lastVectorNumber = number;
    entry.feed.window().reorderCount = store.reorderCount();
    if (store.componentCountAt(last) != 4)
        return;
    const double* c = store.componentsAt(last);
    Q_EMIT quaternionUpdate(c[0], c[1], c[2], c[3]);
}

void TrackPlotter::graphClicked(QCPAbstractPlottable* plottable)
{
    qCDebug(lcPlotting) << Q_FUNC_INFO << QStringLiteral("Clicked on graph '%1 ").arg(plottable->name());
}
