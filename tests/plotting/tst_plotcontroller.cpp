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
#include "QCustomPlotHeader.h"
#include "TemporaryStorage.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

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
        TrackPlotter* live = asPlotter(m_plots->getLivePlotter(hex(m_id), hex(kDevice)));
        QVERIFY(live != nullptr);
        QCOMPARE(live->getMode(), TrackPlotter::Live);
        QCOMPARE(asPlotter(m_plots->getStaticPlotter(hex(m_id), hex(kDevice))), live);
        QCOMPARE(live->getMode(), TrackPlotter::Static);
        QCOMPARE(asPlotter(m_plots->getLivePlotter(hex(m_id).toUpper(), QStringLiteral("00a1"))), live);
        QCOMPARE(m_plots->numberOfPlotters(), 1);
        QCOMPARE(QQmlEngine::objectOwnership(live), QQmlEngine::CppOwnership);
        QVERIFY(asPlotter(m_plots->getLivePlotter(hex(m_id), hex(kDevice + 1))) != live);
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
        TrackPlotter* plotter = asPlotter(m_plots->getStaticPlotter(hex(m_id), hex(kDevice)));
        QCOMPARE(QString::fromLatin1(plotter->metaObject()->className()), className);
        QCOMPARE(plotter->getSetupName(), QStringLiteral("Sprint 1kHz"));
        // A stream that follows is drawn as line graphs all the same.
        const quint64 stream = m_measurements->addMeasurementOnHost("Anna", "App", "Sprint 1kHz");
        TrackPlotter* live = asPlotter(m_plots->getLivePlotter(hex(stream), hex(kDevice)));
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
        TrackPlotter* unknown = asPlotter(m_plots->getStaticPlotter(hex(m_id + 1), hex(kDevice)));
        QVERIFY(unknown != nullptr);
        QVERIFY(m_log->contains(" MeasurementController was asked for non-existing measurement: "));
        TrackPlotter* noList = asPlotter(m_plots->getStaticPlotter(hex(m_id), hex(kDevice)));
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

    // The road of a live stream: the plotter is asked for before the header
    // arrives, sets itself up when the list is complete, draws on its timer
    // and stops when the stream of its measurement stops.
    void liveStreamSetsUpThePlotterAndItsStopEndsTheTimer()
    {
        const quint64 other = m_measurements->addMeasurementOnHost("Ben", "App", "Setup");
        QSignalSpy created(m_plots.get(), &PlotController::livePlotterCreated);
        m_plots->createLivePlotter(hex(m_id), hex(kDevice));
        m_plots->createLivePlotter(hex(other), hex(kDevice));
        QCOMPARE(created.count(), 2);
        QCOMPARE(created.first(), (QVariantList{hex(m_id), hex(kDevice)}));
        TrackPlotter* plotter = m_plots->plotterFor(m_id, kDevice);
        TrackPlotter* otherPlotter = m_plots->plotterFor(other, kDevice);
        plotter->setSize(QSizeF(800, 200));

        for (quint64 id : {m_id, other}) {
            m_measurements->DeviceTrackFound(kDevice, id, Track::AccX, 2, 0, 0);
            m_measurements->DeviceTrackFound(kDevice, id, Track::GyrX, 2, 0, 0);
            QCOMPARE(m_plots->plotterFor(id, kDevice)->customPlot()->graphCount(), 0);
            m_measurements->trackListComplete(kDevice, id);
        }
        QCOMPARE(plotter->customPlot()->graphCount(), 2);
        QVERIFY(plotter->isUpdating());

        TrackList* list = m_measurement->getTrackList(kDevice);
        fill(list->getTrackById(Track::AccX), 0, 300, 2.0);
        QTRY_COMPARE(plotter->customPlot()->graph(0)->data()->size(), 299);

        fill(list->getTrackById(Track::AccX), 300, 10, 2.0);
        m_plots->stopLivePlotters(hex(m_id));
        QVERIFY(!plotter->isUpdating());
        QVERIFY(otherPlotter->isUpdating());
        // The last samples are drawn once more on the way out.
        QCOMPARE(plotter->customPlot()->graph(0)->data()->size(), 309);
        // One line for each plotter's first update, none per tick.
        QCOMPARE(m_log->count(" CustomPlotItem is updated nr of graphs: "), 2);
        QCOMPARE(m_log->count("minXScale"), 0);
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
        TrackPlotter* plotter = asPlotter(m_plots->getStaticPlotter(hex(m_id), hex(kDevice)));
        plotter->setSize(QSizeF(300, 200));
        QCOMPARE(plotter->customPlot()->graph(0)->data()->size(), 105);

        // Only the headers first, as at start-up, then the whole list.
        m_measurement->scanForMeasurementDataOnDisk();
        m_measurement->loadMeasurementDataFromDisk();
        TrackList* loaded = m_measurement->getTrackList(kDevice);
        QVERIFY(loaded != original);
        m_plots->createStaticPlotters(hex(m_id));
        QCOMPARE(plotter->getTrackList(), loaded);
        QCOMPARE(plotter->customPlot()->graph(0)->data()->size(), 100);

        // Switched to live, the same plotter follows by itself on its next tick.
        QCOMPARE(asPlotter(m_plots->getLivePlotter(hex(m_id), hex(kDevice))), plotter);
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
        QPointer<TrackPlotter> plotter = asPlotter(m_plots->getLivePlotter(hex(m_id), hex(kDevice)));
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
    std::unique_ptr<TemporaryStorage> m_storage;
    std::unique_ptr<LogCapture> m_log;
    std::unique_ptr<MeasurementController> m_measurements;
    std::unique_ptr<PlotController> m_plots;
    quint64 m_id = 0;
    Measurement* m_measurement = nullptr;
};

QTEST_MAIN(TestPlotController)
#include "tst_plotcontroller.moc"
