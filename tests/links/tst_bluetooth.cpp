#include "Application/Helper.h"
#include "Links/BTinterface.h"
#include "Links/Blueman.h"
#include "Links/InterfaceManagerPC.h"

#include "LogCapture.h"

#include <QBluetoothDeviceInfo>
#include <QBluetoothUuid>
#include <QLoggingCategory>
#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

const quint64 kSensorAddress = 0x001122AABBCCull;
const QString kSensorColonText = QStringLiteral("00:11:22:AA:BB:CC");
const QString kSensorIdentifier = QStringLiteral("1122aabbcc");

// Reaches the socket bookkeeping that is otherwise driven by the signals of
// connected sockets, which a machine without an adapter never produces.
class TestableBlueman : public Blueman
{
public:
    using Blueman::handleSocketState;
    using Blueman::registerConnectedSocket;
};

QBluetoothServiceInfo service(const QString& deviceName, const QString& serviceName,
                              quint64 address = kSensorAddress)
{
    QBluetoothServiceInfo info;
    info.setDevice(QBluetoothDeviceInfo(QBluetoothAddress(address), deviceName, 0));
    if (!serviceName.isNull())
        info.setServiceName(serviceName);
    return info;
}

void discover(Blueman& blueman, const QBluetoothServiceInfo& info)
{
    QVERIFY(QMetaObject::invokeMethod(&blueman, "serviceDiscovered", Qt::DirectConnection,
                                      Q_ARG(QBluetoothServiceInfo, info)));
}

void socketClosed(Blueman& blueman, const QBluetoothAddress& address)
{
    QVERIFY(QMetaObject::invokeMethod(&blueman, "btInterfaceDisConnected", Qt::DirectConnection,
                                      Q_ARG(QBluetoothAddress, address)));
}

void runDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

int socketCount(const Blueman& blueman)
{
    return blueman.findChildren<QBluetoothSocket*>().size();
}

} // namespace

class TestBluetooth : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        // Sockets made here never reach a Bluetooth stack; the platform
        // library's complaints about that are not what is tested.
        QLoggingCategory::setFilterRules(QStringLiteral("qt.bluetooth*=false"));
    }

    void sensorServicesAreRecognisedByTheirNames_data()
    {
        QTest::addColumn<QString>("deviceName");
        QTest::addColumn<QString>("serviceName");
        QTest::addColumn<bool>("foundKT");
        QTest::addColumn<bool>("foundSPP");
        QTest::newRow("sensor, SPP") << "KINEtrak 1A2B" << "SPP Dev" << true << true;
        QTest::newRow("sensor, spelled-out profile") << "KINEtrak" << "Serial Port Profile" << true << true;
        QTest::newRow("maker's name") << "Korvexte-7" << "SPP" << true << true;
        QTest::newRow("product text inside") << "My KINEtrak left" << "x SPP x" << true << true;
        QTest::newRow("foreign device") << "Headset" << "SPP" << false << true;
        QTest::newRow("product text in lower case") << "kinetrak" << "SPP" << false << true;
        QTest::newRow("sensor, other service") << "KINEtrak" << "Audio Sink" << true << false;
        QTest::newRow("profile in lower case") << "KINEtrak" << "serial port profile" << true << false;
        QTest::newRow("sensor, no service name") << "KINEtrak" << QString() << true << false;
        QTest::newRow("nameless") << "" << "" << false << false;
    }

    void sensorServicesAreRecognisedByTheirNames()
    {
        QFETCH(QString, deviceName);
        QFETCH(QString, serviceName);
        QFETCH(bool, foundKT);
        QFETCH(bool, foundSPP);
        const Blueman::ServiceMatch match = Blueman::classifyService(service(deviceName, serviceName));
        QCOMPARE(match.foundKT, foundKT);
        QCOMPARE(match.foundSPP, foundSPP);
        QCOMPARE(match.isSensorPort(), foundKT && foundSPP);
    }

    void foreignDeviceOfferingSerialPortIsLoggedAndLeftAlone()
    {
        Blueman blueman;
        LogCapture log;
        discover(blueman, service(QStringLiteral("Headset"), QStringLiteral("SPP")));
        QCOMPARE(log.count(QStringLiteral(" service discovered, device name:  \"Headset\"")), 1);
        QCOMPARE(log.count(QStringLiteral(" foundKT:  false")), 1);
        QCOMPARE(log.count(QStringLiteral(" foundSPP:  true")), 1);
        QVERIFY(!log.contains(QStringLiteral(" Found Bluetooth KINEtrak: ")));
        QVERIFY(!log.contains(QStringLiteral(" Tried to connect: ")));
        QCOMPARE(socketCount(blueman), 0);
    }

    void sensorServiceIsLoggedWithEveryAttribute()
    {
        Blueman blueman;
        QBluetoothServiceInfo info = service(QStringLiteral("KINEtrak 9"), QStringLiteral("Serial Port Profile"));
        info.setAttribute(QBluetoothServiceInfo::ServiceDescription, QStringLiteral("sensor port"));
        LogCapture log;
        discover(blueman, info);
        QCOMPARE(log.count(QStringLiteral(" foundKT:  true")), 1);
        QCOMPARE(log.count(QStringLiteral(" Found Bluetooth KINEtrak:  \"KINEtrak 9\"")), 1);
        QCOMPARE(log.count(QStringLiteral(" ServiceInfo has Attribute: ")), info.attributes().size());
        QVERIFY(info.attributes().size() >= 2);
        if (blueman.hasAdapter())
            QSKIP("with an adapter the sensor would really be called");
        // Without an adapter there is nothing to connect with.
        QCOMPARE(socketCount(blueman), 0);
    }

    void knownSensorIsReachedOnRfcommChannelOne()
    {
        const QBluetoothServiceInfo info = Blueman::knownDeviceServiceRecord(kSensorAddress);
        QCOMPARE(info.device().address().toUInt64(), kSensorAddress);
        QVERIFY(info.device().name().isEmpty());
        QCOMPARE(info.socketProtocol(), QBluetoothServiceInfo::RfcommProtocol);
        QCOMPARE(info.serverChannel(), 1);
        QCOMPARE(info.serviceClassUuids(), QList<QBluetoothUuid>{QBluetoothUuid(QBluetoothUuid::SerialPort)});
        QCOMPARE(info.attribute(QBluetoothServiceInfo::ServiceId).value<QBluetoothUuid>(),
                 QBluetoothUuid(QBluetoothUuid::SerialPort));
        QCOMPARE(info.attribute(QBluetoothServiceInfo::BrowseGroupList).value<QBluetoothUuid>(),
                 QBluetoothUuid(QBluetoothUuid::PublicBrowseGroup));
        // L2CAP first, then RFCOMM with its channel.
        const auto protocols =
            info.attribute(QBluetoothServiceInfo::ProtocolDescriptorList).value<QBluetoothServiceInfo::Sequence>();
        QCOMPARE(protocols.size(), 2);
        QCOMPARE(protocols.at(0).value<QBluetoothServiceInfo::Sequence>().value(0).value<QBluetoothUuid>(),
                 QBluetoothUuid(QBluetoothUuid::L2cap));
        QCOMPARE(protocols.at(1).value<QBluetoothServiceInfo::Sequence>().value(0).value<QBluetoothUuid>(),
                 QBluetoothUuid(QBluetoothUuid::Rfcomm));
        // The record describes a sensor, so discovery would accept it too
        // once a name is known; the hand-built one carries none.
        QVERIFY(!Blueman::classifyService(info).foundKT);
    }

    void addressTextsConvertBetweenTheirForms_data()
    {
        QTest::addColumn<QString>("colonText");
        QTest::addColumn<quint64>("address");
        QTest::addColumn<QString>("identifier");
        QTest::newRow("leading zero octet") << kSensorColonText << kSensorAddress << kSensorIdentifier;
        QTest::newRow("all ones") << "FF:FF:FF:FF:FF:FF" << quint64(0xFFFFFFFFFFFFull) << "ffffffffffff";
        QTest::newRow("small") << "00:00:00:00:01:0A" << quint64(0x10A) << "10a";
    }

    void addressTextsConvertBetweenTheirForms()
    {
        QFETCH(QString, colonText);
        QFETCH(quint64, address);
        QFETCH(QString, identifier);
        QCOMPARE(QBluetoothAddress(address).toString(), colonText);
        QCOMPARE(Helper::BtAddressStringToLong(colonText), address);
        BTinterface link(Helper::BtAddressStringToLong(colonText), nullptr);
        QCOMPARE(link.identifier(), identifier);
        // The identifier itself reads back as the same address.
        QCOMPARE(Helper::BtAddressStringToLong(identifier), address);
    }

    void connectedSocketIsAnnouncedInColonFormAndItsLossInHexadecimal()
    {
        TestableBlueman blueman;
        QSignalSpy announced(&blueman, &Blueman::newBTinterface);
        QSignalSpy lost(&blueman, &Blueman::btInterfaceHasDisconnected);
        QPointer<QBluetoothSocket> socket = new QBluetoothSocket(QBluetoothServiceInfo::RfcommProtocol, &blueman);

        blueman.registerConnectedSocket(socket, QBluetoothAddress(kSensorAddress));
        QCOMPARE(announced.count(), 1);
        QCOMPARE(announced.first().first().toString(), kSensorColonText);

        // The link manager names the link from the announced text.
        BTinterface link(Helper::BtAddressStringToLong(announced.first().first().toString()), &blueman);
        QCOMPARE(link.identifier(), kSensorIdentifier);
        {
            LogCapture log;
            QVERIFY(link.read().isEmpty());
            link.write(QByteArray("<msg>"));
            QVERIFY(!log.contains(QStringLiteral("non-existing device")));
        }

        // A closing socket may no longer know its peer; it is still found.
        blueman.handleSocketState(socket, QBluetoothAddress(), QBluetoothSocket::ConnectingState);
        QCOMPARE(lost.count(), 0);
        blueman.handleSocketState(socket, QBluetoothAddress(), QBluetoothSocket::ClosingState);
        QCOMPARE(lost.count(), 1);
        QCOMPARE(lost.first().first().toString(), kSensorIdentifier);
        blueman.handleSocketState(socket, QBluetoothAddress(), QBluetoothSocket::UnconnectedState);
        QCOMPARE(lost.count(), 1);

        runDeferredDeletes();
        QVERIFY(socket.isNull());
        LogCapture log;
        QVERIFY(link.read().isEmpty());
        QCOMPARE(log.count(QStringLiteral(" Blueman was asked to read from non-existing device:  73596058572")), 1);
    }

    void socketLossUnknownToTheMapIsStillReported()
    {
        Blueman blueman;
        QSignalSpy lost(&blueman, &Blueman::btInterfaceHasDisconnected);
        LogCapture log;
        socketClosed(blueman, QBluetoothAddress(kSensorColonText));
        QCOMPARE(log.count(QStringLiteral(" socket disconnected, but was not found in interfacesockets. ")), 1);
        QCOMPARE(lost.count(), 1);
        QCOMPARE(lost.first().first().toString(), kSensorIdentifier);
    }

    void attemptThatNeverConnectedIsDisposedWithoutReport_data()
    {
        QTest::addColumn<QBluetoothSocket::SocketState>("state");
        QTest::newRow("closing") << QBluetoothSocket::ClosingState;
        QTest::newRow("unconnected") << QBluetoothSocket::UnconnectedState;
    }

    void attemptThatNeverConnectedIsDisposedWithoutReport()
    {
        QFETCH(QBluetoothSocket::SocketState, state);
        TestableBlueman blueman;
        QSignalSpy lost(&blueman, &Blueman::btInterfaceHasDisconnected);
        QPointer<QBluetoothSocket> attempt = new QBluetoothSocket(QBluetoothServiceInfo::RfcommProtocol, &blueman);
        blueman.handleSocketState(attempt, QBluetoothAddress(kSensorAddress), state);
        QCOMPARE(lost.count(), 0);
        runDeferredDeletes();
        QVERIFY(attempt.isNull());
    }

    void secondConnectionToOneSensorReplacesTheFirst()
    {
        TestableBlueman blueman;
        QSignalSpy announced(&blueman, &Blueman::newBTinterface);
        QSignalSpy lost(&blueman, &Blueman::btInterfaceHasDisconnected);
        QPointer<QBluetoothSocket> first = new QBluetoothSocket(QBluetoothServiceInfo::RfcommProtocol, &blueman);
        QPointer<QBluetoothSocket> second = new QBluetoothSocket(QBluetoothServiceInfo::RfcommProtocol, &blueman);
        blueman.registerConnectedSocket(first, QBluetoothAddress(kSensorAddress));
        blueman.registerConnectedSocket(second, QBluetoothAddress(kSensorAddress));
        QCOMPARE(announced.count(), 2);
        runDeferredDeletes();
        QVERIFY(first.isNull());
        QVERIFY(!second.isNull());
        // The replaced socket's end does not take the live one with it.
        QCOMPARE(lost.count(), 0);
        blueman.handleSocketState(second, QBluetoothAddress(kSensorAddress), QBluetoothSocket::ClosingState);
        QCOMPARE(lost.count(), 1);
    }

    void readsAndWritesForUnknownAddressesAreLoggedAndDoNothing()
    {
        Blueman blueman;
        LogCapture log;
        char buffer[16] = {};
        QCOMPARE(blueman.readFromDeviceByAddress(kSensorAddress, buffer, int(sizeof buffer)), 0);
        blueman.writeToDeviceByAddress(kSensorAddress, "abc", 3);
        QVERIFY(!blueman.isDeviceConnectedByAddress(kSensorAddress));
        // The address in decimal.
        QCOMPARE(log.count(QStringLiteral(" Blueman was asked to read from non-existing device:  73596058572")), 1);
        QCOMPARE(log.count(QStringLiteral(" Blueman was asked to write to non-existing device:  73596058572")), 1);
    }

    void withoutAdapterBluetoothIsSilentAndInert()
    {
        LogCapture log;
        Blueman blueman;
        if (blueman.hasAdapter())
            QSKIP("this machine has a Bluetooth adapter");
        QSignalSpy status(&blueman, &Blueman::btScanStatusChanged);
        QSignalSpy announced(&blueman, &Blueman::newBTinterface);
        for (int i = 0; i < 3; ++i) {
            blueman.startScan();
            blueman.tryToConnectKnownDevice(kSensorAddress);
        }
        QCoreApplication::processEvents();
        QVERIFY(!blueman.scanRunning());
        QCOMPARE(status.count(), 0);
        QCOMPARE(announced.count(), 0);
        QCOMPARE(socketCount(blueman), 0);
        QCOMPARE(log.lines(), QStringList{QStringLiteral("Linux version of blueman")});
    }

    // The scene's scan button: without an adapter it says so at once; a
    // discovery counts the sensors it found that were not known, each once.
    void bluetoothScanTellsWhatItFound()
    {
        InterfaceManagerPC links;
        QSignalSpy finished(&links, &InterfaceManager::bluetoothScanFinished);
        if (!links.blueman()->hasAdapter()) {
            links.scanBluetoothInterfaces();
            QCOMPARE(finished.count(), 1);
            QCOMPARE(finished.takeFirst(), (QList<QVariant>{0, QStringLiteral("No Bluetooth adapter found.")}));
            QCOMPARE(links.property("bluetoothScanning").toBool(), false);
        }

        const quint64 known = 0x00AABBCC0001ull;
        const quint64 other = 0x00AABBCC0002ull;
        links.addKnownBtAddress(known);
        QSignalSpy scanning(&links, &InterfaceManager::bluetoothScanningChanged);
        for (int scan = 0; scan < 2; ++scan) {
            discover(*links.blueman(), service(QStringLiteral("KINEtrak 12"), QStringLiteral("SPP")));
            discover(*links.blueman(), service(QStringLiteral("KINEtrak 12"), QStringLiteral("Serial Port Profile")));
            discover(*links.blueman(), service(QStringLiteral("KINEtrak 3"), QStringLiteral("SPP"), known));
            discover(*links.blueman(), service(QStringLiteral("Headset"), QStringLiteral("SPP"), other));
            QVERIFY(QMetaObject::invokeMethod(links.blueman(), "discoveryFinished", Qt::DirectConnection));
        }
        // The second scan finds the same sensor, which is known by then.
        QCOMPARE(finished.count(), 2);
        QCOMPARE(finished.at(0), (QList<QVariant>{1, QString()}));
        QCOMPARE(finished.at(1), (QList<QVariant>{0, QString()}));
        QCOMPARE(scanning.count(), 2);
        QCOMPARE(links.knownBluetoothAddresses(), (QSet<quint64>{known, kSensorAddress}));
        runDeferredDeletes();
    }

    void linkOutlivingItsBluemanIsHarmless()
    {
        auto blueman = std::make_unique<Blueman>();
        BTinterface link(kSensorAddress, blueman.get());
        QVERIFY(link.doConnect());
        QVERIFY(!link.isConnected());
        blueman.reset();
        QVERIFY(!link.isConnected());
        QVERIFY(link.read().isEmpty());
        link.write(QByteArray("lost"));
        QCOMPARE(link.identifier(), kSensorIdentifier);
    }
};

QTEST_GUILESS_MAIN(TestBluetooth)
#include "tst_bluetooth.moc"
