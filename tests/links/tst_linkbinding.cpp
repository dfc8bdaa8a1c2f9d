#include "Application/NotificationHub.h"
#include "Application/StateController.h"
#include "Data/MeasurementController.h"
#include "Data/Store.h"
#include "Data/Track.h"
#include "Data/TrackList.h"
#include "Devices/KtDevice.h"
#include "Links/InterfaceManagerPC.h"
#include "Protocol/AppController.h"
#include "Protocol/GetSerial.h"
#include "Protocol/ParseLiveStream.h"

#include "LinkRig.h"
#include "LogCapture.h"
#include "WireBytes.h"

#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

namespace {

void releaseDeferred()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The number byte of the newest frame in the window that carries the token.
int newestNumberWith(const QByteArray& window, const QByteArray& token)
{
    const int at = window.lastIndexOf(token);
    const int start = at < 0 ? -1 : window.lastIndexOf("<msg>", at);
    return start < 0 ? -1 : quint8(window.at(start + 5));
}

// Makes the next message built for a known device carry `number` in its
// first frame: the constructor takes one number, the transmission the next.
void nextTransmissionCarries(quint8 number)
{
    Message::messageNumberGlobal = quint8(number - 1);
}

// A scheduler of the program's kind on top of a link rig.
struct SchedulerRig : LinkRig
{
    MeasurementController measurements;
    StateController state;
    AppController scheduler {nullptr, &devices, &measurements, &state};

    // Sends what is queued; a reply that comes at once arrives inside the write.
    void exchange()
    {
        scheduler.sendScheduledMessages();
        links.poll();
    }
};

// The desktop link manager with a port list of the test's choosing.
class FakePortLinkManager : public InterfaceManagerPC
{
public:
    QList<SerialPortEntry> ports;

    FakePortLinkManager()
    {
        stopScan();
        m_connectTimer.stop(); // nothing is opened
    }

protected:
    QList<SerialPortEntry> listSerialPorts() const override { return ports; }
};

} // namespace

class TestLinkBinding : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { Store::drop(); }

    void aLateAnswerToTheSerialProbeBinds_data()
    {
        QTest::addColumn<int>("delayMs");
        QTest::newRow("after one time-out") << 450;
        QTest::newRow("after the probe gave up") << 6500;
    }
    void aLateAnswerToTheSerialProbeBinds()
    {
        QFETCH(int, delayMs);
        LinkRig rig;
        SimulatedLink* link = rig.add(0x11, "ttyUSB0");
        link->sensor()->faults().replyDelayMs = delayMs;
        rig.links.connectLinks();
        GetSerial* request = rig.links.request("ttyUSB0");
        QVERIFY(request);

        // The time-outs come before any answer, each sending the probe again
        // under a new number; every answer is late for its transmission.
        int elapsed = 0;
        for (int timeout = 1; timeout <= 20 && elapsed + 300 < delayMs; ++timeout) {
            rig.clock->advanceMs(300);
            elapsed += 300;
            request->timedOut();
            rig.links.poll();
        }
        QCOMPARE(rig.links.serialForInterface("ttyUSB0"), quint64(0));
        QVERIFY(link->sensor()->requestLog().size() >= 2);

        rig.clock->advanceMs(delayMs - elapsed);
        rig.links.poll();
        QCOMPARE(rig.links.serialForInterface("ttyUSB0"), quint64(0x11));
        QCOMPARE(rig.links.pendingSerialRequestCount("ttyUSB0"), 0);
        QVERIFY(rig.devices.getDeviceBySerial(0x11)->getOnline());
        QCOMPARE(rig.links.tableFault(), QString());
    }

    void aLinkNobodyClaimedIsAskedAgainNowAndThen()
    {
        LinkRig rig;
        SimulatedLink* link = rig.add(0x12, "ttyUSB0");
        link->sensor()->faults().dropTokens["<GetSerial>"] = 20; // a sensor still booting
        rig.links.connectLinks();
        GetSerial* request = rig.links.request("ttyUSB0");
        for (int timeout = 0; timeout < 20; ++timeout) {
            request->timedOut();
            rig.links.poll();
        }
        QVERIFY(request->failed());
        QCOMPARE(link->sensor()->requestLog().size(), 20);

        for (int tick = 1; tick < InterfaceManager::kReprobeAfterTicks; ++tick)
            rig.links.connectLinks();
        QCOMPARE(link->sensor()->requestLog().size(), 20);
        rig.links.connectLinks();
        QCOMPARE(link->sensor()->requestLog().size(), 21);
        rig.links.poll();
        QCOMPARE(rig.links.serialForInterface("ttyUSB0"), quint64(0x12));
        QCOMPARE(rig.links.pendingRequestTotal(), 0);
        releaseDeferred();
        QCOMPARE(rig.links.findChildren<GetSerial*>().size(), 0);
    }

    void anAnswerLeftOnAReusedPortNameDoesNotBindTheNextSensor()
    {
        LinkRig rig;
        QPointer<SimulatedLink> first = rig.add(0xA1, "ttyUSB0");
        rig.links.connectLinks();
        rig.links.poll();
        QCOMPARE(rig.links.serialForInterface("ttyUSB0"), quint64(0xA1));
        const int oldNumber = newestNumberWith(*rig.links.interfaceDataBuffer("ttyUSB0"), "<SndSerial>");
        QVERIFY(oldNumber >= 0);
        first->unplug();
        releaseDeferred();

        // Another sensor on the same port, which does not answer the first
        // probe; the port's window still holds the first sensor's answer.
        SimulatedLink* second = rig.add(0xB2, "ttyUSB0");
        second->sensor()->faults().dropTokens["<GetSerial>"] = 1;
        Message::messageNumberGlobal = quint8(oldNumber); // the probe reuses the old number
        rig.links.connectLinks();
        rig.links.poll();
        QCOMPARE(rig.links.serialForInterface("ttyUSB0"), quint64(0));

        rig.links.request("ttyUSB0")->timedOut();
        rig.links.poll();
        rig.links.poll();
        QCOMPARE(rig.links.serialForInterface("ttyUSB0"), quint64(0xB2));
        QVERIFY(!rig.devices.getDeviceBySerial(0xA1)->getOnline());
    }

    void aReplyFromBeforeTheRequestNeverCompletesItAfterTheNumbersWrap()
    {
        SchedulerRig rig;
        SimulatedLink* link = rig.add(0xC3, "ttyUSB0");
        rig.links.connectLinks();
        rig.links.poll();
        rig.scheduler.requestDeviceState(0xC3);
        rig.exchange();
        QCOMPARE(rig.scheduler.numberOfActiveMessages(), 0);
        const int oldNumber = newestNumberWith(*rig.links.interfaceDataBuffer("ttyUSB0"), "<SndTopState>");
        QVERIFY(oldNumber >= 0);

        // The sensor falls silent; 256 numbers later a state query goes out
        // under the number of the reply still in the window.
        link->sensor()->faults().dropTokens["<GetTopState>"] = -1;
        nextTransmissionCarries(quint8(oldNumber));
        rig.scheduler.requestDeviceState(0xC3);
        rig.exchange();
        rig.links.poll();
        QCOMPARE(rig.scheduler.numberOfActiveMessages(), 1);
        Message* waiting = rig.scheduler.activeMessages(0xC3)->first();
        QCOMPARE(int(waiting->getMessageNumber()), oldNumber);
        QVERIFY(!waiting->done());

        // Its own answer still completes it.
        link->sensor()->faults().dropTokens.clear();
        waiting->timedOut();
        rig.exchange();
        QCOMPARE(rig.scheduler.numberOfActiveMessages(), 0);
    }

    // A serial port the system bound to Bluetooth is a Bluetooth link,
    // whatever kind of link object reads it: the sensor counts as connected
    // over Bluetooth through it, and stays online while either link is there.
    // A sensor on a cable and over Bluetooth answers each request on the
    // link it came in on. A frame on its other link with the request's
    // number (numbers wrap after 256 transmissions, and a cable busy with
    // pages may still deliver old ones) is not the answer, however late.
    void aFrameOnTheSensorsOtherLinkNeverAnswersARequest()
    {
        SchedulerRig rig;
        SimulatedLink* cable = rig.add(0xC4, "ttyUSB0");
        auto* bluetooth = new SimulatedLink(cable->sharedSensor(), "c4c4c4c4c4c4", "bluetooth", 2);
        rig.links.addDiscoveredInterface(bluetooth);
        rig.links.connectLinks();
        rig.links.poll();
        QCOMPARE(rig.links.interfacesForSerial(0xC4).size(), 2);
        // The cable carries much meanwhile: its positions run far ahead.
        cable->injectIncoming(QByteArray(6000, 'u'));
        rig.links.poll();
        cable->sensor()->faults(sensorsim::Port::Bluetooth).dropTokens["<GetTopState>"] = 1;

        rig.scheduler.requestDeviceState(0xC4);
        rig.exchange();
        QCOMPARE(rig.scheduler.numberOfActiveMessages(), 1);
        Message* waiting = rig.scheduler.activeMessages(0xC4)->first();
        QCOMPARE(waiting->getReplyLink(), QStringLiteral("c4c4c4c4c4c4"));
        cable->injectIncoming(WireBytes::frame(waiting->getMessageNumber(), "<SndTopState>", WireBytes::bytes({1})));
        rig.links.poll();
        QVERIFY(!waiting->done());
        QCOMPARE(rig.scheduler.numberOfActiveMessages(), 1);

        // Its own answer, on its own link, completes it.
        waiting->timedOut();
        rig.exchange();
        QCOMPARE(rig.scheduler.numberOfActiveMessages(), 0);
        QCOMPARE(cable->sensor()->requestLog().last().port, sensorsim::Port::Bluetooth);
    }

    void aSensorOnCableAndBluetoothPortCountsEachByItsTransport()
    {
        LinkRig rig;
        QSignalSpy offline(&rig.devices, &DeviceManager::deviceDisconnected);
        SimulatedLink* cable = rig.add(0x55, "ttyACM0");
        SimulatedLink* rfcomm = rig.add(0x55, "rfcomm0"); // a serial port the system bound to Bluetooth
        rig.links.connectLinks();
        rig.links.poll();
        QCOMPARE(rig.links.interfacesForSerial(0x55), (QStringList { "rfcomm0", "ttyACM0" }));
        KtDevice* device = rig.devices.getDeviceBySerial(0x55);
        QCOMPARE(std::make_pair(device->getUsbConnected(), device->getBtConnected()), std::make_pair(true, true));
        QCOMPARE(device->getUsbPort(), QStringLiteral("ttyACM0"));
        // Long transfers take the cable, everything else the best rank.
        QCOMPARE(rig.links.routeIdentifier(0x55, true), QStringLiteral("ttyACM0"));

        cable->unplug();
        QVERIFY(device->getOnline());
        QCOMPARE(std::make_pair(device->getUsbConnected(), device->getBtConnected()), std::make_pair(false, true));
        QCOMPARE(rig.links.routeIdentifier(0x55, true), QStringLiteral("rfcomm0"));
        rfcomm->unplug();
        QVERIFY(!device->getOnline());
        QCOMPARE(std::make_pair(device->getUsbConnected(), device->getBtConnected()), std::make_pair(false, false));
        QCOMPARE(rig.links.bufferCount(), 0); // the windows went with their links
        QCOMPARE(offline.size(), 1);
        QCOMPARE(rig.links.tableFault(), QString());
    }

    void aSecondSensorWithTheSameSerialIsReportedAndLeftUnbound()
    {
        LinkRig rig;
        QSignalSpy warnings(NotificationHub::instance(), &NotificationHub::warning);
        SimulatedLink* first = rig.add(0x77, "ttyUSB0");
        rig.add(0x77, "ttyUSB1");
        LogCapture log;
        rig.links.connectLinks();
        rig.links.poll();
        QCOMPARE(rig.links.interfacesForSerial(0x77), QStringList { "ttyUSB0" });
        QCOMPARE(rig.links.serialForInterface("ttyUSB1"), quint64(0));
        QCOMPARE(warnings.size(), 1);
        const QString text = warnings.first().first().toString();
        QVERIFY2(text.contains("77") && text.contains("ttyUSB0") && text.contains("ttyUSB1"), qPrintable(text));
        QCOMPARE(log.count(text), 1);

        // Asked again later, it is still turned away without a second report;
        // once the first sensor is gone, it takes over.
        for (int tick = 0; tick < InterfaceManager::kReprobeAfterTicks; ++tick)
            rig.links.connectLinks();
        rig.links.poll();
        QCOMPARE(rig.links.serialForInterface("ttyUSB1"), quint64(0));
        QCOMPARE(warnings.size(), 1);
        first->unplug();
        QVERIFY(!rig.devices.getDeviceBySerial(0x77)->getOnline());
        for (int tick = 0; tick < InterfaceManager::kReprobeAfterTicks; ++tick)
            rig.links.connectLinks();
        rig.links.poll();
        QCOMPARE(rig.links.serialForInterface("ttyUSB1"), quint64(0x77));
        QVERIFY(rig.devices.getDeviceBySerial(0x77)->getOnline());
        QCOMPARE(rig.links.tableFault(), QString());
    }

    void aSensorOnTwoLinksAnswersOverOneAndStreamsOverTheOther()
    {
        const quint64 serial = 0x88;
        SchedulerRig rig;
        SimulatedLink* usb = rig.add(serial, "ttyUSB0", "usb", 3);
        rig.links.connectLinks();
        rig.links.poll();
        rig.scheduler.requestDeviceState(serial);
        rig.exchange();
        const int usbReply = newestNumberWith(*rig.links.interfaceDataBuffer("ttyUSB0"), "<SndTopState>");
        QVERIFY(usbReply >= 0);

        // Bluetooth comes up and carries the requests from now on.
        SimulatedLink* bt = rig.add(serial, "1122aabbcc", "bluetooth", 2);
        rig.links.connectLinks();
        rig.links.poll();
        QCOMPARE(rig.links.interfacesForSerial(serial), (QStringList { "1122aabbcc", "ttyUSB0" }));

        TrackList list(nullptr, serial, 0x99);
        list.AddTrack(quint16(Track::AccX), 1, 2, 0);
        auto* parser = new ParseLiveStream(serial, 0x99);
        parser->DeviceTrackListChanged(serial, 0x99, &list);
        rig.scheduler.addListeningMessage(serial, parser);

        // A query whose number the old USB answer carries, to a Bluetooth
        // side that stays silent: the old answer must not complete it.
        bt->sensor()->faults().dropTokens["<GetTopState>"] = -1;
        nextTransmissionCarries(quint8(usbReply));
        rig.scheduler.requestDeviceState(serial);
        const int usbWritten = usb->written().size();

        // Meanwhile the stream runs over USB, in chunks of uneven size, while
        // Bluetooth delivers frames of its own.
        QByteArray stream;
        const int kSamples = 600;
        for (quint32 n = 0; n < kSamples; ++n)
            stream += WireBytes::packet(WireBytes::sampleGroup(0x0001, n, WireBytes::u16(quint16(n * 3))));
        for (int fed = 0, turn = 0; fed < stream.size(); ++turn) {
            const int chunk = qMin(700 + 37 * (turn % 5), stream.size() - fed);
            usb->injectIncoming(stream.mid(fed, chunk));
            fed += chunk;
            bt->injectIncoming(WireBytes::frame(quint8(turn), "<OK>"));
            rig.exchange();
        }

        QCOMPARE(usb->written().size(), usbWritten);
        QVERIFY(bt->written().contains("<GetTopState>"));
        QCOMPARE(rig.scheduler.numberOfActiveMessages(), 1);
        QVERIFY(!rig.scheduler.activeMessages(serial)->first()->done());
        const Track* track = list.getTrackById(Track::AccX);
        QCOMPARE(track->numberOfSamples(), kSamples);

        bt->sensor()->faults().dropTokens.clear();
        rig.scheduler.activeMessages(serial)->first()->timedOut();
        rig.exchange();
        QCOMPARE(rig.scheduler.numberOfActiveMessages(), 0);
    }

    void onlySensorPortsAreTakenUp_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("description");
        QTest::addColumn<bool>("taken");
        QTest::newRow("sensor adapter") << "ttyUSB0" << "KINEtrak Sensor" << true;
        QTest::newRow("older adapter") << "ttyACM3" << "Korvexte USB Serial" << true;
        QTest::newRow("bluetooth port") << "rfcomm2" << "" << true;
        QTest::newRow("product text in another case") << "ttyUSB1" << "kinetrak sensor" << false;
        QTest::newRow("neither text nor rfcomm") << "ttyS0" << "16550A UART" << false;
        QTest::newRow("no description") << "ttyUSB2" << "" << false;
    }
    void onlySensorPortsAreTakenUp()
    {
        QFETCH(QString, port);
        QFETCH(QString, description);
        QFETCH(bool, taken);
        TemporaryStorage storage;
        FakePortLinkManager links;
        links.ports = {{port, description}, {"ttyS9", "Some modem"}};
        links.scanUSB();
        QCOMPARE(links.unconnectedIdentifiers(), taken ? QStringList { port } : QStringList());
        // A port already known is not taken up twice.
        links.scanUSB();
        QCOMPARE(links.unconnectedIdentifiers().size(), taken ? 1 : 0);
        QVERIFY(links.connectedIdentifiers().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestLinkBinding)
#include "tst_linkbinding.moc"
