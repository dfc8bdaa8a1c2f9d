#include "Application/NotificationHub.h"
#include "Application/StateController.h"
#include "Data/MeasurementController.h"
#include "Data/Store.h"
#include "Devices/DeviceManager.h"
#include "Protocol/Message.h"
#include "Workflows/SetupController.h"

#include "RecordingLinkManager.h"
#include "TemporaryStorage.h"
#include "WireBytes.h"

#include <QSignalSpy>
#include <QtTest>

#include <functional>

namespace {

const quint64 kA = 0x4b560001;
const quint64 kB = 0x4b560002;

using Call = std::function<void(SetupController&)>;

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
    void drain()
    {
        for (int i = 0; i < 500 && setup.numberOfScheduledMessages() + setup.numberOfActiveMessages() > 0; ++i)
            setup.sendScheduledMessages();
    }
    int queued() { return setup.numberOfScheduledMessages() + setup.numberOfActiveMessages(); }

    TemporaryStorage storage;
    DeviceManager devices;
    RecordingLinkManager links {&devices};
    MeasurementController measurements;
    StateController state;
    SetupController setup {nullptr, &devices, &measurements, &state};
};

QByteArray feature(int number, bool on)
{
    return QByteArray("<SetFeature>") + WireBytes::bytes({number, on ? 1 : 0});
}

// An AddTrack as it reaches the sensor, without the serial that leads its payload.
QByteArray track(quint16 id, quint16 dsf, quint8 visible, quint8 config)
{
    return QByteArray("<AddTrack>") + WireBytes::u16(id) + WireBytes::u16(dsf) + WireBytes::bytes({visible, config});
}

// What one sensor received: token and payload of each frame, with its own
// serial taken out of every AddTrack (after checking it is there).
QList<QByteArray> received(const RecordingLinkManager& links, quint64 serial)
{
    QList<QByteArray> result;
    for (const QByteArray& frame : links.frames(serial)) {
        const QByteArray token = RecordingLinkManager::tokenOf(frame);
        QByteArray payload = RecordingLinkManager::payloadOf(frame);
        if (token == "<AddTrack>") {
            if (!payload.startsWith(WireBytes::u64(serial)))
                return {"AddTrack for another serial: " + frame.toHex()};
            payload.remove(0, 8);
        }
        result.append(token + payload);
    }
    return result;
}

// The reports to the scene's progress bar.
struct Progress
{
    QString text;
    double value;
};

} // namespace

Q_DECLARE_METATYPE(Call)

class TestSetupController : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanupTestCase() { Store::drop(); }

    void everySlotSendsItsCommandsToEveryConnectedDevice_data()
    {
        QTest::addColumn<Call>("call");
        QTest::addColumn<QList<QByteArray>>("expected");

        QTest::newRow("prepare") << Call([](SetupController& s) { s.prepareForSetup(); })
                                 << QList<QByteArray> {feature(15, true), feature(6, false), feature(5, false),
                                                       feature(4, false), "<ResetTracks>", feature(2, false)};
        QTest::newRow("finish") << Call([](SetupController& s) { s.finishSetup(); })
                                << QList<QByteArray> {feature(15, false), "<StoreSettings>"};
        QTest::newRow("colour") << Call([](SetupController& s) { s.setDeviceColor(0xFF8000); })
                                << QList<QByteArray> {feature(15, true),
                                                      "<SetDeviceColor>" + WireBytes::bytes({0, 0xFF, 0x80, 0})};
        QTest::newRow("base frequency") << Call([](SetupController& s) { s.setBaseFrequency(1000); })
                                        << QList<QByteArray> {"<SetBaseFreq>" + WireBytes::u16(1000)};
        QTest::newRow("accelerometer raw data")
            << Call([](SetupController& s) { s.setupAccelerometerRawDataTracks(); })
            << QList<QByteArray> {track(0x110, 0, 1, 4), track(0x111, 0, 1, 4), track(0x112, 0, 1, 4),
                                  track(0x140, 0, 1, 0)};
        QTest::newRow("accelerometer") << Call([](SetupController& s) { s.addRawAccelTracks(1); })
                                       << QList<QByteArray> {track(0x110, 1, 1, 4), track(0x111, 1, 1, 4),
                                                             track(0x112, 1, 1, 4)};
        QTest::newRow("accelerometer z") << Call([](SetupController& s) { s.addRawAccelTrack(5, 2); })
                                         << QList<QByteArray> {track(0x112, 5, 1, 4)};
        QTest::newRow("accelerometer axis 3") << Call([](SetupController& s) { s.addRawAccelTrack(5, 3); })
                                              << QList<QByteArray> {};
        QTest::newRow("gyroscope") << Call([](SetupController& s) { s.addRawGyroTracks(2); })
                                   << QList<QByteArray> {track(0x120, 2, 1, 4), track(0x121, 2, 1, 4),
                                                         track(0x122, 2, 1, 4)};
        QTest::newRow("gyroscope y") << Call([](SetupController& s) { s.addRawGyroTrack(8, 1); })
                                     << QList<QByteArray> {track(0x121, 8, 1, 4)};
        QTest::newRow("gyroscope axis 3") << Call([](SetupController& s) { s.addRawGyroTrack(8, 3); })
                                          << QList<QByteArray> {};
        QTest::newRow("magnetometer") << Call([](SetupController& s) { s.addRawMagnetoTracks(3); })
                                      << QList<QByteArray> {track(0x130, 3, 1, 4), track(0x131, 3, 1, 4),
                                                            track(0x132, 3, 1, 4)};
        QTest::newRow("quaternion") << Call([](SetupController& s) { s.addQuaternionTrack(4); })
                                    << QList<QByteArray> {track(0x140, 4, 1, 2)};
        QTest::newRow("pressure") << Call([](SetupController& s) { s.addPressureTracks(10); })
                                  << QList<QByteArray> {track(0x210, 10, 1, 0), track(0x211, 10, 1, 0),
                                                        track(0x212, 10, 1, 0)};
        QTest::newRow("battery, factor beyond 16 bits")
            << Call([](SetupController& s) { s.addBatteryVoltageTrack(70000); })
            << QList<QByteArray> {track(0x310, 4464, 1, 0)};
        QTest::newRow("charging state") << Call([](SetupController& s) { s.addChargingStateTrack(1); })
                                        << QList<QByteArray> {track(0x311, 1, 1, 0)};
        QTest::newRow("charge current") << Call([](SetupController& s) { s.addChargingCurrentTrack(1); })
                                        << QList<QByteArray> {track(0x312, 1, 1, 0)};
        QTest::newRow("adc 3") << Call([](SetupController& s) { s.addADCchannel3(6); })
                               << QList<QByteArray> {track(0x330, 6, 1, 0)};
        QTest::newRow("adc 4") << Call([](SetupController& s) { s.addADCchannel4(6); })
                               << QList<QByteArray> {track(0x340, 6, 1, 0)};
        QTest::newRow("any track, as given") << Call([](SetupController& s) { s.addTrackToAllDevs(0x8004, 7, 0, 9); })
                                             << QList<QByteArray> {track(0x8004, 7, 0, 9)};
        QTest::newRow("any track, id beyond 16 bits")
            << Call([](SetupController& s) { s.addTrackToAllDevs(0x1FFFF, 1, 1, 0); })
            << QList<QByteArray> {track(0xFFFF, 1, 1, 0)};
        QTest::newRow("dsp") << Call([](SetupController& s) { s.addDSPTracks(1); }) << QList<QByteArray> {};
    }
    void everySlotSendsItsCommandsToEveryConnectedDevice()
    {
        QFETCH(Call, call);
        QFETCH(QList<QByteArray>, expected);
        Rig rig({kA, kB});
        rig.links.answer = RecordingLinkManager::acceptEverything;
        call(rig.setup);
        rig.drain();
        QCOMPARE(received(rig.links, kA), expected);
        QCOMPARE(received(rig.links, kB), expected);
    }

    void newDeviceIsAskedForStateThenFirmwareWithoutEndingASetup()
    {
        Rig rig({kA, kB});
        rig.links.answer = RecordingLinkManager::acceptEverything;
        QSignalSpy done(&rig.setup, &SetupController::setupDone);
        QSignalSpy progress(NotificationHub::instance(), &NotificationHub::progressConfig);
        rig.setup.queryInitialState(kB);
        rig.drain();
        QCOMPARE(rig.links.tokens(kB), QList<QByteArray>({"<GetTopState>", "<GetFirmware>"}));
        QVERIFY(rig.links.tokens(kA).isEmpty());
        // No setup runs: nothing to report, nothing done.
        QCOMPARE(progress.count(), 0);
        QCOMPARE(done.count(), 0);
    }

    void progressRunsFromZeroToDoneAndSetupDoneComesOnce()
    {
        Rig rig({kA, kB});
        QSignalSpy done(&rig.setup, &SetupController::setupDone);
        QSignalSpy spy(NotificationHub::instance(), &NotificationHub::progressConfig);
        rig.setup.prepareForSetup();
        rig.setup.addRawAccelTracks(1);
        QCOMPARE(spy.count(), 0); // nothing to report before the setup is complete
        rig.setup.finishSetup();
        QCOMPARE(rig.setup.setupTaskTotal(), 22u);
        rig.links.answer = RecordingLinkManager::acceptEverything;
        rig.drain();

        QList<Progress> reports;
        for (const QList<QVariant>& args : qAsConst(spy))
            reports.append({args.at(0).toString(), args.at(1).toDouble()});
        QVERIFY(reports.size() > 22);
        QCOMPARE(reports.first().text, QString("Setup in progress"));
        QCOMPARE(reports.first().value, 0.0);
        QCOMPARE(reports.last().text, QString("Setup Done"));
        QCOMPARE(reports.last().value, 1.0);
        for (int i = 1; i + 1 < reports.size(); ++i) {
            QCOMPARE(reports[i].text, QString("Setup in progress"));
            QVERIFY(reports[i].value >= reports[i - 1].value);
            const double steps = reports[i].value * 22;
            QVERIFY(qAbs(steps - qRound(steps)) < 1e-9);
        }
        QCOMPARE(done.count(), 1);
        QCOMPARE(rig.links.frames(kA).size(), 11);
    }

    void failedCommandEndsTheSetupOnceOnEveryDevice_data()
    {
        QTest::addColumn<bool>("refused");
        QTest::newRow("AddTrack refused") << true;
        QTest::newRow("AddTrack never answered") << false;
    }
    void failedCommandEndsTheSetupOnceOnEveryDevice()
    {
        QFETCH(bool, refused);
        Rig rig({kA, kB});
        rig.links.answer = [refused](quint64 serial, const QByteArray& frame) {
            if (serial == kB && RecordingLinkManager::tokenOf(frame) == "<AddTrack>")
                return refused ? WireBytes::frame(RecordingLinkManager::numberOf(frame), "<NOK>") : QByteArray();
            return RecordingLinkManager::acceptEverything(serial, frame);
        };
        QSignalSpy failed(&rig.setup, &SetupController::setupFailed);
        QSignalSpy done(&rig.setup, &SetupController::setupDone);
        rig.setup.prepareForSetup();
        rig.setup.addRawAccelTracks(1);
        rig.setup.finishSetup();
        for (int i = 0; i < 7; ++i)
            rig.setup.sendScheduledMessages();
        // A refusal is sent again like an unanswered command; the retries
        // are driven without waiting for the reply timer.
        while (rig.setup.activeMessages(kB)->size() == 1 && rig.links.frames(kB).size() < 40) {
            QCOMPARE(failed.count(), 0);
            rig.setup.activeMessages(kB)->first()->timedOut();
            rig.setup.sendScheduledMessages();
        }

        QCOMPARE(failed.count(), 1);
        QCOMPARE(done.count(), 0);
        QCOMPARE(rig.queued(), 0);
        QCOMPARE(rig.links.tokens(kB).count("<AddTrack>"), 20);
        QVERIFY(!rig.links.tokens(kB).contains("<StoreSettings>"));
        rig.drain();
        QCOMPARE(failed.count(), 1);
    }

    void aSecondSetupCountsAfreshAndIdleMomentsBetweenSetupsStayQuiet()
    {
        Rig rig({kA, kB});
        rig.links.answer = RecordingLinkManager::acceptEverything;
        QSignalSpy done(&rig.setup, &SetupController::setupDone);
        QSignalSpy progress(NotificationHub::instance(), &NotificationHub::progressConfig);
        rig.setup.prepareForSetup();
        rig.setup.addRawAccelTracks(1);
        rig.setup.finishSetup();
        rig.drain();
        QCOMPARE(done.count(), 1);
        QVERIFY(!rig.setup.isSetupRunning());
        QCOMPARE(rig.setup.setupTaskTotal(), 0u);

        // A sensor plugged in afterwards is queried without any setup report.
        progress.clear();
        rig.setup.queryInitialState(kB);
        rig.drain();
        QCOMPARE(done.count(), 1);
        QCOMPARE(progress.count(), 0);

        // A smaller second setup, with a new sensor's queries queued in the
        // middle: its own count from 0 to 1, never out of range.
        rig.setup.prepareForSetup();
        rig.setup.setBaseFrequency(500);
        rig.setup.finishSetup();
        rig.setup.queryInitialState(kA);
        QCOMPARE(rig.setup.setupTaskTotal(), 18u);
        rig.drain();
        QCOMPARE(done.count(), 2);
        QCOMPARE(progress.first().at(1).toDouble(), 0.0);
        for (const QList<QVariant>& report : qAsConst(progress))
            QVERIFY2(report.at(1).toDouble() >= 0.0 && report.at(1).toDouble() <= 1.0,
                     qPrintable(QString::number(report.at(1).toDouble())));
        QCOMPARE(progress.last().at(0).toString(), QString("Setup Done"));
    }

    void aFailingQueryOfANewSensorLeavesTheRunningSetupAlone()
    {
        Rig rig({kA, kB});
        // B never answers its state query; everything else is answered.
        rig.links.answer = [](quint64 serial, const QByteArray& frame) {
            if (serial == kB && RecordingLinkManager::tokenOf(frame) == "<GetTopState>")
                return QByteArray();
            return RecordingLinkManager::acceptEverything(serial, frame);
        };
        QSignalSpy done(&rig.setup, &SetupController::setupDone);
        QSignalSpy failed(&rig.setup, &SetupController::setupFailed);
        rig.setup.queryInitialState(kB);
        rig.setup.sendScheduledMessages();
        Message* query = rig.setup.activeMessages(kB)->first();
        rig.setup.prepareForSetup();
        rig.setup.addBatteryVoltageTrack(10);
        rig.setup.finishSetup();
        for (int timeout = 0; timeout < 20; ++timeout) {
            query->timedOut();
            rig.setup.sendScheduledMessages();
        }
        rig.drain();
        QCOMPARE(failed.count(), 0);
        QCOMPARE(done.count(), 1);
        QVERIFY(received(rig.links, kB).contains("<StoreSettings>"));
        QVERIFY(received(rig.links, kA).contains("<StoreSettings>"));
    }

    void withoutDevicesFinishReportsZeroAndNothingFollows()
    {
        Rig rig({});
        QSignalSpy done(&rig.setup, &SetupController::setupDone);
        QSignalSpy progress(NotificationHub::instance(), &NotificationHub::progressConfig);
        rig.setup.prepareForSetup();
        rig.setup.addRawGyroTracks(1);
        rig.setup.finishSetup();
        QCOMPARE(progress.count(), 1);
        QCOMPARE(progress.first().at(1).toDouble(), 0.0);
        QCOMPARE(rig.setup.setupTaskTotal(), 0u);
        QTest::qWait(20);
        QCOMPARE(done.count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestSetupController)
#include "tst_setupcontroller.moc"
