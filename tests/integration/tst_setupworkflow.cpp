#include "Application/NotificationHub.h"
#include "Application/StateController.h"
#include "Data/MeasurementController.h"
#include "Data/Store.h"
#include "Devices/DeviceManager.h"
#include "Devices/KtDevice.h"
#include "Links/InterfaceManagerPC.h"
#include "Protocol/Message.h"
#include "Workflows/SetupController.h"

#include "ManualClock.h"
#include "SimulatedLink.h"
#include "TemporaryStorage.h"
#include "WireBytes.h"
#include "WorkflowRig.h"

#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

using sensorsim::ManualClock;
using sensorsim::RequestRecord;
using sensorsim::SimulatedSensor;
using sensorsim::TrackEntry;

namespace {

const quint64 kA = 0x4b560001;
const quint64 kB = 0x4b560002;
const int kLimitMs = 20000; // generous: sanitizer builds on a loaded machine

using Rig = WorkflowRig;

// Token and payload of every request the sensor received.
QList<QByteArray> requests(const SimulatedSensor& sensor)
{
    QList<QByteArray> result;
    for (const RequestRecord& record : sensor.requestLog())
        result.append(record.token + record.payload);
    return result;
}

// The same without repeats of one request (retransmissions).
QList<QByteArray> distinctInOrder(const QList<QByteArray>& all)
{
    QList<QByteArray> result;
    for (const QByteArray& request : all) {
        if (result.isEmpty() || result.last() != request)
            result.append(request);
    }
    return result;
}

QByteArray feature(int number, bool on)
{
    return QByteArray("<SetFeature>") + WireBytes::bytes({number, on ? 1 : 0});
}

QByteArray addTrack(quint64 serial, quint16 id, quint16 dsf, quint8 config)
{
    return QByteArray("<AddTrack>") + WireBytes::u64(serial) + WireBytes::u16(id) + WireBytes::u16(dsf)
        + WireBytes::bytes({1, config});
}

} // namespace

class TestSetupWorkflow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { Store::drop(); }

    void newSensorIsAskedForItsStateThenItsFirmware()
    {
        Rig rig;
        auto* link = new SimulatedLink(kA, "simA", "usb", 3);
        link->sensor()->setFirmware(317);
        QSharedPointer<SimulatedSensor> sensor = link->sharedSensor();
        rig.links.addDiscoveredInterface(link);
        QMetaObject::invokeMethod(&rig.links, "tryConnectDevices");

        QTRY_VERIFY_WITH_TIMEOUT(rig.online(kA), kLimitMs);
        KtDevice* device = rig.devices.getDeviceBySerial(kA);
        QTRY_COMPARE_WITH_TIMEOUT(device->getFirmware(), quint16(317), kLimitMs);
        QCOMPARE(device->getState(), QString("idle"));
        QCOMPARE(sensor->requestTokens(), QList<QByteArray>({"<GetSerial>", "<GetTopState>", "<GetFirmware>"}));
        QTRY_VERIFY_WITH_TIMEOUT(!rig.setup.isSending(), kLimitMs);
        QCOMPARE(rig.state.numberOfMessages(), 0);
    }

    void twoSensorsAreSetUpInOrderAndTheSetupEndsOnce()
    {
        Rig rig;
        QSharedPointer<SimulatedSensor> a = rig.plug(kA);
        QSharedPointer<SimulatedSensor> b = rig.plug(kB);
        QTRY_VERIFY_WITH_TIMEOUT(rig.online(kA) && rig.online(kB), kLimitMs);
        QTRY_VERIFY_WITH_TIMEOUT(rig.settled(), kLimitMs);
        a->clearRequestLog();
        b->clearRequestLog();
        // Replies a little after the write, so that both sensors' last
        // requests are in flight together.
        a->faults().replyDelayMs = 3;
        b->faults().replyDelayMs = 3;

        QSignalSpy done(&rig.setup, &SetupController::setupDone);
        QSignalSpy failed(&rig.setup, &SetupController::setupFailed);
        QSignalSpy frequency(&rig.setup, &SetupController::baseFrequencyStored);
        QSignalSpy progress(NotificationHub::instance(), &NotificationHub::progressConfig);
        rig.setup.prepareForSetup();
        rig.setup.addRawAccelTracks(1);
        rig.setup.addRawGyroTrack(8, 1);
        rig.setup.setBaseFrequency(1000);
        rig.setup.setDeviceColor(0xFF8000);
        rig.setup.finishSetup();
        QCOMPARE(rig.state.numberOfMessages(), 30);

        QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, kLimitMs);
        QTest::qWait(100);
        QCOMPARE(done.count(), 1);
        QCOMPARE(failed.count(), 0);
        QCOMPARE(rig.state.numberOfMessages(), 0);
        // What is recorded from now on is timed at the frequency stored.
        QCOMPARE(frequency.count(), 1);
        QCOMPARE(frequency.at(0).at(0).value<quint16>(), quint16(1000));

        for (const auto& sensor : {a, b}) {
            const quint64 s = sensor->serial();
            const QList<QByteArray> expected {
                feature(15, true), feature(6, false), feature(5, false), feature(4, false), "<ResetTracks>",
                feature(2, false), addTrack(s, 0x110, 1, 4), addTrack(s, 0x111, 1, 4), addTrack(s, 0x112, 1, 4),
                addTrack(s, 0x121, 8, 4), "<SetBaseFreq>" + WireBytes::u16(1000), feature(15, true),
                "<SetDeviceColor>" + WireBytes::bytes({0, 0xFF, 0x80, 0}), feature(15, false), "<StoreSettings>"};
            QCOMPARE(requests(*sensor), expected);
            for (const RequestRecord& record : sensor->requestLog())
                QCOMPARE(int(record.outcome), int(RequestRecord::Answered));
            const QVector<TrackEntry> tracks {{0x110, 1, 1, 4}, {0x111, 1, 1, 4}, {0x112, 1, 1, 4}, {0x121, 8, 1, 4}};
            QCOMPARE(sensor->tracks(), tracks);
            QCOMPARE(sensor->baseFrequency(), quint16(1000));
            QCOMPARE(sensor->colour(), quint32(0xFF8000));
            QVERIFY(sensor->storedSettings() == sensor->settings());
            QVERIFY(!sensor->featureOn(15));
        }

        QVERIFY(progress.count() > 2);
        QCOMPARE(progress.first().at(0).toString(), QString("Setup in progress"));
        QCOMPARE(progress.first().at(1).toDouble(), 0.0);
        QCOMPARE(progress.last().at(0).toString(), QString("Setup Done"));
        QCOMPARE(progress.last().at(1).toDouble(), 1.0);
        double previous = 0.0;
        for (const QList<QVariant>& report : qAsConst(progress)) {
            QVERIFY(report.at(1).toDouble() >= previous);
            previous = report.at(1).toDouble();
        }
    }

    void failedCommandEndsTheSetupOnceOnAllSensors_data()
    {
        QTest::addColumn<bool>("refused");
        QTest::newRow("AddTrack always refused") << true;
        QTest::newRow("AddTrack never answered") << false;
    }
    void failedCommandEndsTheSetupOnceOnAllSensors()
    {
        QFETCH(bool, refused);
        Rig rig;
        QSharedPointer<SimulatedSensor> a = rig.plug(kA);
        QSharedPointer<SimulatedSensor> b = rig.plug(kB);
        QTRY_VERIFY_WITH_TIMEOUT(rig.online(kA) && rig.online(kB), kLimitMs);
        QTRY_VERIFY_WITH_TIMEOUT(rig.settled(), kLimitMs);
        if (refused)
            b->faults().nokTokens["<AddTrack>"] = -1;
        else
            b->faults().dropTokens["<AddTrack>"] = -1;

        QSignalSpy done(&rig.setup, &SetupController::setupDone);
        QSignalSpy failed(&rig.setup, &SetupController::setupFailed);
        rig.setup.prepareForSetup();
        rig.setup.addRawAccelTracks(1);
        rig.setup.finishSetup();

        // The reply timer's retries, driven by hand instead of 20 x 300 ms; a
        // refusal is retried like silence, and only giving up ends the setup.
        QTRY_VERIFY_WITH_TIMEOUT(rig.inFlight(kB) && rig.inFlight(kB)->getCommand() == "<AddTrack>", kLimitMs);
        QPointer<Message> addTrack = rig.inFlight(kB);
        while (failed.isEmpty() && !addTrack.isNull()) {
            const int sent = b->requestCount("<AddTrack>");
            addTrack->timedOut();
            QTRY_VERIFY_WITH_TIMEOUT(b->requestCount("<AddTrack>") > sent || !failed.isEmpty(), kLimitMs);
        }
        const int sent = b->requestCount("<AddTrack>");
        QVERIFY2(sent >= 2 && sent <= 20, QByteArray::number(sent));

        QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, kLimitMs);
        QVERIFY(rig.settled());
        QTest::qWait(400); // longer than a reply time-out: nothing is left to fail again
        QCOMPARE(failed.count(), 1);
        QCOMPARE(done.count(), 0);
        QVERIFY(rig.settled());
        QVERIFY(!rig.setup.isSending());
        QCOMPARE(rig.state.numberOfMessages(), 0);
        QCOMPARE(b->requestCount("<StoreSettings>"), 0);
        QCOMPARE(b->requestCount("<SetFeature>"), 5); // configuration mode off, the sixth, never went out
    }

    void devicesAreServedAtOnceOneRequestEachAndStaleRepliesAreIgnored()
    {
        Rig rig;
        auto clock = std::make_shared<ManualClock>();
        QSharedPointer<SimulatedSensor> a = rig.plug(kA, clock);
        QSharedPointer<SimulatedSensor> b = rig.plug(kB, clock);
        QTRY_VERIFY_WITH_TIMEOUT(rig.online(kA) && rig.online(kB), kLimitMs);
        QTRY_VERIFY_WITH_TIMEOUT(rig.settled(), kLimitMs);
        a->clearRequestLog();
        b->clearRequestLog();
        a->faults().replyDelayMs = 100;
        b->faults().replyDelayMs = 100;

        rig.setup.setBaseFrequency(500);
        rig.setup.addBatteryVoltageTrack(10);
        rig.setup.setDeviceColor(0x123456);
        QTRY_VERIFY_WITH_TIMEOUT(!a->requestLog().isEmpty() && !b->requestLog().isEmpty(), kLimitMs);
        QTest::qWait(30); // several send passes
        // Both in flight at once, each device with its first request only.
        QCOMPARE(rig.setup.numberOfActiveMessages(), 2);
        QCOMPARE(distinctInOrder(requests(*a)).size(), 1);
        QCOMPARE(distinctInOrder(requests(*b)).size(), 1);

        // A's request is sent again; the reply to the first transmission
        // comes while the second is in flight and must not complete it.
        clock->advanceMs(50);
        QPointer<Message> first = rig.inFlight(kA);
        const int sent = a->requestLog().size();
        first->timedOut();
        QTRY_VERIFY_WITH_TIMEOUT(a->requestLog().size() > sent, kLimitMs);
        clock->advanceMs(50);
        QTRY_VERIFY_WITH_TIMEOUT(distinctInOrder(requests(*b)).size() >= 2, kLimitMs);
        QTest::qWait(20);
        QVERIFY(!first.isNull());
        QVERIFY(!first->done());
        QCOMPARE(rig.inFlight(kA), first.data());
        QCOMPARE(distinctInOrder(requests(*a)).size(), 1);

        clock->advanceMs(50);
        QTRY_VERIFY_WITH_TIMEOUT(distinctInOrder(requests(*a)).size() >= 2, kLimitMs);

        for (int i = 0; i < 200 && !rig.settled(); ++i) {
            clock->advanceMs(100);
            QTest::qWait(5);
        }
        QVERIFY(rig.settled());
        for (const auto& sensor : {a, b}) {
            const QList<QByteArray> expected {"<SetBaseFreq>" + WireBytes::u16(500),
                                              addTrack(sensor->serial(), 0x310, 10, 0), feature(15, true),
                                              "<SetDeviceColor>" + WireBytes::bytes({0, 0x12, 0x34, 0x56})};
            QCOMPARE(distinctInOrder(requests(*sensor)), expected);
        }
    }

    void aSensorOnCableAndBluetoothIsSetUpOverBluetoothUntilThatGoes()
    {
        Rig rig;
        QSharedPointer<SimulatedSensor> a = rig.plug(kA);
        QTRY_VERIFY_WITH_TIMEOUT(rig.online(kA) && rig.settled(), kLimitMs);
        const QPointer<SimulatedLink> bluetooth = rig.plugSecondLink(a, "bluetooth");
        QTRY_COMPARE_WITH_TIMEOUT(rig.links.interfacesForSerial(kA), (QStringList{"sim4b560001", "sim4b560001-bt"}),
                                  kLimitMs);
        // The host asks over the better ranked link, and the sensor answers on the link it was asked on.
        QList<QByteArray> sent[2];
        for (sensorsim::Port expected : {sensorsim::Port::Bluetooth, sensorsim::Port::Cable}) {
            if (expected == sensorsim::Port::Cable) {
                bluetooth->unplug();
                QTRY_COMPARE_WITH_TIMEOUT(rig.links.interfacesForSerial(kA), QStringList{"sim4b560001"}, kLimitMs);
            }
            a->clearRequestLog();
            rig.startTypicalSetup();
            QTRY_VERIFY_WITH_TIMEOUT(rig.settled(), kLimitMs);
            for (const RequestRecord& record : a->requestLog())
                QCOMPARE(record.port, expected);
            sent[int(expected)] = distinctInOrder(requests(*a));
        }
        QCOMPARE(sent[0].size(), 18);
        QCOMPARE(sent[1], sent[0]);
    }

    // A sensor lost in the middle of a setup is not set up: the setup fails
    // once, on all sensors, and never reports done.
    void sensorLostDuringTheSetupEndsItAsFailed()
    {
        Rig rig;
        auto clock = std::make_shared<ManualClock>();
        QSharedPointer<SimulatedSensor> a = rig.plug(kA, clock);
        QSharedPointer<SimulatedSensor> b = rig.plug(kB, clock);
        QTRY_VERIFY_WITH_TIMEOUT(rig.online(kA) && rig.online(kB), kLimitMs);
        QTRY_VERIFY_WITH_TIMEOUT(rig.settled(), kLimitMs);
        a->faults().replyDelayMs = 100;
        b->faults().replyDelayMs = 100;

        QSignalSpy done(&rig.setup, &SetupController::setupDone);
        QSignalSpy failed(&rig.setup, &SetupController::setupFailed);
        QSignalSpy running(&rig.setup, &SetupController::runningChanged);
        rig.setup.prepareForSetup();
        rig.setup.finishSetup();
        QVERIFY(rig.setup.isRunning());
        QTRY_VERIFY_WITH_TIMEOUT(rig.inFlight(kA) && rig.inFlight(kB), kLimitMs);
        QSignalSpy aborted(rig.inFlight(kA), &Message::messageAborted);

        rig.linkOf[kA]->unplug();
        QTRY_VERIFY_WITH_TIMEOUT(!rig.online(kA), kLimitMs);
        QCOMPARE(aborted.count(), 1);
        QCOMPARE(failed.count(), 1);
        QVERIFY(!rig.setup.isRunning());
        QCOMPARE(running.count(), 2);
        QVERIFY(rig.setup.activeMessages(kA)->isEmpty());
        QVERIFY(rig.setup.scheduledMessages(kA)->isEmpty());
        QVERIFY(rig.setup.listeningMessages(kA)->isEmpty());
        // The other sensor's commands are dropped with it.
        QCOMPARE(rig.setup.numberOfScheduledMessages(), 0);

        for (int i = 0; i < 50; ++i) {
            clock->advanceMs(100);
            QTest::qWait(5);
        }
        QTRY_VERIFY_WITH_TIMEOUT(rig.settled(), kLimitMs);
        QCOMPARE(done.count(), 0);
        QCOMPARE(failed.count(), 1);
        QCOMPARE(b->requestCount("<StoreSettings>"), 0);
    }
};

QTEST_GUILESS_MAIN(TestSetupWorkflow)
#include "tst_setupworkflow.moc"
