#include "Application/Helper.h"
#include "Data/MeasurementController.h"
#include "Data/MeasurementsModel.h"
#include "Data/Store.h"
#include "Devices/DeviceManager.h"
#include "Devices/DevicesModel.h"
#include "Devices/KtDevice.h"
#include "Links/InterfaceManager.h"

#include "LogCapture.h"
#include "RecordBytes.h"
#include "RecordingLink.h"
#include "StorageFiles.h"
#include "TemporaryStorage.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

QByteArray deviceRecord(quint64 serial, const QString& bt, const QString& usb)
{
    return RecordBytes().i64(20140409).u64(serial).string(bt).string(usb).bytes();
}

// Runs a device-folder scan the way the application does at start-up.
void loadStoredDevices(DeviceManager& manager)
{
    KtDevice prototype(0);
    QObject::connect(&prototype, &KtDevice::loadedDeviceFromDisk, &manager, &DeviceManager::addDevice);
    prototype.scanForFilesAndLoad();
}

// A link manager with one sensor bound over one link.
class OneLinkManager : public InterfaceManager
{
    Q_OBJECT
public:
    void startScan() override {}
    explicit OneLinkManager(quint64 serial)
        : link(new RecordingLink("ttyUSB0", 3, this))
    {
        connectedInterfaces.insert(link->identifier(), link);
        serialToInterfaces.insert(serial, link);
        interfaceToSerial.insert(link, serial);
    }
    RecordingLink* link;
};

} // namespace

class TestDevices : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanupTestCase() { Store::drop(); }

    void recordMatchesTheLayoutAndComesBack()
    {
        TemporaryStorage storage;
        KtDevice device(0x8000000000001a2bull);
        device.setBtAddress("1122aabbcc");
        device.setUsbPort("ttyUSB0");
        device.setOnline(true);
        device.setFirmware(7);
        QCOMPARE(device.generateFileName(), QString("8000000000001a2b"));
        QVERIFY(device.saveToDisk());
        const QString path = Helper::getDevicePath() + "/8000000000001a2b.ktd";
        QCOMPARE(StorageFiles::read(path).toHex(), deviceRecord(0x8000000000001a2bull, "1122aabbcc", "ttyUSB0").toHex());

        KtDevice prototype;
        QSignalSpy loaded(&prototype, &KtDevice::loadedDeviceFromDisk);
        QVERIFY(prototype.loadFileFromDisk(path));
        QCOMPARE(loaded.count(), 1);
        std::unique_ptr<KtDevice> copy(loaded.at(0).at(0).value<KtDevice*>());
        QCOMPARE(copy->getSerial(), 0x8000000000001a2bull);
        QCOMPARE(copy->getBtAddressString(), QString("1122aabbcc"));
        QCOMPARE(copy->getUsbPort(), QString("ttyUSB0"));
        // Run-time state is never stored.
        QVERIFY(!copy->getOnline());
        QVERIFY(!copy->getUsbConnected());
        QVERIFY(!copy->getBtConnected());
        QCOMPARE(copy->getState(), QString("unknown"));
        QCOMPARE(copy->getFirmware(), quint16(0));
    }

    void aNewDeviceStartsWithPlaceholders()
    {
        KtDevice device(0x1a2b);
        QCOMPARE(device.getBtAddressString(), QString("-"));
        QCOMPARE(device.getBtAddressQuint64(), quint64(0));
        QCOMPARE(device.getUsbPort(), QString("-"));
        QCOMPARE(device.getDisplayName(), QString("1a2b"));
        QCOMPARE(device.fileEnding(), QString("ktd"));
        QCOMPARE(device.entityName(), QString("Device"));
        QCOMPARE(KtDevice().getSerial(), quint64(0));
    }

    void storedDevicesAnnounceTheirBluetoothAddress()
    {
        TemporaryStorage storage;
        const QString folder = Helper::getDevicePath();
        QVERIFY(StorageFiles::write(folder + "a1.ktd", deviceRecord(0xa1, "-", "ttyUSB0")));
        QVERIFY(StorageFiles::write(folder + "a2.ktd", deviceRecord(0xa2, "1122aabbcc", "-")));
        QVERIFY(StorageFiles::write(folder + "a3.ktd", deviceRecord(0xa3, "00:11:22:AA:BB:CD", "-")));
        QVERIFY(StorageFiles::write(folder + "a4.ktd", deviceRecord(0xa4, "not an address", "-")));
        QVERIFY(StorageFiles::write(folder + "bad.ktd", deviceRecord(0xa5, "-", "-").left(20)));
        QVERIFY(StorageFiles::write(folder + "empty.ktd", QByteArray()));
        QVERIFY(StorageFiles::write(folder + "note.txt", deviceRecord(0xa6, "-", "-")));
        const QDateTime base = QDateTime::currentDateTime().addDays(-1);
        for (int i = 1; i <= 4; ++i)
            QVERIFY(StorageFiles::setModified(folder + QString("a%1.ktd").arg(i), base.addSecs(i * 60)));

        DeviceManager manager;
        QSignalSpy total(&manager, &DeviceManager::numberOfDevicesTotalChanged);
        QSignalSpy added(&manager, &DeviceManager::deviceAdded);
        QList<QList<QVariant>> addresses;
        {
            KtDevice prototype(0);
            connect(&prototype, &KtDevice::loadedDeviceFromDisk, &manager, &DeviceManager::addDevice);
            QSignalSpy spy(&prototype, &KtDevice::foundKnownBluetoothAddress);
            LogCapture log;
            prototype.scanForFilesAndLoad();
            addresses = spy;
            QVERIFY(log.contains("Potential  \"Device\" :  \"bad\""));
            QVERIFY(log.contains("Potential  \"Device\" :  \"empty\""));
            QVERIFY(!log.contains("note"));
        }
        QCOMPARE(addresses.size(), 2);
        QCOMPARE(addresses.at(0).at(0).toULongLong(), 0x1122aabbccull);
        QCOMPARE(addresses.at(1).at(0).toULongLong(), 0x001122aabbcdull);
        QCOMPARE(manager.numberOfDevicesTotal(), 4);
        QCOMPARE(total.count(), 4);
        QCOMPARE(added.count(), 0);
        // Oldest file first, each put on top: the newest file is row 0.
        QCOMPARE(manager.getDeviceSerial(0), quint64(0xa4));
        QCOMPARE(manager.getDeviceSerial(3), quint64(0xa1));
        QCOMPARE(manager.getDeviceBySerial(0xa1)->parent(), &manager);
        QCOMPARE(manager.numberOfDevicesConnected(), 0);
    }

    void aSerialSeenForTheFirstTimeIsAddedOnce()
    {
        TemporaryStorage storage;
        DeviceManager manager;
        QSignalSpy added(&manager, &DeviceManager::deviceAdded);
        QSignalSpy connected(&manager, &DeviceManager::deviceConnected);
        QSignalSpy disconnected(&manager, &DeviceManager::deviceDisconnected);
        QSignalSpy total(&manager, &DeviceManager::numberOfDevicesTotalChanged);
        QSignalSpy online(&manager, &DeviceManager::numberOfDevicesConnectedChanged);

        // What the link manager does when a sensor answers with its serial.
        auto bind = [&manager](quint64 serial) {
            manager.addDeviceBySerial(serial);
            manager.setDeviceOnline(serial, true);
        };
        LogCapture log;
        bind(0x1a2b);
        QCOMPARE(added.count(), 1);
        QCOMPARE(added.at(0).at(0).toULongLong(), 0x1a2bull);
        QCOMPARE(connected.count(), 1);
        QCOMPARE(total.count(), 1);
        QCOMPARE(online.count(), 1);
        QVERIFY(log.contains("Added device with Serial:  6699"));
        const QString file = Helper::getDevicePath() + "/1a2b.ktd";
        QCOMPARE(StorageFiles::read(file), deviceRecord(0x1a2b, "-", "-"));
        QCOMPARE(manager.numberOfDevicesConnected(), 1);
        QCOMPARE(manager.getConnectedDeviceSerials(), QList<quint64> { 0x1a2b });

        // Connecting saves what changed.
        KtDevice* device = manager.getDeviceBySerial(0x1a2b);
        device->setUsbPort("ttyUSB3");
        device->setUsbConnected(true);
        QCOMPARE(StorageFiles::read(file), deviceRecord(0x1a2b, "-", "ttyUSB3"));

        // Online twice counts once.
        manager.setDeviceOnline(0x1a2b, true);
        QCOMPARE(connected.count(), 1);
        QCOMPARE(online.count(), 1);
        QCOMPARE(manager.numberOfDevicesConnected(), 1);

        manager.setDeviceOnline(0x1a2b, false);
        manager.setDeviceOnline(0x1a2b, false);
        QCOMPARE(disconnected.count(), 1);
        QCOMPARE(manager.numberOfDevicesConnected(), 0);
        QCOMPARE(manager.getConnectedDeviceSerials(), QList<quint64>());

        // The same sensor again: connected, not added.
        bind(0x1a2b);
        QCOMPARE(added.count(), 1);
        QCOMPARE(connected.count(), 2);
        QCOMPARE(total.count(), 1);
        QCOMPARE(manager.numberOfDevicesTotal(), 1);
        QCOMPARE(manager.numberOfDevicesConnected(), 1);
        QCOMPARE(QDir(Helper::getDevicePath()).entryList(QDir::Files), QStringList { "1a2b.ktd" });
    }

    void aStoredDeviceReconnectsWithoutBeingAdded()
    {
        TemporaryStorage storage;
        QVERIFY(StorageFiles::write(Helper::getDevicePath() + "/77.ktd", deviceRecord(0x77, "-", "ttyUSB0")));
        DeviceManager manager;
        loadStoredDevices(manager);
        QSignalSpy added(&manager, &DeviceManager::deviceAdded);
        QSignalSpy connected(&manager, &DeviceManager::deviceConnected);
        QVERIFY(!manager.addDeviceBySerial(0x77));
        manager.setDeviceOnline(0x77, true);
        QCOMPARE(added.count(), 0);
        QCOMPARE(connected.count(), 1);
        QVERIFY(manager.getDeviceBySerial(0x77)->getOnline());
    }

    void onlineDevicesAreListedNewestFirst()
    {
        TemporaryStorage storage;
        DeviceManager manager;
        for (quint64 serial : { 0x1, 0x2, 0x3, 0x4 })
            manager.addDeviceBySerial(serial);
        manager.setDeviceOnline(0x1, true);
        manager.setDeviceOnline(0x3, true);
        manager.setDeviceOnline(0x4, true);
        QCOMPARE(manager.getConnectedDeviceSerials(), (QList<quint64> { 0x4, 0x3, 0x1 }));
        QCOMPARE(manager.numberOfDevicesConnected(), 3);
        QCOMPARE(manager.property("numDevConnected").toInt(), 3);
        QCOMPARE(manager.property("numDevTotal").toInt(), 4);
    }

    void unknownSerialsAndRowsLogAndChangeNothing()
    {
        TemporaryStorage storage;
        DeviceManager manager;
        manager.addDeviceBySerial(0x5);
        QSignalSpy connected(&manager, &DeviceManager::deviceConnected);
        QSignalSpy online(&manager, &DeviceManager::numberOfDevicesConnectedChanged);
        LogCapture log;
        manager.setDeviceOnline(0x6, true);
        manager.updateDeviceState(0x6, 1);
        manager.updateDeviceFirmware(0x6, 3);
        QCOMPARE(manager.getDeviceByIndex(1), nullptr);
        QCOMPARE(manager.getDeviceByIndex(-1), nullptr);
        QCOMPARE(manager.getDeviceSerial(1), quint64(0));
        QCOMPARE(connected.count(), 0);
        QCOMPARE(online.count(), 0);
        QCOMPARE(manager.numberOfDevicesConnected(), 0);
        QCOMPARE(log.count(" DeviceManage was asked for non-existing device:  6"), 3);
        QVERIFY(log.contains(" DeviceManager was asked for non-existing device at index :  1"));
        QVERIFY(log.contains(" DeviceManager was asked for non-existing device at index :  -1"));
        QVERIFY(!log.contains("FirmwareRevision"));
        QCOMPARE(manager.getDeviceByIndex(0)->getState(), QString("unknown"));
    }

    void duplicateSerialsResolveToTheOldest()
    {
        DeviceManager manager;
        auto* older = new KtDevice(0x9);
        auto* newer = new KtDevice(0x9);
        QVERIFY(manager.addDevice(older));
        QVERIFY(manager.addDevice(newer));
        QVERIFY(!manager.addDevice(older));
        QVERIFY(!manager.addDevice(nullptr));
        QCOMPARE(manager.numberOfDevicesTotal(), 2);
        QCOMPARE(manager.getDeviceBySerial(0x9), older);
        QCOMPARE(manager.getDeviceByIndex(0), newer);
    }

    void stateAndFirmwareRefreshTheRow()
    {
        TemporaryStorage storage;
        DeviceManager manager;
        manager.addDeviceBySerial(0x5);
        DevicesModel* model = manager.getDevicesModel();
        QSignalSpy rowChanged(model, &QAbstractItemModel::dataChanged);
        const QString file = Helper::getDevicePath() + "/5.ktd";
        QVERIFY(QFile::remove(file));

        manager.updateDeviceState(0x5, 1);
        QCOMPARE(manager.getDeviceBySerial(0x5)->getState(), QString("recording"));
        manager.updateDeviceState(0x5, 2);
        QCOMPARE(manager.getDeviceBySerial(0x5)->getState(), QString("recording"));
        manager.updateDeviceState(0x5, 0);
        QCOMPARE(manager.getDeviceBySerial(0x5)->getState(), QString("idle"));
        QCOMPARE(rowChanged.count(), 3);

        LogCapture log;
        manager.updateDeviceFirmware(0x5, 0x0102);
        QCOMPARE(rowChanged.count(), 4);
        QCOMPARE(log.lines(), (QStringList { "Got FirmwareRevision c:  258", "Got FirmwareRevision b:  258" }));
        QCOMPARE(model->data(model->index(0, 0), DevicesModel::FirmwareRole), QVariant(258));
        // Run-time state does not touch the record.
        QVERIFY(!QFile::exists(file));
    }

    void setterSignalsFollowChanges()
    {
        KtDevice device(0x5);
        QSignalSpy persistent(&device, &Storable::persistentChanged);
        QSignalSpy volatileSpy(&device, &Storable::volatileChanged);
        QSignalSpy up(&device, &KtDevice::connected);
        QSignalSpy down(&device, &KtDevice::disconnected);
        device.setBtAddress("-");
        device.setUsbPort("-");
        device.setSerial(0x5);
        device.setUsbConnected(false);
        device.setBtConnected(false);
        device.setOnline(false);
        QCOMPARE(persistent.count(), 0);
        device.setBtAddress("aa");
        device.setUsbPort("ttyUSB1");
        device.setUsbConnected(true);
        device.setBtConnected(true);
        device.setSerial(0x6);
        QCOMPARE(persistent.count(), 5);
        device.setOnline(true);
        device.setOnline(false);
        QCOMPARE(persistent.count(), 7);
        QCOMPARE(up.count(), 1);
        QCOMPARE(down.count(), 1);
        QCOMPARE(up.at(0).at(0).value<KtDevice*>(), &device);
        QCOMPARE(volatileSpy.count(), 0);
        device.setState(9);
        QCOMPARE(volatileSpy.count(), 1);
        QCOMPARE(device.getState(), QString("unknown"));
        QCOMPARE(device.getBtAddressQuint64(), quint64(0xaa));
    }

    void rolesShowTheDevice_data()
    {
        QTest::addColumn<int>("role");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QVariant>("fresh");
        QTest::addColumn<QVariant>("connected");
        QTest::newRow("bt address") << 257 << QByteArray("BtAddress") << QVariant("-") << QVariant("1122aabbcc");
        QTest::newRow("usb port") << 258 << QByteArray("UsbPort") << QVariant("-") << QVariant("ttyUSB0");
        QTest::newRow("bt link") << 259 << QByteArray("BtConnected") << QVariant("disconnected") << QVariant("connected");
        QTest::newRow("usb link") << 260 << QByteArray("UsbConnected") << QVariant("disconnected")
                                  << QVariant("connected");
        QTest::newRow("state") << 261 << QByteArray("TopState") << QVariant("unknown") << QVariant("idle");
        QTest::newRow("name") << 262 << QByteArray("Name") << QVariant("ff01") << QVariant("ff01");
        QTest::newRow("online") << 263 << QByteArray("Online") << QVariant("Offline") << QVariant("Online");
        QTest::newRow("firmware") << 264 << QByteArray("Firmware") << QVariant(0) << QVariant(0x105);
        // The scene decides with these, not with the texts above.
        QTest::newRow("is online") << 265 << QByteArray("IsOnline") << QVariant(false) << QVariant(true);
        QTest::newRow("has usb") << 266 << QByteArray("HasUsb") << QVariant(false) << QVariant(true);
        QTest::newRow("has bluetooth") << 267 << QByteArray("HasBluetooth") << QVariant(false) << QVariant(true);
        QTest::newRow("display") << int(Qt::DisplayRole) << QByteArray() << QVariant() << QVariant();
        QTest::newRow("past the roles") << 268 << QByteArray() << QVariant() << QVariant();
    }

    void rolesShowTheDevice()
    {
        QFETCH(int, role);
        QFETCH(QByteArray, name);
        QFETCH(QVariant, fresh);
        QFETCH(QVariant, connected);
        DevicesModel model;
        model.setUpdateFileOnChange(false);
        KtDevice device(0xff01);
        model.prependItem(&device);
        QCOMPARE(model.data(model.index(0, 0), role), fresh);
        device.setBtAddress("1122aabbcc");
        device.setUsbPort("ttyUSB0");
        device.setBtConnected(true);
        device.setUsbConnected(true);
        device.setState(0);
        device.setOnline(true);
        device.setFirmware(0x105);
        QCOMPARE(model.data(model.index(0, 0), role), connected);
        QCOMPARE(model.data(model.index(1, 0), role), QVariant());
        QCOMPARE(model.roleNames().value(role), name);
        QCOMPARE(model.columnCount(), 11);
        // By name, as the scene reads it.
        if (!name.isEmpty())
            QCOMPARE(model.valueAt(0, QString::fromLatin1(name)), connected);
        QCOMPARE(model.valueAt(0, "NoSuchRole"), QVariant());
        QCOMPARE(model.valueAt(1, "Name"), QVariant());
    }

    void eachListedDeviceHasItsListOfSensorMeasurements()
    {
        TemporaryStorage storage;
        MeasurementController measurements;
        DeviceManager manager;
        DevicesModel* model = manager.getDevicesModel();
        model->setMesurementController(&measurements);

        LogCapture log;
        manager.addDeviceBySerial(0xab);
        QVERIFY(log.contains("Created Measurements Model for device:  ab"));
        log.clear();
        QObject* list = model->getMeasurementsOnDeviceModel("AB");
        QCOMPARE(list, measurements.getMeasurementsOnDeviceModel(0xab));
        QCOMPARE(log.lines().first(), QString(" getMeasurementsOnDeviceModel for dev serial:  \"AB\""));
        QVERIFY(!log.contains("Created Measurements Model"));
        // The whole 64-bit range is reachable.
        QCOMPARE(model->getMeasurementsOnDeviceModel("ffffffffffffffff"),
                 measurements.getMeasurementsOnDeviceModel(0xffffffffffffffffull));

        log.clear();
        QCOMPARE(model->getMeasurementsOnDeviceModel("zz"), nullptr);
        QCOMPARE(model->getMeasurementsOnDeviceModel(""), nullptr);
        QCOMPARE(log.count(" MeasurementsModel requested for invalid device serial!!! "), 2);

        // The device's own list is empty and stays its own.
        KtDevice* device = manager.getDeviceBySerial(0xab);
        QObject* empty = device->getMeasurementsOnDeviceModel();
        QVERIFY(empty != nullptr);
        QCOMPARE(empty, device->getMeasurementsOnDeviceModel());
        QCOMPARE(empty->parent(), device);
        QCOMPARE(qobject_cast<MeasurementsModel*>(empty)->rowCount(), 0);
    }

    void removingARowErasesTheDeviceRecord()
    {
        TemporaryStorage storage;
        DeviceManager manager;
        manager.addDeviceBySerial(0x1);
        manager.addDeviceBySerial(0x2);
        QVERIFY(manager.getDevicesModel()->removeRows(1, 1));
        QVERIFY(!QFile::exists(Helper::getDevicePath() + "/1.ktd"));
        QVERIFY(QFile::exists(Helper::getDevicePath() + "/2.ktd"));
        QCOMPARE(manager.numberOfDevicesTotal(), 1);
    }

    void framesAndBufferRequestsGoToTheLinkManager()
    {
        TemporaryStorage storage;
        DeviceManager manager;
        // Without a link manager nothing is sent and nothing breaks.
        manager.writeToDevice(0x5, "frame");
        manager.clearDeviceDataBuffers(0x5);
        QCOMPARE(manager.numberOfConnectedIntefaces(), 0);

        auto links = std::make_unique<OneLinkManager>(0x5);
        manager.setInterfaceManager(links.get());
        manager.writeToDevice(0x5, "<msg>1frame</msg>\r\n");
        manager.writeToDevice(0x6, "lost");
        QCOMPARE(links->link->written, QList<QByteArray> { "<msg>1frame</msg>\r\n" });
        QCOMPARE(manager.numberOfConnectedIntefaces(), 1);
        links->interfaceDataBuffer("ttyUSB0")->append("pending bytes");
        manager.clearDeviceDataBuffers(0x5);
        QVERIFY(links->interfaceDataBuffer("ttyUSB0")->isEmpty());

        // A link manager that goes away is forgotten.
        links.reset();
        manager.writeToDevice(0x5, "frame");
        QCOMPARE(manager.numberOfConnectedIntefaces(), 0);
    }
};

QTEST_GUILESS_MAIN(TestDevices)
#include "tst_devices.moc"
