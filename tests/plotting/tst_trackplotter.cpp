#include "Data/Track.h"
#include "Data/TrackList.h"
#include "Data/TrackSettings.h"
#include "Data/ScalarSampleStore.h"
#include "Plotting/GraphThinner.h"
#include "Plotting/ProgressPlot.h"
#include "Plotting/SquatJumpPlotter.h"
#include "Plotting/TrackPlotter.h"

#include "LogCapture.h"
#include "PlotPixels.h"
#include "PlotStage.h"
#include "TickLabels.h"

#include <QFontMetrics>
#include <QQuickItem>
#include <QSignalSpy>
#include <QtTest>
#include "QCustomPlotHeader.h"

#include <cmath>
#include <functional>
#include <random>
#include <memory>

namespace {

// A track id of no catalogue row, built with a plot range 40 wide.
constexpr int kSpan40 = 0x7E40;

Track* addTrack(TrackList& list, int id, quint16 downSampling = 0)
{
    if (id == kSpan40) {
        TrackSettings settings(id);
        settings.minY = -20;
        settings.maxY = 20;
        settings.label = QStringLiteral("Span 40");
        auto* track = new Track(&settings);
        list.AddTrack(track);
        return track;
    }
    list.AddTrack(quint16(id), downSampling, 2, 0);
    return list.getTrackById(quint64(id));
}

void fill(Track* track, quint32 first, int count, const std::function<double(quint32)>& value)
{
    for (quint32 n = first; n < first + quint32(count); ++n) {
        track->setCurrentSampleNumber(n);
        track->AddScalarSample(value(n));
    }
}

QVector<double> keysOf(QCPGraph* graph)
{
    QVector<double> keys;
    for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
        keys.append(it->key);
    return keys;
}

QVector<double> valuesOf(QCPGraph* graph)
{
    QVector<double> values;
    for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
        values.append(it->value);
    return values;
}

// Sample values with the peaks a thinning must not lose.
std::function<double(int)> signalNamed(const QString& name)
{
    if (name == QLatin1String("isolated"))
        return [](int i) { return i % 37 == 11 ? 10.0 + i % 5 : std::sin(i * 0.05) * 0.3; };
    if (name == QLatin1String("same side"))
        // A wide excursion, then a single sample further out on the same side.
        return [](int i) {
            const int k = i % 50;
            const double side = (i / 50) % 2 == 0 ? 1.0 : -1.0;
            return k >= 20 && k < 26 ? 3.0 * side : k == 26 ? 8.0 * side : 0.1 * std::cos(i * 0.2);
        };
    if (name == QLatin1String("opposite"))
        return [](int i) { return i % 29 == 3 ? 9.0 : i % 29 == 5 ? -12.0 : 0.5; };
    return [](int i) {
        std::minstd_rand random(quint32(i) * 2654435761u + 1u);
        return std::uniform_real_distribution<double>(-1.0, 1.0)(random);
    };
}

// What is wrong with `drawn` (ascending store indices) as the thinning of
// [start, end) to `columns` columns of equal key width: each column must be
// drawn by at most two of its own samples, its lowest and highest value.
QString envelopeFault(const ScalarSampleStore& store, int start, int end, int columns, const QVector<int>& drawn)
{
    const double step = (double(store.numberAt(end - 1)) - double(store.numberAt(start))) / columns;
    const auto columnOf = [&](int i) { return step > 0 ? qint64(std::floor(store.numberAt(i) / step)) : 0; };
    QMap<qint64, QPair<double, double>> wanted;
    for (int i = start; i < end; ++i) {
        auto it = wanted.find(columnOf(i));
        if (it == wanted.end())
            wanted.insert(columnOf(i), qMakePair(store.valueAt(i), store.valueAt(i)));
        else
            *it = qMakePair(qMin(it->first, store.valueAt(i)), qMax(it->second, store.valueAt(i)));
    }
    QMap<qint64, QPair<double, double>> got;
    QMap<qint64, int> points;
    for (int k = 0; k < drawn.size(); ++k) {
        const int i = drawn[k];
        if (i < start || i >= end || (k > 0 && i <= drawn[k - 1]))
            return QStringLiteral("index %1 out of order or outside [%2, %3)").arg(i).arg(start).arg(end);
        const double v = store.valueAt(i);
        auto it = got.find(columnOf(i));
        if (it == got.end())
            got.insert(columnOf(i), qMakePair(v, v));
        else
            *it = qMakePair(qMin(it->first, v), qMax(it->second, v));
        if (++points[columnOf(i)] > 2)
            return QStringLiteral("more than two points in column %1").arg(columnOf(i));
    }
    for (auto it = wanted.constBegin(); it != wanted.constEnd(); ++it) {
        if (got.value(it.key(), qMakePair(qQNaN(), qQNaN())) != it.value())
            return QStringLiteral("column %1 holds %2..%3, drawn %4..%5")
                .arg(it.key())
                .arg(it->first)
                .arg(it->second)
                .arg(got.value(it.key()).first)
                .arg(got.value(it.key()).second);
    }
    return QString();
}

// The store indices of a graph's points; -1 for a point of no sample or of
// another value.
QVector<int> indicesOf(QCPGraph* graph, const ScalarSampleStore& store)
{
    QVector<int> indices;
    for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it) {
        const int i = store.indexOf(quint32(it->key));
        indices.append(i >= 0 && store.valueAt(i) == it->value ? i : -1);
    }
    return indices;
}

// Tracks of a span up to 40 go on the left axis.
bool plotterAxisIsLeft(const Track* track)
{
    return track->getMaxY() - track->getMinY() <= 40;
}

std::unique_ptr<TrackPlotter> makePlotter(const QString& kind)
{
    if (kind == QLatin1String("squat"))
        return std::make_unique<SquatJumpPlotter>();
    return std::make_unique<TrackPlotter>();
}

} // namespace

class TestTrackPlotter : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { m_log = std::make_unique<LogCapture>(); }
    void cleanup() { m_log.reset(); }

    void setUpGivesEachDrawnTrackItsGraphHueAndAxis_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QList<int>>("ids");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QList<int>>("hues");
        QTest::addColumn<QStringList>("axes");
        QTest::addColumn<QList<double>>("values");

        // Every track holds a constant: its position in the id list + 1.
        QTest::newRow("four tracks, hue steps of 89")
            << "plain" << QList<int>{Track::AccX, Track::AccY, Track::GyrX, Track::Pressure}
            << QStringList{"Acc. X", "Acc. Y", "Gyr. X", "Pressure"} << QList<int>{89, 178, 267, 356}
            << QStringList{"left", "left", "right", "left"} << QList<double>{1, 2, 3, 4};
        QTest::newRow("a span of exactly 40 stays left")
            << "plain" << QList<int>{kSpan40, Track::GyrZ} << QStringList{"Gyr. Z", "Span 40"}
            << QList<int>{179, 358} << QStringList{"right", "left"} << QList<double>{2, 1};
        QTest::newRow("a vector track ahead of the scalars shifts nothing")
            << "plain" << QList<int>{Track::FusionRawDmp, Track::Pressure, Track::BatteryVoltage}
            << QStringList{"Pressure", "Battery Voltage"} << QList<int>{119, 238} << QStringList{"left", "left"}
            << QList<double>{2, 3};
        QTest::newRow("jump and contact tracks are not drawn")
            << "plain"
            << QList<int>{Track::JumpHeight, Track::JumpState, Track::GroundContactTime,
                          Track::GroundContactTimeState, Track::GroundContactTimeTime, Track::AccY}
            << QStringList{"Acc. Y"} << QList<int>{59} << QStringList{"left"} << QList<double>{6};
        QTest::newRow("the squat-jump plotter leaves them out as well")
            << "squat" << QList<int>{Track::JumpHeight, Track::JumpState, Track::AccZ} << QStringList{"Acc. Z"}
            << QList<int>{119} << QStringList{"left"} << QList<double>{3};
    }

    void setUpGivesEachDrawnTrackItsGraphHueAndAxis()
    {
        QFETCH(QString, kind);
        QFETCH(QList<int>, ids);
        QFETCH(QStringList, names);
        QFETCH(QList<int>, hues);
        QFETCH(QStringList, axes);
        QFETCH(QList<double>, values);

        TrackList list(nullptr, 1, 2);
        for (int i = 0; i < ids.size(); ++i) {
            Track* track = addTrack(list, ids[i]);
            if (track->getType() == Track::VectorTrack) {
                track->setCurrentSampleNumber(0);
                track->AddVectorSample({1, 0, 0, 0});
            } else {
                fill(track, 0, 10, [i](quint32) { return double(i + 1); });
            }
        }
        auto plotter = makePlotter(kind);
        m_stage.hold(*plotter);
        plotter->setSize(QSizeF(300, 200));
        plotter->setMode(TrackPlotter::Static);
        plotter->SetupTracks(&list);

        QCustomPlot* plot = plotter->customPlot();
        QCOMPARE(plot->graphCount(), names.size());
        for (int g = 0; g < names.size(); ++g) {
            QCPGraph* graph = plot->graph(g);
            QCOMPARE(graph->name(), names[g]);
            QCOMPARE(graph->pen().color().hslHue(), hues[g]);
            QCOMPARE(graph->valueAxis(), axes[g] == "left" ? plot->yAxis : plot->yAxis2);
            // Drawn from its own track, whatever else the list holds.
            QCOMPARE(valuesOf(graph), QVector<double>(10, values[g]));
        }
        QVERIFY(plot->legend->visible());
    }

    void listIsSetUpAgainOnlyWhenItsTrackCountChanges()
    {
        TrackList list(nullptr, 1, 2);
        Track* first = addTrack(list, Track::AccX);
        TrackPlotter plotter;
        m_stage.hold(plotter);
        plotter.SetupTracks(&list);
        QCOMPARE(plotter.getTracks(), QList<Track*>{first});
        QVERIFY(plotter.isUpdating());

        // Same count, other track: the header completing again changes nothing.
        auto* replacement = Track::constructFromID(Track::AccX);
        list.AddTrack(replacement);
        plotter.SetupTracks(&list);
        QCOMPARE(plotter.getTracks(), QList<Track*>{first});

        addTrack(list, Track::AccY);
        plotter.SetupTracks(&list);
        QCOMPARE(plotter.getTracks().size(), 2);
        QCOMPARE(plotter.getTracks().first(), replacement);
        QCOMPARE(plotter.customPlot()->graphCount(), 2);

        plotter.stopUpdate();
        QVERIFY(!plotter.isUpdating());
    }

    void onlyIgnoredTracksGiveAnEmptyLegendAndALiveTimer()
    {
        TrackList list(nullptr, 1, 2);
        addTrack(list, Track::JumpHeight);
        addTrack(list, Track::GroundContactTime);
        TrackPlotter plotter;
        m_stage.hold(plotter);
        plotter.SetupTracks(&list);
        QCOMPARE(plotter.customPlot()->graphCount(), 0);
        QVERIFY(plotter.customPlot()->legend->visible());
        QVERIFY(plotter.isUpdating());
    }

    // A live graph holds exactly the track's own tail window, however the
    // samples arrive: a few at a time, in a burst, out of order.
    void liveGraphHoldsTheTailWindowOfItsTrack()
    {
        TrackList list(nullptr, 1, 2);
        Track* track = addTrack(list, Track::AccX, 1); // every 2nd sample: 2500 shown
        TrackPlotter plotter;
        m_stage.hold(plotter);
        // Wide enough for a column per sample: nothing is thinned.
        plotter.setSize(QSizeF(2800, 60));
        plotter.SetupTracks(&list);
        plotter.stopUpdate();
        auto* graph = plotter.customPlot()->graph(0);
        const auto value = [](quint32 n) { return double(n % 97) / 10.0; };

        quint32 next = 0;
        for (int step : {1, 1, 5, 700, 700, 700, 700, 10, 4000}) {
            fill(track, next, step, value);
            next += quint32(step);
            plotter.updateGraphs();
            QCOMPARE(keysOf(graph), track->getScalarSampleNumbersDoubleFromEnd(2500).toVector());
            QCOMPARE(valuesOf(graph), track->getScalarSamplesFromEnd(2500).toVector());
        }
        // A repeated sample number inside the window replaces its value.
        track->setCurrentSampleNumber(next - 3000 + 1);
        track->AddScalarSample(-5.0);
        fill(track, next, 2, value);
        plotter.updateGraphs();
        QCOMPARE(valuesOf(graph), track->getScalarSamplesFromEnd(2500).toVector());
        QCOMPARE(plotter.customPlot()->xAxis->range().upper, keysOf(graph).last());

        // The timer does the same by itself once the list is set up again
        // (a null list changes nothing).
        fill(track, next + 2, 50, value);
        plotter.SetupTracks(nullptr);
        addTrack(list, Track::AccY);
        plotter.SetupTracks(&list);
        QVERIFY(plotter.isUpdating());
        QTRY_COMPARE(keysOf(plotter.customPlot()->graph(0)).last(), double(next + 51));
    }

    // More samples than pixel columns: every column is drawn with the lowest
    // and the highest of its samples, whatever lies around a peak, as the
    // window slides in steps of every size and when a value inside it is
    // replaced.
    void thinningKeepsTheRangeOfEveryColumn_data()
    {
        QTest::addColumn<QString>("signal");
        QTest::newRow("isolated spikes") << "isolated";
        QTest::newRow("a spike after an excursion of its own sign") << "same side";
        QTest::newRow("spikes of both signs side by side") << "opposite";
        QTest::newRow("noise with gaps in the sample numbers") << "noise";
    }

    void thinningKeepsTheRangeOfEveryColumn()
    {
        QFETCH(QString, signal);
        const auto value = signalNamed(signal);
        // Samples the sensor never sent leave gaps in the numbers.
        const auto numberAt = [&](int i) { return signal == "noise" ? quint32(2 * i + (i % 3 == 0 ? 1 : 0)) : quint32(i); };
        const QList<int> steps{1, 7, 100, 997, 3, 2500};

        for (int columns : {1, 3, 64, 333, 700}) {
            ScalarSampleStore store;
            GraphThinner thinner;
            int count = 0;
            for (int round = 0; round < 24; ++round) {
                for (int i = 0; i < steps[round % steps.size()]; ++i, ++count)
                    store.insert(numberAt(count), value(count));
                if (round == 17) // a value inside the window replaced
                    store.insert(store.numberAt(store.size() - 300), -25.0);
                const int start = qMax(0, store.size() - 5000);
                const QString fault = envelopeFault(store, start, store.size(), columns,
                                                    thinner.thin(store, start, store.size(), columns));
                QVERIFY2(fault.isEmpty(), qPrintable(QStringLiteral("%1 columns, round %2: %3")
                                                         .arg(columns).arg(round).arg(fault)));
            }
        }

        // Through the plot, live and stored, at every size: the graph holds
        // the range of each of its pixel columns.
        for (const QSizeF& size : {QSizeF(120, 80), QSizeF(300, 200), QSizeF(1280, 400)}) {
            for (const auto mode : {TrackPlotter::Live, TrackPlotter::Static}) {
                TrackList list(nullptr, 1, 2);
                Track* track = addTrack(list, Track::AccX);
                TrackPlotter plotter;
                m_stage.hold(plotter);
                plotter.setSize(size);
                plotter.setMode(mode);
                plotter.SetupTracks(&list);
                plotter.stopUpdate();
                int count = 0;
                for (int step : {6000, 10, 1, 333}) {
                    for (int i = 0; i < step; ++i, ++count) {
                        track->setCurrentSampleNumber(numberAt(count));
                        track->AddScalarSample(value(count));
                    }
                    plotter.updateGraphs();
                    const ScalarSampleStore& store = track->scalarSampleStore();
                    const int start = mode == TrackPlotter::Live ? store.size() - 5001 : 0;
                    const QString fault = envelopeFault(store, start, store.size(),
                                                        plotter.customPlot()->axisRect()->width(),
                                                        indicesOf(plotter.customPlot()->graph(0), store));
                    QVERIFY2(fault.isEmpty(), qPrintable(QStringLiteral("%1x%2 %3: %4")
                                                             .arg(size.width()).arg(size.height())
                                                             .arg(mode == TrackPlotter::Live ? "live" : "static")
                                                             .arg(fault)));
                }
            }
        }
    }

    // A single spike is drawn at its height, beside a larger one of the
    // other sign.
    void aSpikeIsDrawnAtItsHeight()
    {
        TrackList list(nullptr, 1, 2);
        Track* track = addTrack(list, Track::AccX);
        fill(track, 0, 9000, [](quint32 n) { return n == 6000 ? 9.0 : n == 6001 ? -14.0 : std::sin(n * 0.3) * 0.5; });
        TrackPlotter plotter;
        m_stage.hold(plotter);
        plotter.setSize(QSizeF(300, 200));
        plotter.SetupTracks(&list);
        plotter.stopUpdate();
        plotter.updateGraphs();
        QCustomPlot* plot = plotter.customPlot();
        const QImage image = PlotPixels::render(plotter);
        const QVector<QPoint> pixels = PlotPixels::pixelsOf(image, plot->graph(0)->pen().color(),
                                                            PlotPixels::dataArea(*plot), plot->legend->outerRect());
        for (const auto& spike : {qMakePair(6000.0, 9.0), qMakePair(6001.0, -14.0)}) {
            const QPoint peak(qRound(plot->xAxis->coordToPixel(spike.first)),
                              qRound(plot->yAxis->coordToPixel(spike.second)));
            QVERIFY2(std::any_of(pixels.begin(), pixels.end(),
                                 [&](const QPoint& p) {
                                     return qAbs(p.x() - peak.x()) <= 1 && qAbs(p.y() - peak.y()) <= 1;
                                 }),
                     qPrintable(QStringLiteral("no pixel at the spike of %1").arg(spike.second)));
        }
    }

    // A plot the scene does not show does no work: no thinning, no replot,
    // no frame, no timer; shown again, it catches up at once.
    void aPlotNobodySeesDoesNoWork_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("hidden") << "hidden";
        QTest::newRow("its parent hidden") << "parent hidden";
        QTest::newRow("taken out of the window") << "no window";
    }

    void aPlotNobodySeesDoesNoWork()
    {
        QFETCH(QString, how);
        QQuickItem holder;
        m_stage.hold(holder);
        TrackList list(nullptr, 1, 2);
        Track* track = addTrack(list, Track::AccX);
        TrackPlotter plotter;
        plotter.setParentItem(&holder);
        plotter.setSize(QSizeF(400, 200));
        plotter.SetupTracks(&list);
        fill(track, 0, 100, [](quint32 n) { return n / 10.0; });
        auto* graph = plotter.customPlot()->graph(0);
        QTRY_COMPARE(keysOf(graph).size(), 99);

        const auto hide = [&](bool hidden) {
            if (how == "hidden")
                plotter.setVisible(!hidden);
            else if (how == "parent hidden")
                holder.setVisible(!hidden);
            else
                plotter.setParentItem(hidden ? nullptr : &holder);
        };
        hide(true);
        QVERIFY(!plotter.isTimerRunning());
        QVERIFY(plotter.isUpdating());
        QSignalSpy replots(plotter.customPlot(), &QCustomPlot::afterReplot);
        for (int tick = 0; tick < 5; ++tick) {
            fill(track, quint32(100 + tick * 10), 10, [](quint32 n) { return n / 10.0; });
            plotter.updateGraphs();
            QTest::qWait(20);
        }
        QCOMPARE(replots.count(), 0);
        QCOMPARE(keysOf(graph).last(), 98.0);

        hide(false);
        QVERIFY(plotter.isTimerRunning());
        QTRY_COMPARE(keysOf(graph).last(), 148.0);
        QVERIFY(replots.count() >= 1);
    }

    // A stored plot takes its samples only once it has a place and a size,
    // and then only what its columns show.
    void aStoredPlotWaitsForItsSize()
    {
        TrackList list(nullptr, 1, 2);
        fill(addTrack(list, Track::AccX), 0, 50000, [](quint32 n) { return n % 1000 == 7 ? 9.0 : std::sin(n * 0.01); });
        TrackPlotter plotter;
        plotter.setMode(TrackPlotter::Static);
        plotter.SetupTracks(&list);
        plotter.updateGraphs();
        auto* graph = plotter.customPlot()->graph(0);
        QCOMPARE(graph->data()->size(), 0);
        m_stage.hold(plotter);
        QCOMPARE(graph->data()->size(), 0);

        plotter.setSize(QSizeF(300, 200));
        QTRY_VERIFY(graph->data()->size() > 0);
        const int columns = plotter.customPlot()->axisRect()->width();
        const ScalarSampleStore& store = list.getTrackById(Track::AccX)->scalarSampleStore();
        // Columns are aligned to the key step: the window touches one more.
        QVERIFY2(graph->data()->size() <= 2 * (columns + 1), qPrintable(QStringLiteral("%1 points, %2 columns").arg(graph->data()->size()).arg(columns)));
        QCOMPARE(envelopeFault(store, 0, store.size(), columns, indicesOf(graph, store)), QString());
    }

    void unchangedDataIsNotReplotted()
    {
        TrackList list(nullptr, 1, 2);
        Track* track = addTrack(list, Track::AccX);
        fill(track, 0, 100, [](quint32) { return 1.0; });
        TrackPlotter plotter;
        m_stage.hold(plotter);
        plotter.setSize(QSizeF(200, 100));
        plotter.SetupTracks(&list);
        plotter.stopUpdate();
        QSignalSpy replots(plotter.customPlot(), &QCustomPlot::afterReplot);
        plotter.updateGraphs();
        QCOMPARE(replots.count(), 1);
        plotter.updateGraphs();
        plotter.updateGraphs();
        QCOMPARE(replots.count(), 1);
        fill(track, 100, 1, [](quint32) { return 2.0; });
        plotter.updateGraphs();
        QCOMPARE(replots.count(), 2);
        // A live plot does not write a line per track and tick.
        QCOMPARE(m_log->count("minXScale"), 0);
    }

    void nothingIsDrawnAtZeroSize()
    {
        TrackList list(nullptr, 1, 2);
        fill(addTrack(list, Track::AccX), 0, 100, [](quint32 n) { return n / 10.0; });
        TrackPlotter plotter;
        m_stage.hold(plotter);
        plotter.SetupTracks(&list);
        QSignalSpy replots(plotter.customPlot(), &QCustomPlot::afterReplot);
        plotter.updateGraphs();
        QCOMPARE(replots.count(), 0);
        QVERIFY(plotter.lastFrame().isNull());

        plotter.setSize(QSizeF(120, 80));
        QTRY_VERIFY(!plotter.lastFrame().isNull());
        QCOMPARE(plotter.lastFrame().size(), QSize(120, 80));
    }

    void graphsAreDrawnWhereTheirSamplesLie_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<double>("firstKey");
        // 7000 samples: live shows the newest 5001, static all of them.
        QTest::newRow("live") << int(TrackPlotter::Live) << 1999.0;
        QTest::newRow("static") << int(TrackPlotter::Static) << 0.0;
    }

    void graphsAreDrawnWhereTheirSamplesLie()
    {
        QFETCH(int, mode);
        QFETCH(double, firstKey);

        TrackList list(nullptr, 1, 2);
        // Between two ticks of the axis, which would cover the line's ends.
        fill(addTrack(list, Track::AccX), 0, 7000, [](quint32) { return 3.5; });
        fill(addTrack(list, Track::GyrX), 0, 7000, [](quint32 n) { return n / 7.0 - 500.0; });
        TrackPlotter plotter;
        m_stage.hold(plotter);
        plotter.setSize(QSizeF(640, 360));
        plotter.setMode(TrackPlotter::Modes(mode));
        plotter.SetupTracks(&list);
        plotter.updateGraphs();
        plotter.stopUpdate();

        QCustomPlot* plot = plotter.customPlot();
        QCOMPARE(plot->xAxis->range().lower, firstKey);
        QCOMPARE(plot->xAxis->range().upper, 6999.0);
        const QImage image = PlotPixels::render(plotter);
        const QRect area = PlotPixels::dataArea(*plot);
        const QRect legend = plot->legend->outerRect();

        // The constant: one row, at its value, across the whole key range.
        const QVector<QPoint> flat = PlotPixels::pixelsOf(image, plot->graph(0)->pen().color(), area, legend);
        QVERIFY(!flat.isEmpty());
        int left = image.width();
        int right = 0;
        QSet<int> rows;
        for (const QPoint& p : flat) {
            rows.insert(p.y());
            left = qMin(left, p.x());
            right = qMax(right, p.x());
        }
        QCOMPARE(rows.size(), 1);
        QVERIFY(qAbs(*rows.begin() - plot->yAxis->coordToPixel(3.5)) <= 1.0);
        QVERIFY(left <= area.left() + 1);
        QVERIFY(right >= area.right() - 1);

        // The ramp on the right axis passes through its samples.
        const QVector<QPoint> ramp = PlotPixels::pixelsOf(image, plot->graph(1)->pen().color(), area, legend);
        for (double key : {firstKey + 500, 5000.0, 6500.0}) {
            const QPoint expected(qRound(plot->xAxis->coordToPixel(key)),
                                  qRound(plot->yAxis2->coordToPixel(key / 7.0 - 500.0)));
            const bool near = std::any_of(ramp.begin(), ramp.end(), [&](const QPoint& p) {
                return qAbs(p.x() - expected.x()) <= 1 && qAbs(p.y() - expected.y()) <= 1;
            });
            QVERIFY2(near, qPrintable(QStringLiteral("no ramp pixel near key %1").arg(key)));
        }
    }

    // An axis carrying many units names them all where it is long enough,
    // and as many as fit, with an ellipsis, where it is not.
    void anAxisLabelTooLongForItsAxisIsShortened()
    {
        TrackList list(nullptr, 1, 2);
        QStringList units;
        for (int id : {0x0110, 0x0130, 0x0210, 0x0211, 0x0212, 0x0310, 0x0311, 0x0330}) {
            Track* track = addTrack(list, id);
            fill(track, 0, 10, [](quint32) { return 1.0; });
            if (plotterAxisIsLeft(track) && !units.contains(track->getUnit()))
                units << track->getUnit();
        }
        QVERIFY(units.size() >= 4);
        TrackPlotter plotter;
        m_stage.hold(plotter);
        plotter.setLegendVisible(false);
        plotter.setMode(TrackPlotter::Static);
        plotter.SetupTracks(&list);
        QCPAxis* axis = plotter.customPlot()->yAxis;
        for (int height : {700, 140, 700}) {
            plotter.setSize(QSizeF(400, height));
            plotter.updateGraphs();
            const int room = plotter.customPlot()->axisRect()->height();
            const QString label = axis->label();
            if (height == 700) {
                QCOMPARE(label, units.join(", "));
            } else {
                QVERIFY2(label.endsWith(QChar(0x2026)), qPrintable(label));
                QVERIFY(units.join(", ").startsWith(label.chopped(1)));
                QVERIFY(QFontMetrics(axis->labelFont()).horizontalAdvance(label) <= room);
            }
        }
    }

    // However small the plot, no tick label runs into its neighbour, on
    // either axis; a big plot keeps the ticks it always had.
    void tickLabelsKeepClearOfEachOther_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("yTicks");
        QTest::addColumn<QString>("xTicks");
        QTest::newRow("tiny") << QSize(250, 110) << "-20 0 20" << "1e+06 1.005e+06";
        QTest::newRow("small") << QSize(300, 120) << "-20 0 20" << "1e+06 1.005e+06";
        QTest::newRow("laptop") << QSize(500, 200) << "-20 -10 0 10 20" << "1e+06 1.002e+06 1.004e+06";
        QTest::newRow("big screen") << QSize(1280, 400) << "-20 -10 0 10 20" << "1e+06 1.001e+06 1.002e+06 1.003e+06 1.004e+06 1.005e+06";
    }

    void tickLabelsKeepClearOfEachOther()
    {
        QFETCH(QSize, size);
        QFETCH(QString, yTicks);
        QFETCH(QString, xTicks);
        TrackList list(nullptr, 1, 2);
        fill(addTrack(list, kSpan40), 1000000, 6000, [](quint32 n) { return std::sin(n * 0.01) * 18.0; });
        TrackPlotter plotter;
        m_stage.hold(plotter);
        plotter.setLegendVisible(false);
        plotter.setSize(QSizeF(size));
        plotter.setMode(TrackPlotter::Static);
        plotter.SetupTracks(&list);
        plotter.updateGraphs();
        QCustomPlot* plot = plotter.customPlot();
        plot->replot();
        for (const QCPAxis* axis : {plot->xAxis, plot->yAxis}) {
            QVERIFY2(TickLabels::crowded(*axis).isEmpty(), qPrintable(TickLabels::crowded(*axis).join(", ")));
            QVERIFY(axis->tickVector().size() >= 2);
        }
        QCOMPARE(TickLabels::texts(*plot->yAxis), yTicks);
        QCOMPARE(TickLabels::texts(*plot->xAxis), xTicks);
    }

    // The days under the progress plot: each day where there is room, else
    // every second or third, never two running into each other.
    void progressDaysKeepClearOfEachOther_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("days");
        QTest::addColumn<QString>("yTicks");
        QTest::newRow("small") << QSize(400, 200) << "1 Mar 2026|2 sprints 4 Mar 2026|2 sprints 7 Mar 2026|2 sprints" << "140 160";
        QTest::newRow("laptop") << QSize(700, 300) << "1 Mar 2026|2 sprints 4 Mar 2026|2 sprints 7 Mar 2026|2 sprints" << "130 140 150 160 170";
        QTest::newRow("big screen") << QSize(1280, 500) << "1 Mar 2026|2 sprints 2 Mar 2026|2 sprints 3 Mar 2026|2 sprints 4 Mar 2026|2 sprints 5 Mar 2026|2 sprints 6 Mar 2026|2 sprints 7 Mar 2026|2 sprints 8 Mar 2026|2 sprints" << "130 140 150 160 170";
    }

    void progressDaysKeepClearOfEachOther()
    {
        QFETCH(QSize, size);
        QFETCH(QString, days);
        QFETCH(QString, yTicks);
        QVariantList points;
        for (int day = 1; day <= 8; ++day) {
            for (int sprint = 0; sprint < 2; ++sprint)
                points << QVariantMap{{"day", QStringLiteral("2026-03-%1").arg(day, 2, 10, QLatin1Char('0'))},
                                      {"bothMs", 150.0 + day},
                                      {"leftMs", 148.0 + day},
                                      {"leftSteps", 10},
                                      {"rightMs", 152.0 + day},
                                      {"rightSteps", 10},
                                      {"differencePercent", 2.5}};
        }
        ProgressPlot plot;
        m_stage.hold(plot);
        plot.setSize(QSizeF(size));
        plot.setPoints(points);
        QCustomPlot* custom = plot.customPlot();
        custom->replot();
        for (const QCPAxis* axis : {custom->xAxis, custom->yAxis, custom->yAxis2}) {
            QVERIFY2(TickLabels::crowded(*axis).isEmpty(), qPrintable(TickLabels::crowded(*axis).join(", ")));
            QVERIFY(axis->tickVector().size() >= 2);
        }
        QCOMPARE(TickLabels::texts(*custom->xAxis), days);
        QCOMPARE(TickLabels::texts(*custom->yAxis), yTicks);
    }

    // The legend stands right of the data, or below it where the plot is
    // narrow, where it hides no sample; a plot too small for either shows
    // it over the data; folded, it gives the data its room.
    void theLegendStandsWhereItHidesNoSample_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<QString>("place");
        QTest::newRow("wide") << QSize(800, 300) << true << "beside";
        QTest::newRow("narrow") << QSize(300, 300) << true << "below";
        QTest::newRow("small") << QSize(250, 120) << true << "over";
        QTest::newRow("folded") << QSize(800, 300) << false << "none";
    }

    void theLegendStandsWhereItHidesNoSample()
    {
        QFETCH(QSize, size);
        QFETCH(bool, shown);
        QFETCH(QString, place);
        TrackList list(nullptr, 1, 2);
        for (int id : {Track::AccX, Track::AccY, Track::GyrX})
            fill(addTrack(list, id), 0, 2000, [](quint32 n) { return n % 50 == 0 ? 9.0 : 0.0; });
        TrackPlotter plotter;
        m_stage.hold(plotter);
        plotter.setSize(size);
        plotter.setLegendVisible(shown);
        plotter.SetupTracks(&list);
        plotter.stopUpdate();
        plotter.updateGraphs();
        QCustomPlot* plot = plotter.customPlot();
        plot->replot();
        QCOMPARE(plot->legend->visible(), shown);
        const QRect data = plot->axisRect()->rect();
        const QRect legend = plot->legend->outerRect();
        if (place == "beside") {
            QVERIFY(legend.left() >= data.right());
            QCOMPARE(legend.top(), data.top());
        } else if (place == "below") {
            QVERIFY(legend.top() >= data.bottom());
            QVERIFY(legend.right() <= size.width());
            // Side by side, as many as fit.
            QVERIFY(legend.height() < 3 * plot->legend->item(0)->outerRect().height());
        } else if (place == "over") {
            QVERIFY(legend.intersects(data));
        } else {
            // Shown again, it takes its width from the data.
            plotter.setLegendVisible(true);
            plotter.updateGraphs();
            plot->replot();
            QCOMPARE(plot->axisRect()->rect().width() + plot->legend->outerRect().width(), data.width());
        }
        // Resized through every place, wrapped into fewer columns than it
        // has entries on the way (a grid with an empty cell), it keeps its
        // three entries in track order.
        for (const QSize next : { QSize(220, 300), QSize(160, 300), QSize(800, 300), QSize(220, 300), size }) {
            plotter.setSize(next);
            plot->replot();
            QStringList entries;
            for (int i = 0; i < plot->legend->itemCount(); ++i) {
                if (auto* item = qobject_cast<QCPPlottableLegendItem*>(plot->legend->item(i)))
                    entries << item->plottable()->name();
            }
            QCOMPARE(entries, (QStringList { "Acc. X", "Acc. Y", "Gyr. X" }));
        }
    }

    void emptyPlotDrawsOnlyItsGround()
    {
        TrackList list(nullptr, 1, 2);
        addTrack(list, Track::AccX);
        TrackPlotter withoutSamples;
        m_stage.hold(withoutSamples);
        withoutSamples.setSize(QSizeF(300, 200));
        withoutSamples.SetupTracks(&list);
        withoutSamples.updateGraphs();
        TrackPlotter withoutList;
        m_stage.hold(withoutList);
        withoutList.setSize(QSizeF(300, 200));
        withoutList.updateGraphs();
        for (TrackPlotter* plotter : {&withoutSamples, &withoutList}) {
            plotter->stopUpdate();
            const QImage image = PlotPixels::render(*plotter);
            QVERIFY(!plotter->lastFrame().isNull());
            QCOMPARE(PlotPixels::colouredPixels(image, PlotPixels::dataArea(*plotter->customPlot()),
                                                plotter->customPlot()->legend->outerRect()),
                     0);
        }
    }

    void quaternionsAreReportedOncePerNewSample()
    {
        TrackList list(nullptr, 1, 2);
        Track* fusion = addTrack(list, Track::FusionWithMagDmp);
        TrackPlotter plotter;
        m_stage.hold(plotter);
        plotter.setSize(QSizeF(200, 100));
        plotter.SetupTracks(&list);
        plotter.stopUpdate();
        QSignalSpy spy(&plotter, &TrackPlotter::quaternionUpdate);
        fusion->setCurrentSampleNumber(4);
        fusion->AddVectorSample({0.5, 0.1, 0.2, 0.3});
        plotter.updateGraphs();
        plotter.updateGraphs();
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.first(), (QVariantList{0.5, 0.1, 0.2, 0.3}));
        fusion->setCurrentSampleNumber(5);
        fusion->AddVectorSample({1, 2, 3}); // not a quaternion
        plotter.updateGraphs();
        QCOMPARE(spy.count(), 1);
    }

private:
    std::unique_ptr<LogCapture> m_log;
    PlotStage m_stage;
};

QTEST_MAIN(TestTrackPlotter)
#include "tst_trackplotter.moc"
