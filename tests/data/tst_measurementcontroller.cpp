#include "Application/Helper.h"
#include "Application/NotificationHub.h"
#include "Data/Measurement.h"
#include "Data/MeasurementController.h"
#include "Data/MeasurementFilterModel.h"
#include "Data/MeasurementsModel.h"
#include "Data/Track.h"
#include "Data/TrackList.h"
#include "Protocol/FlashAddress.h"

#include "LogCapture.h"
#include "ScriptedIds.h"
#include "SprintRecordings.h"
#include "StorageFiles.h"
#include "TemporaryStorage.h"

#include <QDir>
#include <QFile>
#include <QPersistentModelIndex>
#include <QSignalSpy>
#include <QtTest>

namespace {

const quint32 kLastFlashAddress = FlashAddress(1, 4095, 63).toQuint32();

Measurement* hostMeasurement(MeasurementController& controller, quint64 id, const QDateTime& start)
{
    auto* measurement = new Measurement(nullptr, id);
    measurement->setStartTime(start);
    controller.addMeasurementOnHost(measurement);
    return measurement;
}

QStringList idsInOrder(MeasurementsModel* model)
{
    QStringList ids;
    for (int row = 0; row < model->rowCount(); ++row)
        ids << model->data(model->index(row, 0), MeasurementsModel::MeasurementIDRole).toString();
    return ids;
}

QDateTime at(int hour, int minute = 0)
{
    return QDateTime(QDate(2015, 5, 13), QTime(hour, minute), Qt::LocalTime);
}

} // namespace

class TestMeasurementController : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void hostListIsNewestFirstAndViewsHearOfTheNewOrder()
    {
        MeasurementController controller;
        MeasurementsModel* model = controller.getMeasurementsOnHostModel();
        hostMeasurement(controller, 0x9, at(9));
        QPersistentModelIndex nine(model->index(0, 0));

        QSignalSpy aboutToChange(model, &QAbstractItemModel::layoutAboutToBeChanged);
        QSignalSpy changed(model, &QAbstractItemModel::layoutChanged);
        // Prepended on top, then it is already in place: no layout change.
        hostMeasurement(controller, 0xa, at(10));
        QCOMPARE(changed.count(), 0);
        QCOMPARE(idsInOrder(model), (QStringList { "a", "9" }));

        // An older one goes below; views see the move.
        hostMeasurement(controller, 0x8, at(8));
        QCOMPARE(aboutToChange.count(), 1);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(idsInOrder(model), (QStringList { "a", "9", "8" }));
        QCOMPARE(nine.row(), 1);
        QCOMPARE(nine.data(MeasurementsModel::MeasurementIDRole).toString(), QString("9"));

        // Measurements uploaded from a sensor have no start time: at the end.
        controller.addMeasurementOnHost(quint64(0x1f));
        hostMeasurement(controller, 0x95, at(9, 30));
        QCOMPARE(idsInOrder(model), (QStringList { "a", "95", "9", "8", "1f" }));
        QCOMPARE(controller.getMeasurementOnHostByIndex(1)->getMeasurementID(), quint64(0x95));
        QCOMPARE(controller.getMeasurementOnHostByIndex(5), nullptr);
        QCOMPARE(controller.getMeasurementsOnHost().size(), 5);
        QCOMPARE(controller.getMeasurementsOnHost().at(4)->getMeasurementID(), quint64(0x1f));
    }

    void newHostMeasurementsAreSavedAtOnce()
    {
        TemporaryStorage storage;
        MeasurementController controller;
        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        const quint64 id = controller.addMeasurementOnHost("Anna", "Sprint", "Two sensors");
        QVERIFY((id & 0x8000000080000000ull) == 0);
        Measurement* measurement = controller.getMeasurementOnHostById(id);
        QVERIFY(measurement != nullptr);
        QCOMPARE(measurement->parent(), &controller);
        QCOMPARE(measurement->getUserName(), QString("Anna"));
        QCOMPARE(measurement->getAppName(), QString("Sprint"));
        QCOMPARE(measurement->getSetupName(), QString("Two sensors"));
        QVERIFY(measurement->getStartTime() >= before);
        QVERIFY(measurement->getStartTime() <= QDateTime::currentDateTime());
        QVERIFY(QFile::exists(measurement->fullPath()));

        controller.addMeasurementOnHost(quint64(0x1f));
        QVERIFY(QFile::exists(Helper::getDataPath() + "/____1f.ktm"));
        QCOMPARE(controller.getMeasurementsOnHostModel()->rowCount(), 2);
    }

    void rolesShowTheMeasurement_data()
    {
        QTest::addColumn<int>("role");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QVariant>("named");
        QTest::addColumn<QVariant>("idOnly");
        QTest::newRow("id") << 257 << QByteArray("MeasurementID") << QVariant(QString("abc")) << QVariant(QString("1f"));
        QTest::newRow("size") << 258 << QByteArray("Size") << QVariant(QString()) << QVariant(QString());
        QTest::newRow("user") << 259 << QByteArray("UserName") << QVariant(QString("Anna")) << QVariant(QString(""));
        QTest::newRow("app") << 260 << QByteArray("AppName") << QVariant(QString("Sprint")) << QVariant(QString(""));
        QTest::newRow("setup") << 261 << QByteArray("SetupName") << QVariant(QString("Two")) << QVariant(QString(""));
        QTest::newRow("start") << 262 << QByteArray("StartTime") << QVariant(QString("Wed May 13 09:00:00 2015"))
                               << QVariant(QString(""));
        QTest::newRow("display") << int(Qt::DisplayRole) << QByteArray() << QVariant() << QVariant();
        QTest::newRow("past the roles") << 266 << QByteArray() << QVariant() << QVariant();
    }

    void rolesShowTheMeasurement()
    {
        QFETCH(int, role);
        QFETCH(QByteArray, name);
        QFETCH(QVariant, named);
        QFETCH(QVariant, idOnly);
        MeasurementController controller;
        Measurement* measurement = hostMeasurement(controller, 0xabc, at(9));
        measurement->setUserName("Anna");
        measurement->setAppName("Sprint");
        measurement->setSetupName("Two");
        controller.addMeasurementOnHost(new Measurement(nullptr, 0x1f));
        MeasurementsModel* model = controller.getMeasurementsOnHostModel();
        QCOMPARE(model->data(model->index(0, 0), role), named);
        QCOMPARE(model->data(model->index(1, 0), role), idOnly);
        if (role == MeasurementsModel::SizeRole)
            QVERIFY(model->data(model->index(1, 0), role).toString().isNull());
        QCOMPARE(model->data(model->index(2, 0), role), QVariant());
        QCOMPARE(model->roleNames().value(role), name);
        QCOMPARE(model->columnCount(), 9);
    }

    void sensorMeasurementsKeepTheirFirstReportUntilClosed()
    {
        MeasurementController controller;
        QSignalSpy found(&controller, &MeasurementController::newMeasurementFound);
        LogCapture log;
        controller.foundStartedMeasurement(0xab, 0x1f, 0x100);
        controller.foundCompleteMeasurement(0xab, 0x1f, 0x200, 0x300);
        QCOMPARE(found.count(), 1);
        QCOMPARE(found.at(0).at(0).toULongLong(), 0xabull);
        QCOMPARE(found.at(0).at(1).toULongLong(), 0x1full);
        Measurement* started = controller.getMeasurementOnDeviceById(0xab, 0x1f);
        QVERIFY(started != nullptr);
        // The start stays as first reported; the closed recording gets its stop.
        QCOMPARE(started->getStartAddress(0xab), quint32(0x100));
        QCOMPARE(started->getStopAddress(0xab), quint32(0x300));
        controller.foundCompleteMeasurement(0xab, 0x1f, 0x100, 0x400);
        QCOMPARE(started->getStopAddress(0xab), quint32(0x300));
        QVERIFY(log.contains("Found started Measurement for device  ab  :  1f  at:  256"));
        QVERIFY(log.contains("Found complete Measurement for device  ab  :  1f  from :  512  to  768"));

        // The same id on another sensor is another entry; complete then
        // started keeps the complete one.
        controller.foundCompleteMeasurement(0xcd, 0x1f, 0x10, 0x20);
        controller.foundStartedMeasurement(0xcd, 0x1f, 0x30);
        controller.foundCompleteMeasurement(0xcd, 0x2f, 0x40, 0x50);
        QCOMPARE(found.count(), 3);
        QCOMPARE(controller.getMeasurementOnDeviceById(0xcd, 0x1f)->getStopAddress(0xcd), quint32(0x20));
        MeasurementsModel* model = controller.getMeasurementsOnDeviceModel(0xcd);
        QCOMPARE(model->rowCount(), 2);
        QCOMPARE(controller.getMeasurementOnDeviceByIndex(0xcd, 0)->getMeasurementID(), quint64(0x2f));
        QCOMPARE(controller.getDeviceSerialsWithMeasurementId(0x1f), (QList<quint64> { 0xab, 0xcd }));
        QCOMPARE(controller.getDeviceSerialsWithMeasurementId(0x2f), QList<quint64> { 0xcd });
        // Nothing of this reaches the host list or the disk.
        QCOMPARE(controller.getMeasurementsOnHostModel()->rowCount(), 0);

        // A recording still running reaches up to the end of the flash.
        controller.foundStartedMeasurement(0xef, 0x3f, 0x400);
        QCOMPARE(controller.getMeasurementOnDeviceById(0xef, 0x3f)->getStopAddress(0xef), kLastFlashAddress);
        QCOMPARE(kLastFlashAddress, quint32(0x010fff3f));
    }

    void lookUpsOfUnknownThingsLogAndGiveNothing()
    {
        MeasurementController controller;
        controller.foundCompleteMeasurement(0xab, 0x1f, 1, 2);
        LogCapture log;
        QCOMPARE(controller.getMeasurementOnHostById(0x77), nullptr);
        QCOMPARE(controller.getMeasurementOnDeviceByIndex(0x99, 0), nullptr);
        QCOMPARE(controller.getMeasurementOnDeviceByIndex(0xab, 1), nullptr);
        QCOMPARE(controller.getMeasurementOnDeviceByIndex(0xab, -1), nullptr);
        QCOMPARE(controller.getMeasurementOnDeviceById(0x99, 0x1f), nullptr);
        QCOMPARE(controller.getMeasurementOnDeviceById(0xab, 0x2f), nullptr);
        QCOMPARE(log.lines(),
                 (QStringList {
                     " MeasurementController was asked for non-existing measurement:  77",
                     "Measurement Controller was asked for measurement on device   153 , at index:  0  Device does not exist. ",
                     "Measurement Controller was asked for measurement on device   171 , at index:  1  Index does not exist. ",
                     "Measurement Controller was asked for measurement on device   171 , at index:  -1  Index does not exist. ",
                     "Measurement Controller was asked for measurement on device   99 , with id:  1f   Device does not exist. ",
                     "Measurement Controller was asked for measurement on device   ab , with id:  2f  id does not exist. ",
                 }));
        // Asking did not create a list for the unknown sensor.
        QCOMPARE(controller.getDeviceSerialsWithMeasurementId(0x1f), QList<quint64> { 0xab });
    }

    void streamHeadersBuildTheTrackListsOfHostMeasurements()
    {
        MeasurementController controller;
        Measurement* measurement = hostMeasurement(controller, 0x5, at(9));
        QSignalSpy changed(&controller, &MeasurementController::DeviceTrackListChanged);

        LogCapture log;
        controller.DeviceTrackFound(0xab, 0x6, 0x0110, 2, 1, 0);
        QCOMPARE(changed.count(), 0);
        QVERIFY(log.contains(" DeviceTrackFound was emitted for unknown meausrement:  6"));
        QCOMPARE(measurement->getDevicesInMeasurement(), QList<quint64>());

        controller.DeviceTrackFound(0xab, 0x5, 0x0112, 0x102, 4, 7);
        controller.DeviceTrackFound(0xab, 0x5, 0x0110, 2, 1, 8);
        QCOMPARE(changed.count(), 2);
        TrackList* list = measurement->getTrackList(0xab);
        QCOMPARE(changed.at(1).at(2).value<TrackList*>(), list);
        QCOMPARE(changed.at(1).at(0).toULongLong(), 0xabull);
        QCOMPARE(changed.at(1).at(1).toULongLong(), 0x5ull);
        QCOMPARE(list->getTrackOrder(), (QList<quint16> { 0x0112, 0x0110 }));
        Track* z = list->getTrackById(0x0112);
        QCOMPARE(z->getDownSamplingFactor(), quint16(4));
        QCOMPARE(z->getTrackWidth(), quint8(2)); // the width is taken as 8 bits
        QCOMPARE(z->getConfigIndex(), quint8(7));

        QSignalSpy complete(list, &TrackList::complete);
        controller.trackListComplete(0xab, 0x5);
        QCOMPARE(complete.count(), 1);
        log.clear();
        controller.trackListComplete(0xab, 0x6);
        QVERIFY(log.contains(" Tracklist complete was emitted for unknown meausrement:  6"));
        QCOMPARE(complete.count(), 1);
    }

    void uploadProgressIsRecordedAndSaved()
    {
        TemporaryStorage storage;
        MeasurementController controller;
        controller.addMeasurementOnHost(quint64(0x1f));
        Measurement* measurement = controller.getMeasurementOnHostById(0x1f);
        measurement->setStopAddress(0xab, FlashAddress(0, 3, 0).toQuint32());
        controller.DeviceTrackFound(0xab, 0x1f, 0x0110, 2, 1, 0);
        measurement->getTrackList(0xab)->AddScalarSample(0x0110, 1.5);

        controller.uploadPageDone(0xab, 0x1f, FlashAddress(0, 2, 63).toQuint32());
        QVERIFY(!measurement->uploadFromDeviceComplete(0xab));
        controller.uploadPageDone(0xab, 0x1f, FlashAddress(0, 3, 0).toQuint32());
        QVERIFY(measurement->uploadFromDeviceComplete(0xab));
        QVERIFY(controller.saveMeasurementStateToDisk(0xab, 0x1f));
        QVERIFY(QFile::exists(Helper::getDataPath() + "/1f/1f_ab.ktt"));

        Measurement prototype(nullptr, 0);
        QSignalSpy loaded(&prototype, &Measurement::loadedMeasurementFromDisk);
        prototype.loadFileFromDisk(measurement->fullPath());
        QCOMPARE(loaded.count(), 1);
        std::unique_ptr<Measurement> copy(loaded.at(0).at(0).value<Measurement*>());
        QVERIFY(copy->uploadFromDeviceComplete(0xab));
        copy->loadMeasurementDataFromDisk();
        QCOMPARE(copy->getTrackList(0xab)->getTrackById(0x0110)->getScalarSamples(), QList<double> { 1.5 });

        // A list that cannot be written takes the record's progress with it:
        // the record never names pages whose samples are not on disk.
        measurement->setStopAddress(0xab, FlashAddress(0, 5, 0).toQuint32());
        controller.uploadPageDone(0xab, 0x1f, FlashAddress(0, 4, 0).toQuint32());
        QVERIFY(QFile::remove(Helper::getDataPath() + "/1f/1f_ab.ktt"));
        QVERIFY(QDir().mkpath(Helper::getDataPath() + "/1f/1f_ab.ktt")); // a folder where the file goes
        QVERIFY(!controller.saveMeasurementStateToDisk(0xab, 0x1f));
        QCOMPARE(measurement->getLastUploadAddress(0xab), FlashAddress(0, 3, 0).toQuint32());
        Measurement reread(nullptr, 0);
        QSignalSpy rereadSpy(&reread, &Measurement::loadedMeasurementFromDisk);
        reread.loadFileFromDisk(measurement->fullPath());
        QCOMPARE(rereadSpy.count(), 1);
        std::unique_ptr<Measurement> stored(rereadSpy.at(0).at(0).value<Measurement*>());
        QCOMPARE(stored->getLastUploadAddress(0xab), FlashAddress(0, 3, 0).toQuint32());

        LogCapture log;
        controller.uploadPageDone(0xab, 0x2f, 5);
        QVERIFY(!controller.saveMeasurementStateToDisk(0xab, 0x2f));
        controller.saveMeasurementToDisk(nullptr);
        QCOMPARE(log.count(" MeasurementController was asked for non-existing measurement:  2f"), 2);
        QVERIFY(log.contains(" saveMeasurementStateToDisk was called for unknown meausrement:  2f"));
        QVERIFY(!QDir(Helper::getDataPath() + "/2f").exists());
    }

    void slotsTakingIdTextsIgnoreWhatIsNotAnId()
    {
        TemporaryStorage storage;
        MeasurementController controller;
        Measurement* measurement = hostMeasurement(controller, 0x8000000000000001ull, at(9));
        measurement->getTrackList(0x2);
        LogCapture log;
        controller.exportMeasurement("zz");
        controller.loadMeasurementDataFromDisk("zz");
        controller.exportMeasurement("");
        QCOMPARE(log.lines(), QStringList());
        QVERIFY(!QDir(Helper::geExportPath()).exists());

        controller.exportMeasurement("77");
        QCOMPARE(log.lines(), (QStringList { " MeasurementController exports measurement:  119",
                                             " MeasurementController was asked for non-existing measurement:  77" }));
        log.clear();
        controller.loadMeasurementDataFromDisk("77");
        QVERIFY(log.contains(" Measurement to load data from disk was not found on host:  \"77\""));

        // Ids with the top bit set are reachable.
        log.clear();
        controller.exportMeasurement("8000000000000001");
        QVERIFY(log.contains(" MeasurementController exports measurement:  9223372036854775809"));
        QVERIFY(log.contains(" Measurement to export:  \"2015_05_13_09_00_00____8000000000000001\""));
        QVERIFY(QFile::exists(Helper::geExportPath() + "/2015_05_13_09_00_00____8000000000000001/2.mat"));
    }

    // The user waits for an export: it says where the files went, or that
    // they could not be written.
    void anExportReportsWhereItWroteOrThatItFailed()
    {
        TemporaryStorage storage;
        MeasurementController controller;
        Measurement* measurement = hostMeasurement(controller, 0x51, at(9));
        measurement->getTrackList(0x2)->AddTrack(0x0110, 1, 2, 0);
        QSignalSpy infos(NotificationHub::instance(), &NotificationHub::info);
        QSignalSpy errors(NotificationHub::instance(), &NotificationHub::error);

        controller.exportMeasurement("51");
        QCOMPARE(infos.size(), 1);
        QCOMPARE(infos.first().first().toString(), "Exported to " + measurement->exportFolder());
        QVERIFY(QFile::exists(measurement->exportFolder() + "/2.mat"));
        QCOMPARE(errors.size(), 0);

        // A file where the export folder would go.
        QVERIFY(QDir(measurement->exportFolder()).removeRecursively());
        QVERIFY(StorageFiles::write(measurement->exportFolder(), "in the way"));
        controller.exportMeasurement("51");
        QCOMPARE(infos.size(), 1);
        QCOMPARE(errors.size(), 1);
        QVERIFY(errors.first().first().toString().contains(measurement->exportFolder()));
    }

    void loadingByIdTextFillsTheStoredLists()
    {
        TemporaryStorage storage;
        {
            Measurement stored(nullptr, 0xfeed);
            stored.setStartTime(at(11));
            stored.getTrackList(0x4)->AddTrack(0x0110, 1, 2, 0);
            stored.getTrackList(0x4)->AddScalarSample(0x0110, 3);
            stored.saveAllTrackLists();
            QVERIFY(stored.saveToDisk());
        }
        MeasurementController controller;
        Measurement prototype(nullptr, 0);
        connect(&prototype, &Measurement::loadedMeasurementFromDisk, &controller,
                qOverload<Measurement*>(&MeasurementController::addMeasurementOnHost));
        prototype.scanForFilesAndLoad();
        Measurement* loaded = controller.getMeasurementOnHostById(0xfeed);
        QVERIFY(loaded != nullptr);
        QCOMPARE(loaded->parent(), &controller);
        QCOMPARE(loaded->getTrackList(0x4)->getNumberOfTracks(), 0);
        controller.loadMeasurementDataFromDisk("FEED");
        QCOMPARE(loaded->getTrackList(0x4)->getTrackById(0x0110)->getScalarSamples(), QList<double> { 3 });
    }

    void removingAHostRowErasesItsFilesButASensorRowErasesNothing()
    {
        TemporaryStorage storage;
        MeasurementController controller;
        controller.addMeasurementOnHost(quint64(0x1f));
        Measurement* host = controller.getMeasurementOnHostById(0x1f);
        QVERIFY(host->saveSingleTrackList(0xab));
        const QString record = host->fullPath();
        const QString folder = host->trackListFolder();

        // The sensor lists the same recording under the same id.
        controller.foundCompleteMeasurement(0xab, 0x1f, 0, 1);
        MeasurementsModel* sensorList = controller.getMeasurementsOnDeviceModel(0xab);
        QVERIFY(sensorList->removeRows(0, 1));
        QCOMPARE(sensorList->rowCount(), 0);
        QVERIFY(QFile::exists(record));
        QVERIFY(QDir(folder).exists());

        QVERIFY(controller.getMeasurementsOnHostModel()->removeRows(0, 1));
        QVERIFY(!QFile::exists(record));
        QVERIFY(!QDir(folder).exists());
        QCOMPARE(host->getMeasurementID(), quint64(0x1f));
    }

    // What makes an id taken; the script draws it twice before a free one.
    void newIdsAreNeverOnesAlreadyTaken_data()
    {
        QTest::addColumn<QString>("takenBy");
        QTest::newRow("zero") << "zero";
        QTest::newRow("a measurement on the host") << "host";
        QTest::newRow("a measurement in a sensor's list") << "sensor";
        QTest::newRow("a track-list folder") << "folder";
        QTest::newRow("a file where the folder would be") << "file";
        QTest::newRow("a stored record not listed") << "record";
    }

    void newIdsAreNeverOnesAlreadyTaken()
    {
        QFETCH(QString, takenBy);
        TemporaryStorage storage;
        MeasurementController controller;
        const quint64 taken = takenBy == "zero" ? 0 : 0x9a;
        const QString folder = Helper::getDataPath() + "/9a";
        if (takenBy == "host")
            hostMeasurement(controller, taken, at(9));
        else if (takenBy == "sensor")
            controller.foundCompleteMeasurement(0xab, taken, 0x100, 0x200);
        else if (takenBy == "folder")
            QVERIFY(StorageFiles::write(folder + "/9a_ab.ktt", "first recording"));
        else if (takenBy == "file")
            QVERIFY(StorageFiles::write(folder, "in the way"));
        else if (takenBy == "record")
            QVERIFY(StorageFiles::write(Helper::getDataPath() + "/2015_05_13_09_00_00_Sprint_Two_Anna_9a.ktm", "r"));
        const QStringList before = QDir(Helper::getDataPath()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

        ScriptedIds ids({ taken, taken, 0x9b });
        const quint64 id = controller.addMeasurementOnHost("Anna", "Sprint", "Two sensors");
        QCOMPARE(id, quint64(0x9b));
        QCOMPARE(ids.draws(), 3);
        QVERIFY(controller.isMeasurementIdTaken(taken));
        QVERIFY(controller.isMeasurementIdTaken(0x9b));
        QVERIFY(!controller.isMeasurementIdTaken(0x9c));
        // The new one has its own record; whatever was there is untouched.
        QVERIFY(QFile::exists(controller.getMeasurementOnHostById(0x9b)->fullPath()));
        QStringList after = QDir(Helper::getDataPath()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        after.removeOne(QFileInfo(controller.getMeasurementOnHostById(0x9b)->fullPath()).fileName());
        QCOMPARE(after, before);
        if (takenBy == "folder")
            QCOMPARE(StorageFiles::read(folder + "/9a_ab.ktt"), QByteArray("first recording"));
    }

    // Steps are held over two samples each; a step counts once.
    void sprintSummaryCountsStepsPerFoot_data()
    {
        QTest::addColumn<QList<quint64>>("serials");
        QTest::addColumn<QVariantMap>("expected");
        const QVariantMap both {
            { "leftSerial", "10" }, { "rightSerial", "20" }, { "leftMs", 160.0 }, { "rightMs", 180.0 },
            { "bothMs", 168.0 }, { "leftSteps", 3 }, { "rightSteps", 2 }, { "steps", 5 },
            { "differencePercent", 20.0 / 170.0 * 100.0 }, { "feedbackRuns", "" }, { "sprints", 1 },
            { "average", false }, { "stepsPerSecond", 4 / 0.9 }, { "fastestMs", 150.0 }, { "fastestFoot", "left" },
            { "slowestMs", 180.0 }, { "slowestFoot", "right" },
        };
        QTest::newRow("both feet, the lower serial left") << QList<quint64> { 0x20, 0x10 } << both;
        QTest::newRow("one foot only")
            << QList<quint64> { 0x10 }
            << QVariantMap { { "leftSerial", "10" }, { "rightSerial", "" }, { "leftMs", 160.0 }, { "rightMs", 0.0 },
                             { "bothMs", 160.0 }, { "leftSteps", 3 }, { "rightSteps", 0 }, { "steps", 3 },
                             { "differencePercent", 0.0 }, { "feedbackRuns", "" }, { "sprints", 1 },
                             { "average", false }, { "stepsPerSecond", 2 / 0.9 }, { "fastestMs", 150.0 },
                             { "fastestFoot", "left" }, { "slowestMs", 170.0 }, { "slowestFoot", "left" } };
        QTest::newRow("no contact times") << QList<quint64>() << QVariantMap();
    }

    void sprintSummaryCountsStepsPerFoot()
    {
        QFETCH(QList<quint64>, serials);
        QFETCH(QVariantMap, expected);
        TemporaryStorage storage;
        MeasurementController controller;
        Measurement* sprint = hostMeasurement(controller, 0x5a, QDateTime::currentDateTime());
        sprint->getTrackList(0x30)->AddTrack(Track::AccX, 1, 2, 0);
        for (quint64 serial : serials) {
            const SprintRecordings::Steps steps = serial == 0x10
                ? SprintRecordings::Steps { { 150, 160, 170 }, { 1000, 1450, 1900 } }
                : SprintRecordings::Steps { { 180, 180 }, { 1225, 1675 } };
            SprintRecordings::addHeldSteps(*sprint, serial, steps, 2);
        }
        QCOMPARE(controller.sprintSummary("5a"), expected);
        QCOMPARE(controller.sprintSummary("5b"), QVariantMap());
    }

    void jumpHeightsAreOnePerJumpInTimeOrder_data()
    {
        QTest::addColumn<int>("samplingRate");
        QTest::addColumn<bool>("withJumps");
        QTest::addColumn<QList<double>>("times");
        QTest::newRow("no rate named: 1 kHz") << 0 << true << QList<double> { 1.0, 1.003, 2.5, 4.0 };
        QTest::newRow("500 Hz") << 500 << true << QList<double> { 2.0, 2.006, 5.0, 8.0 };
        QTest::newRow("no jump track") << 0 << false << QList<double>();
    }

    void jumpHeightsAreOnePerJumpInTimeOrder()
    {
        QFETCH(int, samplingRate);
        QFETCH(bool, withJumps);
        QFETCH(QList<double>, times);
        TemporaryStorage storage;
        MeasurementController controller;
        Measurement* squat = hostMeasurement(controller, 0x6a, QDateTime::currentDateTime());
        squat->setSamplingRate(quint16(samplingRate));
        squat->getTrackList(0x30)->AddTrack(Track::AccX, 1, 2, 0);
        const auto addHeights = [squat](quint64 serial, const QList<QPair<quint32, double>>& samples) {
            TrackList* list = squat->getTrackList(serial);
            list->AddTrack(Track::JumpHeight, 1, 2, 0);
            Track* track = list->getTrackById(Track::JumpHeight);
            for (const auto& sample : samples) {
                track->setCurrentSampleNumber(sample.first);
                track->AddScalarSample(sample.second);
            }
        };
        if (withJumps) {
            // Held heights; two jumps in a row; the height before any jump is 0.
            addHeights(0x10, { { 1000, 30.65625 }, { 1001, 30.65625 }, { 1002, 30.65625 }, { 1003, 25 },
                               { 1004, 25 }, { 4000, 40 } });
            addHeights(0x20, { { 100, 0 }, { 2500, 20 }, { 2501, 20 } });
        }
        const QVariantMap result = controller.jumpHeights("6a");
        const QList<QString> serials { "10", "10", "20", "10" };
        const QList<double> heights { 30.65625, 25, 20, 40 };
        QVariantList jumps;
        for (int i = 0; i < times.size(); ++i)
            jumps.append(QVariantMap { { "serial", serials[i] }, { "number", i + 1 }, { "timeS", times[i] },
                                       { "heightCm", heights[i] } });
        QCOMPARE(result.value("jumps").toList(), jumps);
        QCOMPARE(result.value("count").toInt(), jumps.size());
        QCOMPARE(result.value("bestCm").toDouble(), withJumps ? 40.0 : 0.0);
        QCOMPARE(result.value("meanCm").toDouble(), withJumps ? 115.65625 / 4 : 0.0);
    }

    void filteredListsShowWhatIsAskedFor_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("app");
        QTest::addColumn<QString>("day");
        QTest::addColumn<bool>("liveViews");
        QTest::addColumn<QVariantList>("ids");
        QTest::newRow("everything") << "" << "" << "" << true << QVariantList { "4", "3", "2", "1" };
        QTest::newRow("no live views") << "" << "" << "" << false << QVariantList { "4", "3", "1" };
        QTest::newRow("one athlete") << "Anna" << "" << "" << true << QVariantList { "3", "2", "1" };
        QTest::newRow("one athlete's sprints, no live views")
            << "Anna" << "Sprint" << "" << false << QVariantList { "3", "1" };
        QTest::newRow("one day") << "" << "" << "2015-05-13" << true << QVariantList { "2", "1" };
        QTest::newRow("names are matched exactly") << "anna" << "" << "" << true << QVariantList();
    }

    void filteredListsShowWhatIsAskedFor()
    {
        QFETCH(QString, user);
        QFETCH(QString, app);
        QFETCH(QString, day);
        QFETCH(bool, liveViews);
        QFETCH(QVariantList, ids);
        TemporaryStorage storage;
        MeasurementController controller;
        struct Row {
            quint64 id;
            const char* user;
            const char* app;
            QDateTime start;
        };
        const Row rows[] = {
            { 1, "Anna", "Sprint", QDateTime(QDate(2015, 5, 13), QTime(9, 5)) },
            { 2, "Anna", "Sprint", QDateTime(QDate(2015, 5, 13), QTime(10, 0)) },
            { 3, "Anna", "Sprint", QDateTime(QDate(2015, 5, 14), QTime(9, 0)) },
            { 4, "Ben", "Squat Jump", QDateTime(QDate(2015, 5, 15), QTime(9, 0)) },
        };
        for (const Row& row : rows) {
            Measurement* measurement = hostMeasurement(controller, row.id, row.start);
            measurement->setUserName(row.user);
            measurement->setAppName(row.app);
        }
        MeasurementsModel* model = controller.getMeasurementsOnHostModel();
        MeasurementFilterModel filter;
        filter.setSourceModel(model);
        QSignalSpy counted(&filter, &MeasurementFilterModel::countChanged);
        filter.setUserName(user);
        filter.setAppName(app);
        filter.setDay(day);
        filter.setLiveViews(liveViews);
        // Marked after the filter was set: the list follows.
        QVERIFY(controller.getMeasurementOnHostById(2)->markAsLiveView());
        QCOMPARE(filter.ids(), ids);
        QCOMPARE(filter.count(), ids.size());
        QCOMPARE(counted.isEmpty(), ids.size() == 4);
        QCOMPARE(filter.idAt(0), ids.isEmpty() ? QString() : ids.first().toString());
        QCOMPARE(filter.idAt(ids.size()), QString());

        // The roles the lists show.
        const QModelIndex second = model->index(2, 0);
        QCOMPARE(model->data(second, MeasurementsModel::IsLiveViewRole), QVariant(true));
        QCOMPARE(model->data(second, MeasurementsModel::DayRole), QVariant("2015-05-13"));
        QCOMPARE(model->data(second, MeasurementsModel::StartTimeTextRole), QVariant("2015-05-13 10:00"));
        QCOMPARE(model->roleNames().value(MeasurementsModel::StartTimeTextRole), QByteArray("StartTimeText"));
    }

    void sensorListsAreCreatedOncePerSerial()
    {
        MeasurementController controller;
        LogCapture log;
        MeasurementsModel* first = controller.getMeasurementsOnDeviceModel(0xab);
        QCOMPARE(controller.getMeasurementsOnDeviceModel(0xab), first);
        QVERIFY(controller.getMeasurementsOnDeviceModel(0xac) != first);
        QCOMPARE(first->parent(), &controller);
        QCOMPARE(log.count("Created Measurements Model for device:  ab"), 1);
        QCOMPARE(log.count("Created Measurements Model for device: "), 2);
    }
};

QTEST_GUILESS_MAIN(TestMeasurementController)
#include "tst_measurementcontroller.moc"
