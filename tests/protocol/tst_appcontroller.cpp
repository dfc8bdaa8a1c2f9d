#include "Application/StateController.h"
#include "Data/Measurement.h"
#include "Data/MeasurementController.h"
#include "Data/Store.h"
#include "Devices/DeviceManager.h"
#include "Devices/KtDevice.h"
#include "Protocol/AppController.h"
#include "Protocol/GetTopState.h"
#include "Protocol/ResetTracks.h"
#include "Protocol/SetFeature.h"
#include "Protocol/StoreSettings.h"

#include "RecordingLinkManager.h"
#include "TemporaryStorage.h"
#include "WireBytes.h"

#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

namespace {

const quint64 kA = 0xA1;
const quint64 kB = 0xB2;

// Counts what reaches the scheduler's outcome slots and idle hook.
class Probe : public AppController
{
    Q_OBJECT
public:
    using AppController::AppController;
    using AppController::sendMessageAndListenForAnswer;

    int idle = 0;
    int done = 0;
    int failures = 0;
    int aborts = 0;

    void messageDone(quint64 serial) override
    {
        ++done;
        AppController::messageDone(serial);
    }
    void messageFailed(quint64 serial) override
    {
        ++failures;
        AppController::messageFailed(serial);
    }
    void messageAborted(quint64 serial) override
    {
        ++aborts;
        AppController::messageAborted(serial);
    }

protected:
    void idleHook() override { ++idle; }
};

// A transfer in two exchanges: the first accepted reply asks to be sent again.
class TwoStep : public Message
{
    Q_OBJECT
public:
    explicit TwoStep(quint64 serial)
        : Message(serial)
    {
    }
    void BeforeComposeHook() override { command = "<Step>"; }
    void successfullyParsedHook() override
    {
        if (++steps == 1) {
            rescheduleRequested = true;
            return;
        }
        rescheduleRequested = false;
        Message::successfullyParsedHook();
    }
    int steps = 0;
};

// A registry with online sensors, a recording link manager and a scheduler.
struct Rig
{
    explicit Rig(const QList<quint64>& online)
    {
        devices.setInterfaceManager(&links);
        for (const quint64 serial : online) {
            devices.addDeviceBySerial(serial);
            devices.setDeviceOnline(serial, true);
        }
    }
    // Runs send passes until nothing is queued or in flight (bounded).
    void drain()
    {
        for (int i = 0; i < 200 && (scheduler.numberOfScheduledMessages() + scheduler.numberOfActiveMessages()) > 0; ++i)
            scheduler.sendScheduledMessages();
    }

    TemporaryStorage storage;
    DeviceManager devices;
    RecordingLinkManager links {&devices};
    MeasurementController measurements;
    StateController state;
    Probe scheduler {nullptr, &devices, &measurements, &state};
};

void flushDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class TestAppController : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanupTestCase() { Store::drop(); }

    void eachDeviceHasOneRequestInFlightInScheduledOrder()
    {
        Rig rig({kA, kB});
        QSignalSpy tasks(&rig.scheduler, &AppController::numberOfMessagesChanged);
        QVERIFY(rig.scheduler.scheduleMessage(new SetFeature(kA, SetFeature::ConfigurationMode, true), false));
        QVERIFY(rig.scheduler.scheduleMessage(new ResetTracks(kA), false));
        QVERIFY(rig.scheduler.scheduleMessage(new StoreSettings(kB), false));
        QVERIFY(rig.scheduler.scheduleMessage(new ResetTracks(kB), false));
        QCOMPARE(tasks.count(), 4);
        QCOMPARE(tasks.last().at(0).toInt(), 4);
        QVERIFY(rig.scheduler.isSending());

        rig.scheduler.sendScheduledMessages();
        rig.scheduler.sendScheduledMessages();
        // Both devices are served at once, each with its first request only.
        QCOMPARE(rig.links.tokens(kA), QList<QByteArray>({"<SetFeature>"}));
        QCOMPARE(rig.links.tokens(kB), QList<QByteArray>({"<StoreSettings>"}));
        QCOMPARE(rig.scheduler.numberOfActiveMessages(), 2);
        QCOMPARE(rig.scheduler.numberOfScheduledMessages(), 2);
        QCOMPARE(tasks.last().at(0).toInt(), 4);

        rig.links.replyToLast(kA);
        QCOMPARE(tasks.last().at(0).toInt(), 3);
        rig.scheduler.sendScheduledMessages();
        QCOMPARE(rig.links.tokens(kA), QList<QByteArray>({"<SetFeature>", "<ResetTracks>"}));
        QCOMPARE(rig.links.tokens(kB).size(), 1);

        // A reply for one device completes nothing of another.
        rig.links.deliver(kB, WireBytes::frame(RecordingLinkManager::numberOf(rig.links.lastFrame(kA)), "<OK>"));
        QCOMPARE(rig.scheduler.numberOfActiveMessages(), 2);
    }

    void staleReplyWithOldNumberIsIgnored()
    {
        Rig rig({kA});
        auto* message = new ResetTracks(kA);
        QPointer<Message> watch(message);
        rig.scheduler.scheduleMessage(message, false);
        rig.scheduler.sendScheduledMessages();
        const QByteArray first = rig.links.lastFrame(kA);

        message->timedOut();
        rig.scheduler.sendScheduledMessages();
        QCOMPARE(rig.links.frames(kA).size(), 2);
        QVERIFY(RecordingLinkManager::numberOf(rig.links.lastFrame(kA)) != RecordingLinkManager::numberOf(first));

        rig.links.deliver(kA, WireBytes::frame(RecordingLinkManager::numberOf(first), "<OK>"));
        QVERIFY(!message->done());
        QCOMPARE(rig.scheduler.numberOfActiveMessages(), 1);

        rig.links.replyToLast(kA);
        QCOMPARE(rig.scheduler.numberOfActiveMessages(), 0);
        QCOMPARE(rig.scheduler.done, 1); // one report, although it was sent twice
        QCOMPARE(rig.scheduler.aborts, 0);
        flushDeferredDeletes();
        QVERIFY(watch.isNull());
    }

    void messagesForUnknownOrOfflineDevicesAreRefused_data()
    {
        QTest::addColumn<quint64>("serial");
        QTest::newRow("serial 0") << quint64(0);
        QTest::newRow("never seen") << quint64(0x77);
        QTest::newRow("known but offline") << kB;
    }
    void messagesForUnknownOrOfflineDevicesAreRefused()
    {
        QFETCH(quint64, serial);
        Rig rig({kA, kB});
        rig.devices.setDeviceOnline(kB, false);
        QSignalSpy tasks(&rig.scheduler, &AppController::numberOfMessagesChanged);
        ResetTracks message(serial);
        QVERIFY(!rig.scheduler.scheduleMessage(&message, false));
        QCOMPARE(tasks.count(), 0);
        QCOMPARE(rig.scheduler.numberOfScheduledMessages(), 0);
        QVERIFY(!rig.scheduler.isSending());
        QVERIFY(message.parent() == nullptr); // still the caller's
    }

    void timerStopsOnlyWhenEveryDeviceIsFinishedAndRestartsForNewWork()
    {
        Rig rig({kA, kB});
        rig.scheduler.scheduleMessage(new ResetTracks(kA), false);
        rig.scheduler.scheduleMessage(new ResetTracks(kB), false);
        rig.scheduler.sendScheduledMessages();

        // A's last reply leaves B's request in flight: not idle yet, and B's
        // request is still sent again when it times out.
        rig.links.replyToLast(kA);
        QCOMPARE(rig.scheduler.idle, 0);
        QVERIFY(rig.scheduler.isSending());
        rig.scheduler.activeMessages(kB)->first()->timedOut();
        rig.scheduler.sendScheduledMessages();
        QCOMPARE(rig.links.frames(kB).size(), 2);

        rig.links.replyToLast(kB);
        QCOMPARE(rig.scheduler.idle, 1);
        QVERIFY(!rig.scheduler.isSending());

        rig.scheduler.scheduleMessage(new ResetTracks(kA), false);
        QVERIFY(rig.scheduler.isSending());
    }

    void unansweredMessageFailsOnceAfterTwentyTransmissionsAndIsDisposed()
    {
        Rig rig({kA});
        auto* message = new ResetTracks(kA);
        QPointer<Message> watch(message);
        rig.scheduler.scheduleMessage(message, false);
        rig.scheduler.sendScheduledMessages();
        for (int i = 0; i < 20; ++i) {
            message->timedOut();
            rig.scheduler.sendScheduledMessages();
        }
        QCOMPARE(rig.links.frames(kA).size(), 20);
        QCOMPARE(rig.scheduler.failures, 1);
        QCOMPARE(rig.scheduler.aborts, 1); // disposed by the pass after the failure
        QCOMPARE(rig.scheduler.numberOfActiveMessages(), 0);
        // Nothing is left: an idle moment, whose hook tells what it finished.
        QCOMPARE(rig.scheduler.idle, 1);
        QVERIFY(!rig.scheduler.isSending());
        flushDeferredDeletes();
        QVERIFY(watch.isNull());
    }

    void clearFirstDisposesWhatItDrops()
    {
        Rig rig({kA, kB});
        auto* inFlight = new ResetTracks(kA);
        auto* waiting = new StoreSettings(kA);
        auto* other = new ResetTracks(kB);
        rig.scheduler.scheduleMessage(inFlight, false);
        rig.scheduler.scheduleMessage(waiting, false);
        rig.scheduler.scheduleMessage(other, false);
        rig.scheduler.sendScheduledMessages();
        QVERIFY(inFlight->isWaitingForReply());
        QSignalSpy inFlightAborted(inFlight, &Message::messageAborted);
        QSignalSpy waitingAborted(waiting, &Message::messageAborted);
        QPointer<Message> watchInFlight(inFlight), watchWaiting(waiting);

        auto* stop = new SetFeature(kA, SetFeature::RecordToFlash, false);
        QVERIFY(rig.scheduler.scheduleMessage(stop, true));
        QCOMPARE(inFlightAborted.count(), 1);
        QCOMPARE(waitingAborted.count(), 1);
        QVERIFY(!inFlight->isWaitingForReply());
        QCOMPARE(*rig.scheduler.scheduledMessages(kA), QList<Message*>({stop}));
        QVERIFY(rig.scheduler.activeMessages(kA)->isEmpty());
        QCOMPARE(*rig.scheduler.activeMessages(kB), QList<Message*>({other}));

        rig.scheduler.sendScheduledMessages();
        QCOMPARE(rig.links.tokens(kA), QList<QByteArray>({"<ResetTracks>", "<SetFeature>"}));
        flushDeferredDeletes();
        QVERIFY(watchInFlight.isNull());
        QVERIFY(watchWaiting.isNull());
    }

    void workQueuedOnAnAbortComesAfterTheMessageThatClearedTheQueue()
    {
        Rig rig({kA});
        auto* inFlight = new ResetTracks(kA);
        rig.scheduler.scheduleMessage(inFlight, false);
        rig.scheduler.sendScheduledMessages();
        // As the upload does: an aborted transfer starts the next one.
        Message* next = nullptr;
        connect(inFlight, &Message::messageAborted, &rig.scheduler, [&]() {
            next = new StoreSettings(kA);
            rig.scheduler.scheduleMessage(next, false);
        });

        auto* stop = new SetFeature(kA, SetFeature::RecordToFlash, false);
        QVERIFY(rig.scheduler.scheduleMessage(stop, true));
        QVERIFY(next != nullptr);
        QCOMPARE(*rig.scheduler.scheduledMessages(kA), QList<Message*>({stop, next}));
        rig.links.answer = RecordingLinkManager::acceptEverything;
        rig.drain();
        QCOMPARE(rig.links.tokens(kA), QList<QByteArray>({"<ResetTracks>", "<SetFeature>", "<StoreSettings>"}));
    }

    void disconnectClearsTheDevicesListsAndAbortsItsMessages()
    {
        Rig rig({kA, kB});
        auto* active = new ResetTracks(kA);
        auto* scheduled = new StoreSettings(kA);
        auto* listener = new GetTopState(kA);
        rig.scheduler.scheduleMessage(active, false);
        rig.scheduler.scheduleMessage(scheduled, false);
        rig.scheduler.scheduleMessage(new ResetTracks(kB), false);
        rig.scheduler.addListeningMessage(kA, listener);
        rig.scheduler.addListeningMessage(kA, listener); // once only
        QCOMPARE(rig.scheduler.listeningMessages(kA)->size(), 1);
        rig.scheduler.sendScheduledMessages();
        QSignalSpy tasks(&rig.scheduler, &AppController::numberOfMessagesChanged);

        rig.devices.setDeviceOnline(kA, false);
        QCOMPARE(rig.scheduler.aborts, 1); // the sent one; the others were never connected
        QVERIFY(rig.scheduler.scheduledMessages(kA)->isEmpty());
        QVERIFY(rig.scheduler.activeMessages(kA)->isEmpty());
        QVERIFY(rig.scheduler.listeningMessages(kA)->isEmpty());
        QCOMPARE(rig.scheduler.numberOfActiveMessages(), 1);
        QCOMPARE(tasks.last().at(0).toInt(), 1);
        QVERIFY(!active->isWaitingForReply());
    }

    void flushDropsQueuesButKeepsListeners()
    {
        Rig rig({kA});
        auto* listener = new GetTopState(kA);
        QSignalSpy state(listener, &GetTopState::gotState);
        listener->Compose();
        listener->answerReceived();
        rig.scheduler.addListeningMessage(kA, listener);
        rig.scheduler.scheduleMessage(new ResetTracks(kA), false);
        rig.scheduler.scheduleMessage(new StoreSettings(kA), false);
        rig.scheduler.sendScheduledMessages();

        rig.scheduler.FlushAllMessages();
        QCOMPARE(rig.scheduler.numberOfScheduledMessages() + rig.scheduler.numberOfActiveMessages(), 0);
        QCOMPARE(rig.scheduler.aborts, 1);
        rig.links.deliver(kA, WireBytes::frame(listener->getMessageNumber(), "<SndTopState>", WireBytes::bytes({1})));
        QCOMPARE(state.count(), 1);
        // Done listeners leave their list.
        QVERIFY(rig.scheduler.listeningMessages(kA)->isEmpty());
    }

    void acceptedStepGoesToTheBackOfTheQueue()
    {
        Rig rig({kA});
        auto* transfer = new TwoStep(kA);
        rig.scheduler.scheduleMessage(transfer, false);
        rig.scheduler.scheduleMessage(new ResetTracks(kA), false);
        rig.scheduler.sendScheduledMessages();
        rig.links.replyToLast(kA);
        // The next in line goes out at once; the step waits behind it.
        QCOMPARE(rig.links.tokens(kA), QList<QByteArray>({"<Step>", "<ResetTracks>"}));
        QCOMPARE(*rig.scheduler.scheduledMessages(kA), QList<Message*>({transfer}));
        rig.links.answer = RecordingLinkManager::acceptEverything;
        rig.links.replyToLast(kA);
        rig.drain();
        QCOMPARE(rig.links.tokens(kA), QList<QByteArray>({"<Step>", "<ResetTracks>", "<Step>"}));
        QCOMPARE(transfer->steps, 2);
        QCOMPARE(rig.scheduler.idle, 1);
    }

    void replyDuringTheWriteCompletesTheMessage()
    {
        // The link manager reads the link right after writing to it, so a
        // quick sensor's reply arrives before the write returns.
        Rig rig({kA, kB});
        rig.links.answer = RecordingLinkManager::acceptEverything;
        rig.scheduler.scheduleMessage(new ResetTracks(kA), false);
        rig.scheduler.scheduleMessage(new StoreSettings(kA), false);
        rig.scheduler.scheduleMessage(new ResetTracks(kB), false);
        rig.scheduler.sendScheduledMessages();
        QCOMPARE(rig.scheduler.numberOfActiveMessages(), 0);
        QCOMPARE(rig.scheduler.numberOfScheduledMessages(), 1);
        QCOMPARE(rig.scheduler.idle, 0);
        rig.scheduler.sendScheduledMessages();
        QCOMPARE(rig.scheduler.idle, 1);
        QVERIFY(!rig.scheduler.isSending());
        QCOMPARE(rig.scheduler.done, 3);
    }

    void queriesReachTheRegistryAndNewMeasurementsReachEverySensor()
    {
        Rig rig({kA, kB});
        rig.links.answer = [](quint64 serial, const QByteArray& frame) {
            const quint8 number = RecordingLinkManager::numberOf(frame);
            if (RecordingLinkManager::tokenOf(frame) == "<GetTopState>")
                return WireBytes::frame(number, "<SndTopState>", WireBytes::bytes({1}));
            if (RecordingLinkManager::tokenOf(frame) == "<GetFirmware>")
                return WireBytes::frame(number, "<SndFirmware>", WireBytes::u16(quint16(serial)));
            return WireBytes::frame(number, "<OK>");
        };
        rig.scheduler.requestAllDeviceState();
        rig.scheduler.requestDeviceFirmware(kA);
        rig.state.selectUser("Anna");
        rig.state.selectApp("Sprint");
        rig.state.selectSetup("Fast");
        const quint64 id = rig.scheduler.generateNewMeasurement();
        rig.drain();

        QCOMPARE(rig.devices.getDeviceBySerial(kA)->getState(), QString("recording"));
        QCOMPARE(rig.devices.getDeviceBySerial(kB)->getState(), QString("recording"));
        QCOMPARE(rig.devices.getDeviceBySerial(kA)->getFirmware(), quint16(kA));
        QCOMPARE(rig.devices.getDeviceBySerial(kB)->getFirmware(), quint16(0));

        Measurement* measurement = rig.measurements.getMeasurementOnHostById(id);
        QVERIFY(measurement != nullptr);
        QCOMPARE(measurement->getUserName(), QString("Anna"));
        QCOMPARE(measurement->getAppName(), QString("Sprint"));
        QCOMPARE(measurement->getSetupName(), QString("Fast"));
        for (const quint64 serial : {kA, kB}) {
            QCOMPARE(RecordingLinkManager::tokenOf(rig.links.lastFrame(serial)), QByteArray("<SetMeasID>"));
            QCOMPARE(RecordingLinkManager::payloadOf(rig.links.lastFrame(serial)), WireBytes::u64(id));
        }
    }
};

QTEST_GUILESS_MAIN(TestAppController)
#include "tst_appcontroller.moc"
