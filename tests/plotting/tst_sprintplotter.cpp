#include "Data/Track.h"
#include "Data/TrackList.h"
#include "Plotting/SprintPlotter.h"

#include "LogCapture.h"
#include "PlotPixels.h"
#include "PlotStage.h"
#include "QCustomPlotHeader.h"
#include "TickLabels.h"

#include <QtTest>

#include <cmath>

#include <memory>

namespace {

using Samples = QList<QPair<quint32, double>>;

Track* addTrack(TrackList& list, int id, const Samples& samples)
{
    list.AddTrack(quint16(id), 0, 2, 0);
    Track* track = list.getTrackById(quint64(id));
    for (const auto& sample : samples) {
        track->setCurrentSampleNumber(sample.first);
        track->AddScalarSample(sample.second);
    }
    return track;
}

QCPBars* barsOf(QCustomPlot* plot, int index)
{
    return qobject_cast<QCPBars*>(plot->plottable(index));
}

QVector<double> keysOf(QCPBars* bars)
{
    QVector<double> keys;
    for (auto it = bars->data()->constBegin(); it != bars->data()->constEnd(); ++it)
        keys.append(it->key);
    return keys;
}

// "text@x,y" for every label of the bars.
QStringList labelsOf(SprintPlotter& plotter, QCPBars* bars)
{
    QStringList labels;
    for (QCPItemText* label : plotter.valueLabels(bars))
        labels << QStringLiteral("%1@%2,%3")
                      .arg(label->text())
                      .arg(label->position->coords().x())
                      .arg(label->position->coords().y());
    return labels;
}

// The texts of the value labels shown.
QStringList shownValues(SprintPlotter& plotter, QCPBars* bars)
{
    QStringList shown;
    for (QCPItemText* label : plotter.valueLabels(bars)) {
        if (label->visible())
            shown << label->text();
    }
    return shown;
}

const Samples kContacts{{100, 187.6}, {250, 201.2}, {400, 199.5}};
const Samples kMotion{{1, 0.5}, {2, 0.6}};

} // namespace

class TestSprintPlotter : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { m_log = std::make_unique<LogCapture>(); }
    void cleanup() { m_log.reset(); }

    void setupNameChoosesTheBars_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QList<int>>("ids");
        QTest::addColumn<QStringList>("bars");
        QTest::addColumn<QVector<double>>("keys");
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<double>("xLower");
        QTest::addColumn<double>("xUpper");
        // Whole-number ticks: bars count steps or averaged measurements.
        QTest::addColumn<bool>("unitTicks");

        const QStringList contactLabels{"188@0,197.6", "201@1,211.2", "200@2,209.5"};
        QTest::newRow("sprint: contact times only, one bar per step")
            << "Sprint 1kHz left" << QList<int>{Track::AccX, Track::GroundContactTime}
            << QStringList{"Ground Contact Time"} << QVector<double>{0, 1, 2} << contactLabels << -1.0 << 4.0 << true;
        QTest::newRow("import: the same")
            << "GCT import 3" << QList<int>{Track::AccX, Track::GroundContactTime}
            << QStringList{"Ground Contact Time"} << QVector<double>{0, 1, 2} << contactLabels << -1.0 << 4.0 << true;
        QTest::newRow("average: feedback bars at their positions, one tick each")
            << "GCT average" << QList<int>{Track::GroundContactTime, Track::GctFeedback}
            << QStringList{"Unknown Track (ID=32800)"} << QVector<double>{1, 2, 4}
            << QStringList{"150@1,160", "161@2,170.5", "170@4,180"} << 0.0 << 5.0 << true;
        // The axis keeps its range: nothing sets it.
        QTest::newRow("any other setup: every track, keyed by sample number")
            << "Squat" << QList<int>{Track::AccX, Track::GroundContactTime}
            << QStringList{"Acc. X", "Ground Contact Time"} << QVector<double>{1, 2}
            << QStringList{"1@1,10.5", "1@2,10.6"} << 0.0 << 5.0 << false;
    }

    void setupNameChoosesTheBars()
    {
        QFETCH(QString, setup);
        QFETCH(QList<int>, ids);
        QFETCH(QStringList, bars);
        QFETCH(QVector<double>, keys);
        QFETCH(QStringList, labels);
        QFETCH(double, xLower);
        QFETCH(double, xUpper);
        QFETCH(bool, unitTicks);

        TrackList list(nullptr, 1, 2);
        for (int id : ids) {
            if (id == Track::GctFeedback)
                addTrack(list, id, {{1, 150.0}, {2, 160.5}, {4, 170.0}});
            else
                addTrack(list, id, id == Track::GroundContactTime ? kContacts : kMotion);
        }
        SprintPlotter plotter;
        m_stage.hold(plotter);
        plotter.setSize(QSizeF(400, 300));
        plotter.setSetupName(setup);
        plotter.setMode(TrackPlotter::Static);
        plotter.SetupTracks(&list);

        QCustomPlot* plot = plotter.customPlot();
        QCOMPARE(plot->plottableCount(), bars.size());
        for (int i = 0; i < bars.size(); ++i)
            QCOMPARE(plot->plottable(i)->name(), bars[i]);
        QCPBars* first = barsOf(plot, 0);
        QVERIFY(first != nullptr);
        QCOMPARE(keysOf(first), keys);
        QCOMPARE(labelsOf(plotter, first), labels);
        QCOMPARE(plot->xAxis->range().lower, xLower);
        QCOMPARE(plot->xAxis->range().upper, xUpper);
        QCOMPARE(plot->yAxis->range().lower <= 0.0, true);
        auto fixed = plot->xAxis->ticker().dynamicCast<QCPAxisTickerFixed>();
        QCOMPARE(!fixed.isNull(), unitTicks);
        if (unitTicks)
            QCOMPARE(fixed->tickStep(), 1.0);

        // Every label has room above its bar inside the plot.
        for (QCPItemText* label : plotter.valueLabels(first))
            QVERIFY(label->position->coords().y() < plot->yAxis->range().upper);
    }

    // Each step is held over three samples; the step times tell the steps
    // apart, also when two steps have the same contact time.
    void barsStandForStepsNotSamples_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QVector<double>>("keys");
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<double>("xUpper");
        QTest::newRow("stored sprint: steps counted from 0")
            << int(TrackPlotter::Static) << QVector<double>{0, 1, 2, 3}
            << QStringList{"188@0,197.6", "201@1,211.2", "201@2,211.2", "200@3,209.5"} << 5.0;
        // Live: every sample but the newest, so the last step is still on.
        QTest::newRow("live: steps at their first sample")
            << int(TrackPlotter::Live) << QVector<double>{100, 103, 106, 109}
            << QStringList{"188@100,197.6", "201@103,211.2", "201@106,211.2", "200@109,209.5"} << 110.0;
    }

    void barsStandForStepsNotSamples()
    {
        QFETCH(int, mode);
        QFETCH(QVector<double>, keys);
        QFETCH(QStringList, labels);
        QFETCH(double, xUpper);
        const QList<double> contacts{187.6, 201.2, 201.2, 199.5};
        Samples held;
        Samples times;
        for (int i = 0; i < contacts.size(); ++i) {
            for (quint32 k = 0; k < 3; ++k) {
                const quint32 number = 100 + quint32(i) * 3 + k;
                held.append({number, contacts[i]});
                times.append({number, 1000.0 + 452.0 * i});
            }
        }
        TrackList list(nullptr, 1, 2);
        addTrack(list, Track::GroundContactTime, held);
        addTrack(list, Track::GroundContactTimeTime, times);
        SprintPlotter plotter;
        m_stage.hold(plotter);
        plotter.setSize(QSizeF(400, 300));
        plotter.setSetupName(QStringLiteral("Sprint 1kHz"));
        plotter.setMode(TrackPlotter::Modes(mode));
        plotter.SetupTracks(&list);
        plotter.stopUpdate();
        plotter.updateGraphs();

        QCPBars* bars = barsOf(plotter.customPlot(), 0);
        QVERIFY(bars != nullptr);
        QCOMPARE(plotter.customPlot()->plottableCount(), 1);
        QCOMPARE(keysOf(bars), keys);
        QCOMPARE(labelsOf(plotter, bars), labels);
        QCOMPARE(plotter.customPlot()->xAxis->range().upper, xUpper);
    }

    // Each update moves and re-texts the labels it has, making only those
    // that are missing.
    void labelsFollowTheBarsAndAreReused()
    {
        TrackList list(nullptr, 1, 2);
        Track* contacts = addTrack(list, Track::GroundContactTime, kContacts);
        SprintPlotter plotter;
        m_stage.hold(plotter);
        plotter.setSize(QSizeF(400, 300));
        plotter.setSetupName(QStringLiteral("Sprint 1kHz"));
        plotter.SetupTracks(&list);
        plotter.stopUpdate();
        QCPBars* bars = barsOf(plotter.customPlot(), 0);

        // Guarded: a label deleted and made anew may come back at the same address.
        QVector<QPointer<QCPItemText>> before;
        for (quint32 n = 500; n < 560; n += 10) {
            plotter.updateGraphs();
            plotter.updateGraphs();
            // Live: every sample but the newest, at its sample number.
            QCOMPARE(bars->data()->size(), contacts->numberOfSamples() - 1);
            QCOMPARE(plotter.customPlot()->itemCount(), bars->data()->size());
            const QVector<QCPItemText*> labels = plotter.valueLabels(bars);
            for (int i = 0; i < before.size(); ++i) {
                QVERIFY(!before[i].isNull());
                QCOMPARE(labels[i], before[i].data());
            }
            QStringList expected;
            for (auto it = bars->data()->constBegin(); it != bars->data()->constEnd(); ++it)
                expected << QStringLiteral("%1@%2,%3").arg(std::round(it->value)).arg(it->key).arg(it->value + 10);
            QCOMPARE(labelsOf(plotter, bars), expected);
            before.clear();
            for (QCPItemText* label : labels)
                before.append(label);
            contacts->setCurrentSampleNumber(n);
            contacts->AddScalarSample(180.0 + n / 10);
        }
        QCOMPARE(plotter.customPlot()->xAxis->range().lower, 99.0);

        // Set up again (the list grew by a track): the old labels go with the old bars.
        addTrack(list, Track::AccX, kMotion);
        plotter.setMode(TrackPlotter::Static);
        plotter.SetupTracks(&list);
        bars = barsOf(plotter.customPlot(), 0);
        QCOMPARE(plotter.customPlot()->plottableCount(), 1);
        QCOMPARE(plotter.customPlot()->itemCount(), contacts->numberOfSamples());
    }

    // However small the plot, its tick labels keep clear of each other, and
    // a bar's value is shown only where it fits above the bar; the big
    // plots keep their ticks every 50 ms and every third step.
    void ticksAndValuesKeepClearOfEachOther_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("yTicks");
        QTest::addColumn<QString>("xTicks");
        QTest::addColumn<QStringList>("values");
        // Set a size smaller, as where the plot's font leaves values out.
        QTest::addColumn<bool>("smaller");
        const QStringList all{"134", "112", "160", "98", "123", "137", "99", "142", "125", "166", "119", "112"};
        QTest::newRow("tiny: no values") << QSize(200, 100) << "0 250" << "0 3 6 9 12" << QStringList{} << true;
        QTest::newRow("small") << QSize(300, 120) << "0 250" << "0 3 6 9 12" << QStringList{} << true;
        QTest::newRow("narrow: the two-digit values")
            << QSize(400, 160) << "0 250" << "0 3 6 9 12" << QStringList{"98", "99"} << true;
        QTest::newRow("laptop: all, smaller") << QSize(500, 200) << "0 100 200 300" << "0 3 6 9 12" << all << true;
        QTest::newRow("desk") << QSize(800, 300) << "0 50 100 150 200 250 300" << "0 3 6 9 12" << all << false;
        QTest::newRow("wide and low") << QSize(1280, 120) << "0 250" << "0 3 6 9 12" << all << false;
        QTest::newRow("big screen") << QSize(1280, 400) << "0 50 100 150 200 250 300" << "0 3 6 9 12" << all << false;
    }

    void ticksAndValuesKeepClearOfEachOther()
    {
        QFETCH(QSize, size);
        QFETCH(QString, yTicks);
        QFETCH(QString, xTicks);
        QFETCH(QStringList, values);
        QFETCH(bool, smaller);
        const QList<double> contacts{134.2, 112.0, 160.3, 98.0, 123.1, 137.0, 99.4, 142.0, 125.0, 166.2, 119.0, 112.4};
        Samples steps;
        for (int i = 0; i < contacts.size(); ++i)
            steps.append({quint32(1000 + 200 * i), contacts[i]});
        TrackList list(nullptr, 1, 2);
        addTrack(list, Track::GroundContactTime, steps);
        SprintPlotter plotter;
        m_stage.hold(plotter);
        plotter.setSize(QSizeF(size));
        plotter.setSetupName(QStringLiteral("Sprint 1kHz"));
        plotter.setMode(TrackPlotter::Static);
        plotter.SetupTracks(&list);
        QCustomPlot* plot = plotter.customPlot();
        plot->replot();
        QCPBars* bars = barsOf(plot, 0);
        QVERIFY(bars != nullptr);
        for (const QCPAxis* axis : {plot->xAxis, plot->yAxis}) {
            QVERIFY2(TickLabels::crowded(*axis).isEmpty(), qPrintable(TickLabels::crowded(*axis).join(", ")));
            QVERIFY(axis->tickVector().size() >= 2);
        }
        QCOMPARE(TickLabels::texts(*plot->yAxis), yTicks);
        QCOMPARE(TickLabels::texts(*plot->xAxis), xTicks);
        QCOMPARE(shownValues(plotter, bars), values);
        for (QCPItemText* label : plotter.valueLabels(bars))
            QCOMPARE(label->font().pointSizeF() < plot->font().pointSizeF(), smaller);
        // A shown value stands inside its bar's column and clear of the next one shown.
        const QVector<QCPItemText*> labels = plotter.valueLabels(bars);
        double lastRight = -1e9;
        for (QCPItemText* label : labels) {
            if (!label->visible())
                continue;
            const QRectF box(label->topLeft->pixelPosition(), label->bottomRight->pixelPosition());
            QVERIFY(box.left() > lastRight);
            QVERIFY(box.width() <= plot->xAxis->coordToPixel(1) - plot->xAxis->coordToPixel(0));
            lastRight = box.right();
        }

        // Made small and big again: the values follow the size.
        plotter.setSize(QSizeF(200, 100));
        plot->replot();
        QCOMPARE(shownValues(plotter, bars), QStringList{});
        plotter.setSize(QSizeF(size));
        plot->replot();
        QCOMPARE(shownValues(plotter, bars), values);
        QCOMPARE(TickLabels::texts(*plot->yAxis), yTicks);
    }

    void barsAreDrawnToTheirValues()
    {
        TrackList list(nullptr, 1, 2);
        Samples steps;
        for (quint32 i = 0; i < 12; ++i)
            steps.append({1000 + 180 * i, 150.0 + 11.0 * ((i * 7) % 9)});
        steps[5].second = 318.4; // above the track's range
        addTrack(list, Track::AccZ, {{1, 1.0}});
        addTrack(list, Track::GroundContactTime, steps);
        SprintPlotter plotter;
        m_stage.hold(plotter);
        plotter.setSize(QSizeF(720, 420));
        plotter.setSetupName(QStringLiteral("Sprint 1kHz"));
        plotter.setMode(TrackPlotter::Static);
        plotter.SetupTracks(&list);

        const QImage image = PlotPixels::render(plotter);
        PlotPixels::saveIfAsked(image, QStringLiteral("sprint"));
        QCustomPlot* plot = plotter.customPlot();
        QVERIFY(plot->yAxis->range().upper >= 318.4 + 20);
        const QColor ground = image.pixel(2, 2);
        for (int i = 0; i < steps.size(); ++i) {
            const int x = qRound(plot->xAxis->coordToPixel(i + 0.25));
            const double value = steps[i].second;
            // Filled up to the value, clear well above its label.
            QVERIFY(QColor(image.pixel(x, qRound(plot->yAxis->coordToPixel(value / 2)))) != ground);
            QVERIFY(QColor(image.pixel(x, qRound(plot->yAxis->coordToPixel(value * 0.98)))) != ground);
            if (value + 35 < plot->yAxis->range().upper)
                QCOMPARE(QColor(image.pixel(x, qRound(plot->yAxis->coordToPixel(value + 35)))), ground);
        }
    }

private:
    std::unique_ptr<LogCapture> m_log;
    PlotStage m_stage;
};

QTEST_MAIN(TestSprintPlotter)
#include "tst_sprintplotter.moc"
