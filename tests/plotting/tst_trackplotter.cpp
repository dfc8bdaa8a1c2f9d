#include "Data/Track.h"
#include "Data/TrackList.h"
#include "Data/TrackSettings.h"
#include "Plotting/SquatJumpPlotter.h"
#include "Plotting/TrackPlotter.h"

#include "LogCapture.h"
#include "PlotPixels.h"

#include <QSignalSpy>
#include <QtTest>
#include "QCustomPlotHeader.h"

#include <functional>
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
                          Track::GroundContactTimeState, Track::AccY}
            << QStringList{"Acc. Y"} << QList<int>{71} << QStringList{"left"} << QList<double>{5};
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

    // More samples than pixel columns: one point per column, the window's
    // ends kept, a single peak never lost while it is in the window.
    void thinnedGraphKeepsItsEndsAndItsPeaks()
    {
        TrackList list(nullptr, 1, 2);
        Track* track = addTrack(list, Track::AccX);
        const auto value = [](quint32 n) { return n == 4000 ? 12.0 : std::sin(n * 0.3) * 0.5; };
        fill(track, 0, 6000, value);
        TrackPlotter plotter;
        plotter.setSize(QSizeF(300, 200));
        plotter.SetupTracks(&list);
        plotter.stopUpdate();
        plotter.updateGraphs();
        QCustomPlot* plot = plotter.customPlot();
        auto* graph = plot->graph(0);
        const int columns = plot->axisRect()->width();

        quint32 next = 6000;
        for (int tick = 0; tick < 400; ++tick) {
            const QList<double> window = track->getScalarSampleNumbersDoubleFromEnd(5000);
            const QVector<double> keys = keysOf(graph);
            const QVector<double> values = valuesOf(graph);
            QVERIFY(keys.size() <= columns + 3);
            QCOMPARE(keys.first(), window.first());
            QCOMPARE(keys.last(), window.last());
            for (int i = 0; i < keys.size(); ++i) {
                QVERIFY(i == 0 || keys[i] > keys[i - 1]);
                QCOMPARE(values[i], value(quint32(keys[i])));
            }
            QCOMPARE(keys.contains(4000.0), window.first() <= 4000.0);
            fill(track, next, 10, value);
            next += 10;
            plotter.updateGraphs();
        }

        // A value replaced inside the window becomes a peak, drawn at its height.
        fill(track, next, 3000, value);
        fill(track, 9000, 1, [](quint32) { return 12.0; });
        plotter.updateGraphs();
        const QImage image = PlotPixels::render(plotter);
        const QVector<QPoint> pixels = PlotPixels::pixelsOf(image, graph->pen().color(), PlotPixels::dataArea(*plot),
                                                            plot->legend->outerRect());
        const QPoint peak(qRound(plot->xAxis->coordToPixel(9000)), qRound(plot->yAxis->coordToPixel(12.0)));
        QVERIFY(std::any_of(pixels.begin(), pixels.end(), [&](const QPoint& p) {
            return qAbs(p.x() - peak.x()) <= 1 && qAbs(p.y() - peak.y()) <= 1;
        }));
    }

    void unchangedDataIsNotReplotted()
    {
        TrackList list(nullptr, 1, 2);
        Track* track = addTrack(list, Track::AccX);
        fill(track, 0, 100, [](quint32) { return 1.0; });
        TrackPlotter plotter;
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

    void emptyPlotDrawsOnlyItsGround()
    {
        TrackList list(nullptr, 1, 2);
        addTrack(list, Track::AccX);
        TrackPlotter withoutSamples;
        withoutSamples.setSize(QSizeF(300, 200));
        withoutSamples.SetupTracks(&list);
        withoutSamples.updateGraphs();
        TrackPlotter withoutList;
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
};

QTEST_MAIN(TestTrackPlotter)
#include "tst_trackplotter.moc"
