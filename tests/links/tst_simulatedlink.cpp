#include "SimulatedLink.h"

#include "ManualClock.h"
#include "WireBytes.h"

#include <QSignalSpy>
#include <QtTest>

using namespace sensorsim;
using WireBytes::frame;
using WireBytes::request;

class TestSimulatedLink : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void carriesRequestsAndReplies()
    {
        auto clock = std::make_shared<ManualClock>();
        SimulatedLink link(0xAB, QStringLiteral("/dev/simulated0"), QStringLiteral("usb"), 3, clock);
        QCOMPARE(link.identifier(), QStringLiteral("/dev/simulated0"));
        QCOMPARE(link.type(), QStringLiteral("usb"));
        QCOMPARE(link.Rank(), 3);
        QVERIFY(!link.isConnected());

        // Closed: nothing goes through.
        link.write(request('0', "<GetSerial>"));
        QVERIFY(link.read().isEmpty());
        QVERIFY(link.sensor()->requestLog().isEmpty());

        QVERIFY(link.doConnect());
        QVERIFY(link.isConnected());
        QVERIFY(link.read().isEmpty());
        link.write(request('1', "<GetSerial>"));
        QCOMPARE(link.read(), QByteArray("<msg>1<SndSerial>") + QByteArray::fromHex("00000000000000ab") + "</msg>\r\n");
        QVERIFY(link.read().isEmpty());
        QCOMPARE(link.written(), request('1', "<GetSerial>")); // nothing was written while closed
    }

    void bluetoothKindIsConfigurable()
    {
        SimulatedLink link(0xAB, QStringLiteral("1a2b3c4d5e6f"), QStringLiteral("bluetooth"), 2);
        QCOMPARE(link.type(), QStringLiteral("bluetooth"));
        QCOMPARE(link.Rank(), 2);
    }

    void aLinkReachesThePortOfItsKind_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<Port>("port");
        QTest::newRow("usb") << "usb" << Port::Cable;
        QTest::newRow("bluetooth") << "bluetooth" << Port::Bluetooth;
        QTest::newRow("any other kind") << "serial" << Port::Cable;
    }

    void aLinkReachesThePortOfItsKind()
    {
        QFETCH(QString, type);
        QFETCH(Port, port);
        SimulatedLink link(0xAB, QStringLiteral("sim-ab"), type, 3, std::make_shared<ManualClock>());
        QCOMPARE(link.port(), port);
        // A sensor of its own is reached over that port alone, so its faults
        // without a port are this link's.
        link.sensor()->faults().dropTokens.insert("<GetSerial>", 1);
        QVERIFY(link.doConnect());
        link.write(request('1', "<GetSerial>") + request('2', "<GetTopState>"));
        QCOMPARE(link.read(), frame('2', "<SndTopState>", WireBytes::bytes({0})));
        QCOMPARE(link.sensor()->requestLog().at(1).port, port);
    }

    void unpluggingReportsTheLossOnce()
    {
        SimulatedLink link(0x1, QStringLiteral("sim-a"));
        QSignalSpy lost(&link, &RemoteInterface::didDisconnect);
        QVERIFY(link.doConnect());
        link.unplug();
        link.unplug();
        QCOMPARE(lost.count(), 1);
        QCOMPARE(lost.at(0).at(0).toString(), QStringLiteral("sim-a"));
        QVERIFY(!link.isConnected());
        QVERIFY(!link.doConnect());

        link.plugIn();
        QVERIFY(link.doConnect());
        link.unplug();
        QCOMPARE(lost.count(), 2);
    }

    void aPortThatCannotOpenFailsToConnect()
    {
        SimulatedLink link(0x1, QStringLiteral("sim-b"));
        link.setConnectable(false);
        QVERIFY(!link.doConnect());
        QVERIFY(!link.isConnected());
    }

    void sensorClosingTheLinkIsReportedFromTheEventLoop()
    {
        auto clock = std::make_shared<ManualClock>();
        SimulatedLink link(0x2, QStringLiteral("sim-c"), QStringLiteral("usb"), 3, clock);
        link.sensor()->faults().closeAfterFrames = 1;
        QSignalSpy lost(&link, &RemoteInterface::didDisconnect);
        QVERIFY(link.doConnect());
        link.write(request('1', "<GetTopState>"));
        QCOMPARE(link.read(), QByteArray("<msg>1<SndTopState>") + char(0) + "</msg>\r\n");
        QVERIFY(!link.isConnected());
        QCOMPARE(lost.count(), 0);
        QTRY_COMPARE(lost.count(), 1);

        // A new connection reopens the sensor's side.
        QVERIFY(link.doConnect());
        link.write(request('2', "<GetTopState>"));
        QCOMPARE(link.read(), QByteArray("<msg>2<SndTopState>") + char(0) + "</msg>\r\n");
    }

    void sharedSensorOutlivesItsLink()
    {
        auto clock = std::make_shared<ManualClock>();
        auto sensor = QSharedPointer<SimulatedSensor>::create(0x3, clock);
        {
            SimulatedLink first(sensor, QStringLiteral("sim-d"));
            QVERIFY(first.doConnect());
            first.write(request('1', "<SetFeature>", QByteArray::fromHex("0f01")));
            first.read();
        }
        QVERIFY(sensor->featureOn(15));
        SimulatedLink second(sensor, QStringLiteral("sim-d"));
        QVERIFY(second.doConnect());
        second.write(request('2', "<GetTopState>"));
        QVERIFY(second.read().startsWith("<msg>2<SndTopState>"));
        QCOMPARE(sensor->requestLog().size(), 2);
    }

    void streamFlowsInRealTime()
    {
        SimulatedLink link(0x4, QStringLiteral("sim-e"));
        QVERIFY(link.doConnect());
        link.write(request('1', "<SetFeature>", QByteArray::fromHex("0401")));
        QByteArray received;
        QTRY_VERIFY(((received += link.read()), received.count(QByteArray::fromHex("aa55")) >= 5));
        QVERIFY(received.startsWith("<msg>1<OK></msg>\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestSimulatedLink)
#include "tst_simulatedlink.moc"
