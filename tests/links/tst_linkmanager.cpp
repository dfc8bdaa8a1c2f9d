#include "Data/Store.h"
#include "Devices/DeviceManager.h"
#include "Devices/KtDevice.h"
#include "Links/InterfaceManagerPC.h"
#include "Protocol/GetSerial.h"

#include "LinkRig.h"
#include "LogCapture.h"
#include "ManualClock.h"
#include "PseudoTerminal.h"
#include "SimulatedLink.h"
#include "StorageFiles.h"
#include "TemporaryStorage.h"

#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

using sensorsim::ManualClock;

namespace {

using LinkManager = ManualLinkManager;
using Setup = LinkRig;

QByteArray frame(char number, const QByteArray& body)
{
    return QByteArray("<msg>") + number + body + QByteArray("</msg>\r\n");
}

QByteArray getSerial(quint8 number)
{
    return frame(char(number), "<GetSerial>");
}

// Sets an environment variable for the lifetime of the object.
class EnvironmentValue
{
public:
    EnvironmentValue(const char* name, const QString& value)
        : m_name(name)
        , m_previous(qgetenv(name))
        , m_hadPrevious(qEnvironmentVariableIsSet(name))
    {
        set(value);
    }
    ~EnvironmentValue()
    {
        if (m_hadPrevious)
            qputenv(m_name, m_previous);
        else
            qunsetenv(m_name);
    }
    void set(const QString& value) { qputenv(m_name, value.toLocal8Bit()); }

private:
    const char* m_name;
    QByteArray m_previous;
    bool m_hadPrevious;
};

void releaseDeferred()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class TestLinkManager : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { Store::drop(); }

    void aLinkIsOpenedAskedForItsSerialAndBound()
    {
        Setup setup;
        QSignalSpy added(&setup.devices, &DeviceManager::deviceAdded);
        QSignalSpy online(&setup.devices, &DeviceManager::deviceConnected);
        QSignalSpy windows(&setup.devices, &DeviceManager::receivedDataFromDevice);
        SimulatedLink* link = setup.add(0x4b560001, "ttyUSB0");
        QCOMPARE(setup.links.unconnectedIdentifiers(), QStringList { "ttyUSB0" });
        QVERIFY(setup.links.isConnected("ttyUSB0"));
        QCOMPARE(link->parent(), &setup.links);

        setup.links.connectLinks();
        QCOMPARE(setup.links.connectedIdentifiers(), QStringList { "ttyUSB0" });
        QVERIFY(setup.links.unconnectedIdentifiers().isEmpty());
        GetSerial* request = setup.links.request("ttyUSB0");
        QVERIFY(request);
        QCOMPARE(link->written(), getSerial(request->getMessageNumber()));
        QCOMPARE(setup.links.serialForInterface("ttyUSB0"), quint64(0));
        QCOMPARE(setup.links.tableFault(), QString());

        // The answer binds the link; that very window still goes out unbound.
        windows.clear();
        setup.links.poll();
        QCOMPARE(setup.links.serialForInterface("ttyUSB0"), quint64(0x4b560001));
        QCOMPARE(setup.links.interfacesForSerial(0x4b560001), QStringList { "ttyUSB0" });
        QCOMPARE(setup.links.pendingSerialRequestCount("ttyUSB0"), 0);
        QCOMPARE(setup.links.tableFault(), QString());
        QCOMPARE(windows.size(), 1);
        QCOMPARE(windows.at(0).at(0).toULongLong(), quint64(0));
        QVERIFY(windows.at(0).at(1).toByteArray().contains("<SndSerial>"));

        QCOMPARE(added.size(), 1);
        QCOMPARE(online.size(), 1);
        KtDevice* device = setup.devices.getDeviceBySerial(0x4b560001);
        QVERIFY(device);
        QVERIFY(device->getOnline());
        QVERIFY(device->getUsbConnected());
        QVERIFY(!device->getBtConnected());
        QCOMPARE(device->getUsbPort(), QString("ttyUSB0"));
        QVERIFY(QFile::exists(setup.storage.path() + "/Devices/4b560001.ktd"));

        // Later windows carry the serial; frames for the sensor take its link.
        setup.links.poll();
        QCOMPARE(windows.last().at(0).toULongLong(), quint64(0x4b560001));
        setup.devices.writeToDevice(0x4b560001, frame('7', "<GetTopState>"));
        QVERIFY(link->written().endsWith(frame('7', "<GetTopState>")));
        QVERIFY(windows.last().at(1).toByteArray().endsWith(frame('7', QByteArray("<SndTopState>") + char(0))));

        // Traffic is logged per link, each chunk followed by "||||".
        const QByteArray in = *setup.links.interfaceDataBuffer("ttyUSB0");
        Store::drop();
        QCOMPARE(StorageFiles::read(Store::commLogPath("CommLogOut ", "ttyUSB0")),
                 getSerial(request->getMessageNumber()) + "||||" + frame('7', "<GetTopState>") + "||||");
        const QByteArray inLog = StorageFiles::read(Store::commLogPath("CommLogIn ", "ttyUSB0"));
        QCOMPARE(inLog.count("||||"), 2);
        QCOMPARE(QByteArray(inLog).replace("||||", ""), in);
    }

    void aSensorOnTwoLinksIsReachedOverBluetoothUntilBothAreGone()
    {
        Setup setup;
        QSignalSpy online(&setup.devices, &DeviceManager::deviceConnected);
        QSignalSpy offline(&setup.devices, &DeviceManager::deviceDisconnected);
        QPointer<SimulatedLink> usb = setup.add(0x77, "ttyUSB0", "usb", 3);
        QPointer<SimulatedLink> bt = setup.add(0x77, "1122aabbcc", "bluetooth", 2);
        setup.links.connectLinks();
        setup.links.poll();
        QCOMPARE(setup.links.interfacesForSerial(0x77), (QStringList { "1122aabbcc", "ttyUSB0" }));
        QCOMPARE(online.size(), 1);
        QCOMPARE(setup.devices.numberOfDevicesConnected(), 1);
        KtDevice* device = setup.devices.getDeviceBySerial(0x77);
        QVERIFY(device->getUsbConnected() && device->getBtConnected());
        QCOMPARE(device->getBtAddressString(), QString("1122aabbcc"));

        const int usbBefore = usb->written().size();
        setup.devices.writeToDevice(0x77, frame('5', "<GetFirmware>"));
        QVERIFY(bt->written().endsWith(frame('5', "<GetFirmware>")));
        QCOMPARE(usb->written().size(), usbBefore);

        // Losing USB leaves the device online over Bluetooth.
        usb->unplug();
        QCOMPARE(setup.links.connectedIdentifiers(), QStringList { "1122aabbcc" });
        QCOMPARE(setup.links.interfacesForSerial(0x77), QStringList { "1122aabbcc" });
        QCOMPARE(setup.links.tableFault(), QString());
        QVERIFY(device->getOnline());
        QVERIFY(!device->getUsbConnected());
        QVERIFY(device->getBtConnected());
        QCOMPARE(offline.size(), 0);
        releaseDeferred();
        QVERIFY(usb.isNull());

        // Losing Bluetooth too takes it offline; its frames go nowhere.
        bt->unplug();
        QVERIFY(setup.links.connectedIdentifiers().isEmpty());
        QCOMPARE(setup.links.tableFault(), QString());
        QVERIFY(!device->getOnline());
        QVERIFY(!device->getBtConnected());
        QCOMPARE(offline.size(), 1);
        QCOMPARE(setup.devices.numberOfDevicesConnected(), 0);
        releaseDeferred();
        QVERIFY(bt.isNull());
        LogCapture log;
        setup.devices.writeToDevice(0x77, frame('6', "<GetFirmware>"));
        QCOMPARE(log.lines(), QStringList());
    }

    void theReceiveBufferKeepsTheNewest4096BytesPerLink()
    {
        Setup setup;
        QSignalSpy windows(&setup.devices, &DeviceManager::receivedDataFromDevice);
        SimulatedLink* busy = setup.add(0x1, "ttyUSB0");
        SimulatedLink* quiet = setup.add(0x2, "ttyUSB1");
        busy->sensor()->faults().dropTokens["<GetSerial>"] = -1;
        quiet->sensor()->faults().dropTokens["<GetSerial>"] = -1;
        busy->setMaxReadBytes(1024);
        setup.links.connectLinks();

        QByteArray stream;
        for (int i = 0; i < 5000; ++i)
            stream.append(char(i * 7 + i / 256));
        busy->injectIncoming(stream);
        quiet->injectIncoming("short");
        for (int i = 0; i < 6; ++i)
            setup.links.poll();
        QCOMPARE(*setup.links.interfaceDataBuffer("ttyUSB0"), stream.right(4096));
        QCOMPARE(setup.links.interfaceBufferOffset("ttyUSB0"), quint64(904));
        QCOMPARE(*setup.links.interfaceDataBuffer("ttyUSB1"), QByteArray("short"));
        QCOMPARE(setup.links.interfaceBufferOffset("ttyUSB1"), quint64(0));
        const QList<QVariant> last = windows.at(windows.size() - 2); // ttyUSB0 comes first in each poll
        QCOMPARE(last.at(1).toByteArray(), stream.right(4096));
        QCOMPARE(last.at(2).toULongLong(), quint64(904));

        // Five reads of at most 1024 bytes, each logged with its separator.
        Store::drop();
        const QByteArray inLog = StorageFiles::read(Store::commLogPath("CommLogIn ", "ttyUSB0"));
        QCOMPARE(inLog.size(), 5000 + 5 * 4);
        QCOMPARE(inLog.mid(1024, 4), QByteArray("||||"));
    }

    void pollingSpeedsUpWithDataAndSlowsDownAfter100IdlePolls()
    {
        Setup setup;
        SimulatedLink* link = setup.add(0x3, "ttyUSB0");
        setup.links.connectLinks();
        setup.links.poll(); // the serial answer
        QCOMPARE(setup.links.pollInterval(), 1);

        for (int i = 0; i < 100; ++i)
            setup.links.poll();
        QCOMPARE(setup.links.pollInterval(), 1);
        {
            LogCapture log;
            setup.links.poll();
            QCOMPARE(setup.links.pollInterval(), 100);
            QCOMPARE(log.count(" Slow comm polling"), 1);
        }

        link->injectIncoming("x");
        LogCapture log;
        setup.links.poll();
        QCOMPARE(setup.links.pollInterval(), 1);
        QCOMPARE(log.count(" Fast comm polling"), 1);
        for (int i = 0; i < 100; ++i)
            setup.links.poll();
        QCOMPARE(setup.links.pollInterval(), 1);
    }

    void aPortThatCannotOpenIsTriedAgainOnEachTick()
    {
        Setup setup;
        SimulatedLink* link = setup.add(0x4, "ttyUSB0");
        link->setConnectable(false);
        LogCapture log;
        setup.links.connectLinks();
        setup.links.connectLinks();
        QCOMPARE(log.count(" interface  \"ttyUSB0\"  should connect. did it?  false"), 2);
        QCOMPARE(setup.links.unconnectedIdentifiers(), QStringList { "ttyUSB0" });
        QVERIFY(setup.links.connectedIdentifiers().isEmpty());
        QCOMPARE(setup.links.pendingSerialRequestCount("ttyUSB0"), 0);
        QVERIFY(link->written().isEmpty());
        QCOMPARE(setup.links.tableFault(), QString());

        link->setConnectable(true);
        setup.links.connectLinks();
        setup.links.poll();
        QCOMPARE(setup.links.serialForInterface("ttyUSB0"), quint64(0x4));
        QCOMPARE(setup.links.tableFault(), QString());
    }

    void aSilentLinkIsAskedTwentyTimesAndStaysOpenUnbound()
    {
        Setup setup;
        SimulatedLink* link = setup.add(0x5, "ttyUSB0");
        link->sensor()->faults().dropTokens["<GetSerial>"] = -1;
        setup.links.connectLinks();
        GetSerial* request = setup.links.request("ttyUSB0");
        QVERIFY(request);

        setup.links.poll();
        QCOMPARE(link->sensor()->requestLog().size(), 1); // nothing is resent before a time-out
        for (int timeout = 1; timeout < 20; ++timeout) {
            request->timedOut();
            setup.links.poll();
            QCOMPARE(link->sensor()->requestLog().size(), timeout + 1);
        }
        request->timedOut(); // the twentieth: no more tries
        setup.links.poll();
        setup.links.poll();
        QCOMPARE(link->sensor()->requestLog().size(), 20);
        QCOMPARE(setup.links.connectedIdentifiers(), QStringList { "ttyUSB0" });
        QCOMPARE(setup.links.serialForInterface("ttyUSB0"), quint64(0));
        QCOMPARE(setup.devices.numberOfDevicesTotal(), 0);
        QCOMPARE(setup.links.tableFault(), QString());
    }

    void garbageNeverBindsButALaterAnswerDoes_data()
    {
        // "@" stands for the request's own number, "#" for another one.
        QTest::addColumn<QByteArray>("garbage");
        QTest::newRow("noise") << QByteArray::fromHex("00ff3c6d73673e003c2f6d73673e0d0a5a");
        QTest::newRow("another number") << frame('#', "<SndSerial>" + QByteArray(8, '\x11'));
        QTest::newRow("short serial") << frame('@', "<SndSerial>\x01\x02");
        QTest::newRow("long serial") << frame('@', "<SndSerial>" + QByteArray(9, '\x11'));
        QTest::newRow("refused") << frame('@', "<NOK>");
        QTest::newRow("frame end only") << QByteArray(3000, '<') + "</msg>\r\n";
    }

    void garbageNeverBindsButALaterAnswerDoes()
    {
        QFETCH(QByteArray, garbage);
        Setup setup;
        SimulatedLink* link = setup.add(0x6, "ttyUSB0");
        link->sensor()->faults().dropTokens["<GetSerial>"] = 1;
        setup.links.connectLinks();
        GetSerial* request = setup.links.request("ttyUSB0");
        QVERIFY(request);
        const char number = char(request->getMessageNumber());
        for (char& c : garbage) {
            if (c == '@')
                c = number;
            else if (c == '#')
                c = char(number + 1);
        }
        link->injectIncoming(garbage);
        setup.links.poll();
        setup.links.poll();
        QCOMPARE(setup.links.serialForInterface("ttyUSB0"), quint64(0));
        QCOMPARE(setup.devices.numberOfDevicesTotal(), 0);
        QCOMPARE(setup.links.tableFault(), QString());

        request->timedOut();
        setup.links.poll(); // resends
        setup.links.poll(); // the answer
        QCOMPARE(setup.links.serialForInterface("ttyUSB0"), quint64(0x6));
        QCOMPARE(setup.devices.numberOfDevicesTotal(), 1);
        QCOMPARE(setup.links.tableFault(), QString());
    }

    void aSensorClaimingSerialZeroStaysUnbound()
    {
        Setup setup;
        setup.add(0x0, "ttyUSB0");
        setup.links.connectLinks();
        setup.links.poll();
        QCOMPARE(setup.links.connectedIdentifiers(), QStringList { "ttyUSB0" });
        QCOMPARE(setup.links.pendingSerialRequestCount("ttyUSB0"), 0);
        QVERIFY(setup.links.interfacesForSerial(0).isEmpty());
        QCOMPARE(setup.devices.numberOfDevicesTotal(), 0);
        QCOMPARE(setup.links.tableFault(), QString());
    }

    void aLinkLostBeforeItsSerialArrivedLeavesTheRegistryAlone()
    {
        Setup setup;
        QSignalSpy added(&setup.devices, &DeviceManager::deviceAdded);
        QSignalSpy changed(&setup.devices, &DeviceManager::numberOfDevicesConnectedChanged);
        QPointer<SimulatedLink> link = setup.add(0x7, "ttyUSB0");
        link->sensor()->faults().dropTokens["<GetSerial>"] = -1;
        setup.links.connectLinks();
        QCOMPARE(setup.links.pendingSerialRequestCount("ttyUSB0"), 1);
        QPointer<GetSerial> request = setup.links.request("ttyUSB0");

        link->unplug();
        QVERIFY(setup.links.connectedIdentifiers().isEmpty());
        QCOMPARE(setup.links.pendingSerialRequestCount("ttyUSB0"), 0);
        QCOMPARE(setup.links.tableFault(), QString());
        releaseDeferred();
        QVERIFY(link.isNull());
        QVERIFY(request.isNull());
        QCOMPARE(added.size(), 0);
        QCOMPARE(changed.size(), 0);
        QCOMPARE(setup.devices.numberOfDevicesTotal(), 0);
        QVERIFY(!QDir(setup.storage.path() + "/Devices").exists());
    }

    void aBoundLinkThatDropsOutIsNoticedFromTheEventLoop()
    {
        Setup setup;
        QSignalSpy offline(&setup.devices, &DeviceManager::deviceDisconnected);
        QPointer<SimulatedLink> link = setup.add(0x8, "ttyUSB0");
        link->sensor()->faults().closeAfterFrames = 1; // gone right after its answer
        setup.links.connectLinks();
        setup.links.poll();
        QCOMPARE(setup.links.serialForInterface("ttyUSB0"), quint64(0x8));
        QTRY_COMPARE(offline.size(), 1);
        QVERIFY(setup.links.connectedIdentifiers().isEmpty());
        QCOMPARE(setup.links.tableFault(), QString());
        QTRY_VERIFY(link.isNull());
        QVERIFY(!setup.devices.getDeviceBySerial(0x8)->getUsbConnected());
    }

    void aNameIsFiledOnceAndALateLossCannotHitItsSuccessor()
    {
        Setup setup;
        QPointer<SimulatedLink> first = setup.add(0x9, "ttyUSB0");
        QPointer<SimulatedLink> replacement = setup.add(0x9, "ttyUSB0");
        releaseDeferred();
        QVERIFY(first.isNull());
        QCOMPARE(setup.links.unconnectedIdentifiers(), QStringList { "ttyUSB0" });
        setup.links.connectLinks();
        setup.links.poll();

        // Another object for a name that is open is turned away.
        QPointer<SimulatedLink> late = new SimulatedLink(0x9, "ttyUSB0");
        QVERIFY(!setup.links.addDiscoveredInterface(late));
        releaseDeferred();
        QVERIFY(late.isNull());
        QCOMPARE(setup.links.interfacesForSerial(0x9), QStringList { "ttyUSB0" });
        QCOMPARE(setup.links.tableFault(), QString());

        // The lost link's own report after it left the tables changes nothing
        // for a new link of that name.
        SimulatedLink* old = replacement.data();
        old->unplug();
        SimulatedLink* next = setup.add(0x9, "ttyUSB0");
        old->plugIn();
        QVERIFY(old->doConnect());
        old->unplug();
        QCOMPARE(setup.links.unconnectedIdentifiers(), QStringList { "ttyUSB0" });
        QVERIFY(setup.links.isConnected(next->identifier()));
        QCOMPARE(setup.links.tableFault(), QString());
    }

    void goingAwayClosesEveryLinkAndTakesItsDevicesOffline()
    {
        TemporaryStorage storage;
        DeviceManager devices;
        auto links = std::make_unique<LinkManager>();
        devices.setInterfaceManager(links.get());
        links->setDeviceManager(&devices);
        auto clock = std::make_shared<ManualClock>();
        QPointer<SimulatedLink> bound = new SimulatedLink(0xa, "ttyUSB0", "usb", 3, clock);
        QPointer<SimulatedLink> discovered = new SimulatedLink(0xb, "ttyUSB1", "usb", 3, clock);
        discovered->setConnectable(false);
        links->addDiscoveredInterface(bound);
        links->addDiscoveredInterface(discovered);
        links->connectLinks();
        links->poll();
        QVERIFY(devices.getDeviceBySerial(0xa)->getOnline());

        {
            LogCapture log;
            links.reset();
            QVERIFY(log.contains(" Interface manager destructor."));
        }
        QVERIFY(bound.isNull());
        QVERIFY(discovered.isNull());
        QVERIFY(!devices.getDeviceBySerial(0xa)->getOnline());
        QCOMPARE(devices.numberOfConnectedIntefaces(), 0);
    }

    void scanningFindsNamedPortsAndAfterStopScansOnlyWhenAsked()
    {
        TemporaryStorage storage;
        PseudoTerminal first;
        PseudoTerminal second;
        QVERIFY(first.isValid() && second.isValid());
        // The ports are named through links of our own, so that a terminal
        // number freed here and taken by another test is not ours any more.
        QTemporaryDir dir;
        const QString firstPath = dir.filePath("first");
        const QString secondPath = dir.filePath("second");
        QVERIFY(QFile::link(first.slavePath(), firstPath) && QFile::link(second.slavePath(), secondPath));
        EnvironmentValue ports("KORVEX_EXTRA_SERIAL_PORTS", firstPath + "::" + dir.filePath("missing"));

        InterfaceManagerPC links;
        QVERIFY(links.isPolling());
        QCOMPARE(links.pollInterval(), 100);
        QCOMPARE(links.scanInterval(), 1);
        QTRY_VERIFY(links.isConnected(firstPath)); // the first scan comes at once
        QCOMPARE(links.scanInterval(), 5000);
        QVERIFY(links.isScanning());
        // A named port without a device file is not taken up.
        QCOMPARE(links.unconnectedIdentifiers() + links.connectedIdentifiers(), QStringList { firstPath });

        links.stopScan();
        ports.set(firstPath + ":" + secondPath);
        QVERIFY(!links.isScanning());
        QVERIFY(!links.isConnected(secondPath));
        links.startScan();
        links.startScan();
        QVERIFY(!links.isScanning());
        QStringList all = links.unconnectedIdentifiers() + links.connectedIdentifiers();
        all.sort();
        QCOMPARE(all, (QStringList { firstPath, secondPath }));

        // The link of a port that goes away is dropped, and not found again.
        second.close();
        QFile::remove(secondPath);
        QTRY_VERIFY_WITH_TIMEOUT(!links.isConnected(secondPath), 10000);
        QVERIFY(links.isConnected(firstPath));
        links.startScan();
        QVERIFY(!links.isConnected(secondPath));
    }

    void bluetoothSocketsBecomeLinksNamedByTheirAddress()
    {
        TemporaryStorage storage;
        InterfaceManagerPC links;
        links.stopScan();
        QCOMPARE(links.property("btScanStatus").toString(), QString("Scan"));
        links.newBTinterface("00:11:22:AA:BB:CC");
        links.newBTinterface("00:11:22:AA:BB:CC");
        QCOMPARE(links.unconnectedIdentifiers(), QStringList { "1122aabbcc" });
        links.addKnownBtAddress(0x1122aabbcc);
        QVERIFY(links.knownBluetoothAddresses().contains(0x1122aabbcc));
        // Without an adapter there is no socket, so the link never opens;
        // the Bluetooth side's report of its loss removes it.
        QMetaObject::invokeMethod(&links, "tryConnectDevices");
        QVERIFY(links.connectedIdentifiers().isEmpty());
        links.InterfaceDisconnected("1122aabbcc");
        QVERIFY(!links.isConnected("1122aabbcc"));
    }
};

QTEST_GUILESS_MAIN(TestLinkManager)
#include "tst_linkmanager.moc"
