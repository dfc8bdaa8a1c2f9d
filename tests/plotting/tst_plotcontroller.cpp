#include "Data/Measurement.h"
#include "Data/MeasurementController.h"
#include "Data/Track.h"
#include "Data/TrackList.h"
#include "Plotting/PlotController.h"
#include "Plotting/SprintPlotter.h"
#include "Plotting/SquatJumpPlotter.h"
#include "Plotting/TrackPlotter.h"

#include "LogCapture.h"
#include "PlotPixels.h"
#include "PlotStage.h"
#include "ProcessStats.h"
#include "QCustomPlotHeader.h"
#include "TemporaryStorage.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QSignalSpy>
#include <QtTest>

#include <cstdio>
#include <memory>

#if defined(__SANITIZE_ADDRESS__)
#define KORVEX_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KORVEX_ADDRESS_SANITIZER 1
#endif
#endif
#ifndef KORVEX_ADDRESS_SANITIZER
#define KORVEX_ADDRESS_SANITIZER 0
#endif

namespace {

constexpr quint64 kDevice = 0xa1;

QString hex(quint64 value)
{
    return QString::number(value, 16);
}

void fill(Track* track, quint32 first, int count, double value)
{
    for (quint32 n = first; n < first + quint32(count); ++n) {
        track->setCurrentSampleNumber(n);
        track->AddScalarSample(value);
    }
}

TrackPlotter* asPlotter(QObject* object)
{
    return qobject_cast<TrackPlotter*>(object);
}

} // namespace

class TestPlotController : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_storage = std::make_unique<TemporaryStorage>();
        m_log = std::make_unique<LogCapture>();
        m_measurements = std::make_unique<MeasurementController>();
        m_plots = std::make_unique<PlotController>(nullptr, m_measurements.get());
        m_id = m_measurements->addMeasurementOnHost(QStringLiteral("Anna"), QStringLiteral("App"),
                                                    QStringLiteral("Setup"));
        m_measurement = m_measurements->getMeasurementOnHostById(m_id);
    }

    void cleanup()
    {
        m_plots.reset();
        m_measurements.reset();
        m_log.reset();
        m_storage.reset();
    }

    void samePairGivesTheSameItemAndOnlyChangesItsMode()
    {
        TrackPlotter* live = shown(m_plots->getLivePlotter(hex(m_id), hex(kDevice)));
        QVERIFY(live != nullptr);
        QCOMPARE(live->getMode(), TrackPlotter::Live);
        QCOMPARE(shown(m_plots->getStaticPlotter(hex(m_id), hex(kDevice))), live);
        QCOMPARE(live->getMode(), TrackPlotter::Static);
        QCOMPARE(shown(m_plots->getLivePlotter(hex(m_id).toUpper(), QStringLiteral("00a1"))), live);
        QCOMPARE(m_plots->numberOfPlotters(), 1);
        QCOMPARE(QQmlEngine::objectOwnership(live), QQmlEngine::CppOwnership);
        QVERIFY(shown(m_plots->getLivePlotter(hex(m_id), hex(kDevice + 1))) != live);
    }

    void plotterTypeChoosesTheClass_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("className");
        QTest::newRow("1: line graphs") << 1 << "TrackPlotter";
        QTest::newRow("2: squat jump") << 2 << "SquatJumpPlotter";
        QTest::newRow("3: sprint") << 3 << "SprintPlotter";
        QTest::newRow("any other: line graphs") << 7 << "TrackPlotter";
    }

    void plotterTypeChoosesTheClass()
    {
        QFETCH(int, type);
        QFETCH(QString, className);
        m_plots->setPlotterType(ushort(type));
        m_plots->setSetupName(QStringLiteral("Sprint 1kHz"));
        TrackPlotter* plotter = shown(m_plots->getStaticPlotter(hex(m_id), hex(kDevice)));
        QCOMPARE(QString::fromLatin1(plotter->metaObject()->className()), className);
        QCOMPARE(plotter->getSetupName(), QStringLiteral("Sprint 1kHz"));
        // A stream that follows is drawn as line graphs all the same.
        const quint64 stream = m_measurements->addMeasurementOnHost("Anna", "App", "Sprint 1kHz");
        TrackPlotter* live = shown(m_plots->getLivePlotter(hex(stream), hex(kDevice)));
        QCOMPARE(QString::fromLatin1(live->metaObject()->className()), QStringLiteral("TrackPlotter"));
    }

    void badIdsGiveNoPlotter_data()
    {
        QTest::addColumn<QString>("measurement");
        QTest::addColumn<QString>("device");
        QTest::newRow("measurement not hexadecimal") << "zz" << "a1";
        QTest::newRow("device empty") << "1f" << "";
        QTest::newRow("device above 64 bits") << "1f" << "1ffffffffffffffff";
    }

    void badIdsGiveNoPlotter()
    {
        QFETCH(QString, measurement);
        QFETCH(QString, device);
        QVERIFY(m_plots->getLivePlotter(measurement, device) == nullptr);
        QVERIFY(m_plots->getStaticPlotter(measurement, device) == nullptr);
        QSignalSpy created(m_plots.get(), &PlotController::staticPlotterCreated);
        m_plots->createStaticPlotter(measurement, device);
        QCOMPARE(created.count(), 1);
        QCOMPARE(m_plots->numberOfPlotters(), 0);
        QVERIFY(m_log->contains("Get Live plotter was called with invalid measurement or device id."));
    }

    // Neither an unknown measurement nor a device without data breaks a
    // plot, and a plot never adds an (empty, later saved) list to a measurement.
    void plotsWithoutDataDrawAnEmptyPlotAndCreateNoList()
    {
        TrackPlotter* unknown = shown(m_plots->getStaticPlotter(hex(m_id + 1), hex(kDevice)));
        QVERIFY(unknown != nullptr);
        QVERIFY(m_log->contains(" MeasurementController was asked for non-existing measurement: "));
        TrackPlotter* noList = shown(m_plots->getStaticPlotter(hex(m_id), hex(kDevice)));
        m_plots->getLivePlotter(hex(m_id), hex(kDevice + 1));
        QVERIFY(m_measurement->getDevicesInMeasurement().isEmpty());

        for (TrackPlotter* plotter : {unknown, noList}) {
            QVERIFY(plotter->getTrackList() == nullptr);
            plotter->setSize(QSizeF(300, 200));
            plotter->updateGraphs();
            const QImage image = PlotPixels::render(*plotter);
            QCOMPARE(PlotPixels::colouredPixels(image, image.rect()), 0);
        }
    }

    // The road of a live stream: the plotters are asked for before the
    // header arrives, set themselves up when the list is complete, draw on
    // their timer and stop when the stream stops; the next stream's plots
    // replace them.
    void liveStreamSetsUpItsPlottersUntilTheNextStreamReplacesThem()
    {
        const quint64 second = kDevice + 1;
        QSignalSpy created(m_plots.get(), &PlotController::livePlotterCreated);
        m_plots->createLivePlotter(hex(m_id), hex(kDevice));
        m_plots->createLivePlotter(hex(m_id), hex(second));
        QCOMPARE(created.count(), 2);
        QCOMPARE(created.first(), (QVariantList{hex(m_id), hex(kDevice)}));
        QPointer<TrackPlotter> plotter = m_stage.hold(m_plots->plotterFor(m_id, kDevice));
        QPointer<TrackPlotter> secondPlotter = m_stage.hold(m_plots->plotterFor(m_id, second));
        for (TrackPlotter* each : {plotter.data(), secondPlotter.data()}) {
            each->setSize(QSizeF(800, 200));
            QCOMPARE(QString::fromLatin1(each->metaObject()->className()), QStringLiteral("TrackPlotter"));
        }

        for (quint64 serial : {kDevice, second}) {
            m_measurements->DeviceTrackFound(serial, m_id, Track::AccX, 2, 0, 0);
            m_measurements->DeviceTrackFound(serial, m_id, Track::GyrX, 2, 0, 0);
            QCOMPARE(m_plots->plotterFor(m_id, serial)->customPlot()->graphCount(), 0);
            m_measurements->trackListComplete(serial, m_id);
        }
        QCOMPARE(plotter->customPlot()->graphCount(), 2);
        QVERIFY(plotter->isTimerRunning());

        TrackList* list = m_measurement->getTrackList(kDevice);
        fill(list->getTrackById(Track::AccX), 0, 300, 2.0);
        QTRY_COMPARE(plotter->customPlot()->graph(0)->data()->size(), 299);

        fill(list->getTrackById(Track::AccX), 300, 10, 2.0);
        m_plots->stopLivePlotters(hex(m_id));
        QVERIFY(!plotter->isUpdating());
        QVERIFY(!secondPlotter->isTimerRunning());
        // The last samples are drawn once more on the way out.
        QCOMPARE(plotter->customPlot()->graph(0)->data()->size(), 309);
        // One line for each plotter's first update, none per tick.
        QCOMPARE(m_log->count(" CustomPlotItem is updated nr of graphs: "), 2);
        QCOMPARE(m_log->count("minXScale"), 0);

        // The next stream: the plots of the last one go, with their buffers.
        const quint64 next = m_measurements->addMeasurementOnHost("Anna", "App", "Setup");
        m_plots->createLivePlotter(hex(next), hex(kDevice));
        QCOMPARE(m_plots->numberOfPlotters(), 1);
        QVERIFY(m_plots->plotterFor(m_id, kDevice) == nullptr);
        QTRY_VERIFY(plotter.isNull() && secondPlotter.isNull());
        QVERIFY(m_plots->plotterFor(next, kDevice) != nullptr);
    }

    // Each measurement shown and then left gives back what its plot took:
    // after a hundred, the plots hold no more than after ten.
    void plotsOfMeasurementsNoLongerShownAreReleased()
    {
        QList<quint64> ids;
        for (int i = 0; i < 100; ++i) {
            const quint64 id = m_measurements->addMeasurementOnHost("Anna", "App", "Setup");
            TrackList* list = m_measurements->getMeasurementOnHostById(id)->getTrackList(kDevice);
            list->AddTrack(Track::AccX, 0, 2, 0);
            list->AddTrack(Track::GyrX, 0, 2, 0);
            fill(list->getTrackById(Track::AccX), 0, 5000, i);
            fill(list->getTrackById(Track::GyrX), 0, 5000, -i);
            ids.append(id);
        }
        qint64 afterTen = 0;
        for (int i = 0; i < ids.size(); ++i) {
            QPointer<TrackPlotter> plotter = shown(m_plots->getStaticPlotter(hex(ids[i]), hex(kDevice)));
            plotter->setSize(QSizeF(1280, 400));
            QTRY_VERIFY(!plotter->lastFrame().isNull());
            QCOMPARE(plotter->customPlot()->graph(0)->data()->constBegin()->value, double(i));
            m_plots->releasePlotter(hex(ids[i]), hex(kDevice));
            QCOMPARE(m_plots->numberOfPlotters(), 0);
            QVERIFY(plotter->parentItem() == nullptr);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QVERIFY(plotter.isNull());
            if (i == 9)
                afterTen = ProcessStats::residentBytes();
        }
        const qint64 afterHundred = ProcessStats::residentBytes();
        std::fprintf(stderr, "resident memory after 10 plots shown and released: %.1f MB, after 100: %.1f MB\n",
                     afterTen / 1048576.0, afterHundred / 1048576.0);
#if !KORVEX_ADDRESS_SANITIZER
        // A plot of this size holds about 4 MB of frames: ninety kept would
        // be 360 MB.
        QVERIFY2(afterHundred - afterTen < 40 * 1048576, "memory grew with every plot shown");
#endif
        // Releasing a pair nobody holds, or a bad one, does nothing.
        m_plots->releasePlotter(hex(ids[0]), hex(kDevice));
        m_plots->releasePlotter(QStringLiteral("zz"), hex(kDevice));
        QCOMPARE(m_plots->numberOfPlotters(), 0);
    }

    // A data load replaces the lists of a measurement while plots are open:
    // the plots follow, and nothing is left pointing at the old lists.
    void plotsFollowTrackListsThatAreReplaced()
    {
        TrackList* original = m_measurement->getTrackList(kDevice);
        original->AddTrack(Track::AccX, 0, 2, 0);
        fill(original->getTrackById(Track::AccX), 0, 100, 1.0);
        QVERIFY(m_measurement->saveSingleTrackList(kDevice));
        fill(original->getTrackById(Track::AccX), 100, 5, 1.0); // not saved
        TrackPlotter* plotter = shown(m_plots->getStaticPlotter(hex(m_id), hex(kDevice)));
        plotter->setSize(QSizeF(300, 200));
        // Drawn once it has a size.
        QTRY_COMPARE(plotter->customPlot()->graph(0)->data()->size(), 105);

        // Only the headers first, as at start-up, then the whole list.
        m_measurement->scanForMeasurementDataOnDisk();
        m_measurement->loadMeasurementDataFromDisk();
        TrackList* loaded = m_measurement->getTrackList(kDevice);
        QVERIFY(loaded != original);
        m_plots->createStaticPlotters(hex(m_id));
        QCOMPARE(plotter->getTrackList(), loaded);
        QCOMPARE(plotter->customPlot()->graph(0)->data()->size(), 100);

        // Switched to live, the same plotter follows by itself on its next tick.
        QCOMPARE(shown(m_plots->getLivePlotter(hex(m_id), hex(kDevice))), plotter);
        auto* replacement = new TrackList(nullptr, kDevice, m_id);
        replacement->AddTrack(Track::AccY, 0, 2, 0);
        replacement->AddTrack(Track::AccZ, 0, 2, 0);
        m_measurement->setDeviceTrackList(replacement);
        plotter->updateGraphs();
        QCOMPARE(plotter->getTrackList(), replacement);
        QCOMPARE(plotter->customPlot()->graphCount(), 2);
        // Nothing holds on to the lists that were replaced.
        delete original;
        delete loaded;
        plotter->updateGraphs();
        QCOMPARE(plotter->getTracks().size(), 2);

        // A list that goes away with its measurement leaves the plot empty.
        TrackPlotter orphan;
        m_stage.hold(orphan);
        orphan.setSize(QSizeF(300, 200));
        auto* gone = new Measurement(nullptr, 5);
        gone->getTrackList(kDevice)->AddTrack(Track::AccX, 0, 2, 0);
        orphan.setSource(gone, kDevice);
        orphan.updateGraphs();
        QCOMPARE(orphan.customPlot()->graphCount(), 1);
        QVERIFY(orphan.isUpdating());
        delete gone;
        orphan.updateGraphs();
        QVERIFY(orphan.getTrackList() == nullptr);
        QCOMPARE(orphan.customPlot()->graphCount(), 0);
        QVERIFY(!orphan.isUpdating());
    }

    void removedPlottersAreDeletedLater()
    {
        QPointer<TrackPlotter> plotter = shown(m_plots->getLivePlotter(hex(m_id), hex(kDevice)));
        m_plots->removeLivePlotters();
        QCOMPARE(m_plots->numberOfPlotters(), 0);
        QVERIFY(!plotter.isNull());
        QTRY_VERIFY(plotter.isNull());
        QVERIFY(m_plots->getLivePlotter(hex(m_id), hex(kDevice)) != nullptr);
    }

    void plotterIsAnItemOfTheScene()
    {
        qmlRegisterType<TrackPlotter>("TrackPlotter", 1, 0, "TrackPlotter");
        QQmlEngine engine;
        QQmlComponent component(&engine);
        component.setData("import QtQuick 2.0\nimport TrackPlotter 1.0\nTrackPlotter { width: 320; height: 240 }",
                          QUrl());
        std::unique_ptr<QObject> object(component.create());
        QVERIFY2(object != nullptr, qPrintable(component.errorString()));
        auto* plotter = qobject_cast<TrackPlotter*>(object.get());
        QVERIFY(plotter != nullptr);
        QCOMPARE(plotter->customPlot()->viewport(), QRect(0, 0, 320, 240));
    }

private:
    // The plotter an object is, put into a window, where plots do their work.
    TrackPlotter* shown(QObject* object) { return m_stage.hold(asPlotter(object)); }

    PlotStage m_stage;
    std::unique_ptr<TemporaryStorage> m_storage;
    std::unique_ptr<LogCapture> m_log;
    std::unique_ptr<MeasurementController> m_measurements;
    std::unique_ptr<PlotController> m_plots;
    quint64 m_id = 0;
    Measurement* m_measurement = nullptr;
};

QTEST_MAIN(TestPlotController)
#include "tst_plotcontroller.moc"
