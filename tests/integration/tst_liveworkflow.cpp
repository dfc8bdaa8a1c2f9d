#include "Data/Measurement.h"
#include "Data/StepSeries.h"
#include "Data/Store.h"
#include "Data/Track.h"
#include "Data/TrackList.h"
#include "Protocol/GetTopState.h"
#include "Workflows/LiveController.h"
#include "Workflows/LiveFeedback.h"

#include "LivePackets.h"
#include "ManualClock.h"
#include "RequestLog.h"
#include "WireBytes.h"
#include "WorkflowRig.h"

#include <QSignalSpy>
#include <QtTest>

#include <map>

using sensorsim::ManualClock;
using sensorsim::RequestRecord;
using sensorsim::SensorSettings;
using sensorsim::SimulatedSensor;
using sensorsim::TrackEntry;
using RequestLog::featureRequests;

namespace {

const quint64 kA = 0x4b560001; // on a cable
const quint64 kB = 0x4b560002; // over Bluetooth

const QVector<TrackEntry> kTracks {{0x110, 1, 1, 4}, {0x111, 1, 1, 4}, {0x122, 2, 1, 4}, {0x310, 10, 1, 0}};
const QList<int> kWidths {2, 2, 2, 2};

struct LiveRig : WorkflowRig
{
    LiveController live {nullptr, &devices, &measurements, &state};

    bool liveSettled() { return live.numberOfScheduledMessages() + live.numberOfActiveMessages() == 0; }
};

// Checks one track list against what the sensor put on the wire: the same
// sample numbers, and each value the raw sample times one factor per track.
QString compareWithWire(TrackList* list, const QByteArray& wire)
{
    const QList<LivePackets::Group> groups = LivePackets::decode(wire, kWidths);
    for (int i = 0; i < kTracks.size(); ++i) {
        std::map<quint32, qint16> expected;
        for (const LivePackets::Group& group : groups) {
            qint16 raw = 0;
            if (LivePackets::scalarSample(group, kWidths, i, raw))
                expected[group.sampleNumber] = raw;
        }
        Track* track = list->getTrackById(kTracks.at(i).trackId);
        if (track == nullptr)
            return QString("no track %1").arg(kTracks.at(i).trackId, 0, 16);
        const ScalarSampleStore& store = track->scalarSampleStore();
        if (expected.size() < 10 || int(expected.size()) != store.size())
            return QString("track %1: %2 samples on the wire, %3 stored")
                .arg(kTracks.at(i).trackId, 0, 16)
                .arg(expected.size())
                .arg(store.size());
        double factor = 0.0;
        int index = 0;
        for (const auto& [number, raw] : expected) {
            const double value = store.valueAt(index);
            if (store.numberAt(index) != number)
                return QString("track %1: sample number %2 where %3 was sent")
                    .arg(kTracks.at(i).trackId, 0, 16)
                    .arg(store.numberAt(index))
                    .arg(number);
            if (factor == 0.0 && raw != 0)
                factor = value / raw;
            if (qAbs(value - raw * factor) > 1e-9 * qMax(1.0, qAbs(value)))
                return QString("track %1, sample %2: %3 for raw %4")
                    .arg(kTracks.at(i).trackId, 0, 16)
                    .arg(number)
                    .arg(value)
                    .arg(raw);
            ++index;
        }
    }
    return QString();
}

} // namespace

class TestLiveWorkflow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { Store::drop(); }

    void twoSensorsStreamIntoTheLiveMeasurementWhichIsKeptWhenTheyStop()
    {
        LiveRig rig;
        auto clock = std::make_shared<ManualClock>();
        QSharedPointer<SimulatedSensor> a = rig.plug(kA, clock);
        QSharedPointer<SimulatedSensor> b = rig.plug(kB, clock, "bluetooth");
        QVERIFY(rig.pumpUntil([&] { return rig.online(kA) && rig.online(kB) && rig.settled(); }));
        for (const auto& sensor : {a, b}) {
            SensorSettings settings;
            settings.tracks = kTracks;
            settings.baseFrequency = 100;
            sensor->setSettings(settings);
            sensor->clearRequestLog();
            rig.linkOf[sensor->serial()]->setKeepDelivered(true);
        }

        QSignalSpy started(&rig.live, &LiveController::liveStreamStarted);
        rig.live.startLiveStream();
        const QString id = QString::number(rig.live.liveMeasurementId(), 16);
        QCOMPARE(started.count(), 2);
        QCOMPARE(QSet<QString>({started.at(0).at(0).toString(), started.at(1).at(0).toString()}), QSet<QString>({id}));
        QCOMPARE(QSet<QString>({started.at(0).at(1).toString(), started.at(1).at(1).toString()}),
                 QSet<QString>({"4b560001", "4b560002"}));
        QVERIFY(rig.pumpUntil([&] { return a->isStreaming() && b->isStreaming(); }));
        // The measurement id first, then the stream over the sensor's own link.
        QCOMPARE(a->requestTokens().mid(0, 4),
                 QList<QByteArray>({"<SetMeasID>", "<SetFeature>", "<SetFeature>", "<SetFeature>"}));
        // The other stream feature goes off first: one stream per sensor.
        QCOMPARE(featureRequests(*a), QList<QByteArray>({WireBytes::bytes({2, 0}), WireBytes::bytes({5, 0}),
                                                        WireBytes::bytes({4, 1})}));
        QCOMPARE(featureRequests(*b), QList<QByteArray>({WireBytes::bytes({2, 0}), WireBytes::bytes({4, 0}),
                                                        WireBytes::bytes({5, 1})}));
        QCOMPARE(a->measurementId(), rig.live.liveMeasurementId());

        // Two seconds of stream, with the keep-alive running.
        for (int step = 0; step < 200; ++step) {
            clock->advanceMs(10);
            QTest::qWait(step % 20 == 0 ? 40 : 2);
        }
        QVERIFY(a->requestCount("<GetTopState>") >= 1);

        rig.live.stopLiveStream();
        QVERIFY(rig.pumpUntil([&] { return !a->isStreaming() && !b->isStreaming() && rig.liveSettled(); }));
        for (const auto& sensor : {a, b})
            QCOMPARE(featureRequests(*sensor).mid(3), QList<QByteArray>({WireBytes::bytes({4, 0}), WireBytes::bytes({5, 0})}));
        const int polls = a->requestCount("<GetTopState>");
        QTest::qWait(2 * LiveController::kKeepAliveIntervalMs + 100);
        QCOMPARE(a->requestCount("<GetTopState>"), polls);

        Measurement* measurement = rig.measurements.getMeasurementOnHostById(rig.live.liveMeasurementId());
        QVERIFY(measurement);
        QCOMPARE(measurement->getDevicesInMeasurement(), QList<quint64>({kA, kB}));
        QMap<quint64, int> stored;
        for (const quint64 serial : {kA, kB}) {
            TrackList* list = measurement->getTrackList(serial);
            const QString fault = compareWithWire(list, rig.linkOf[serial]->delivered());
            QVERIFY2(fault.isEmpty(), qPrintable(QString::number(serial, 16) + ": " + fault));
            stored[serial] = list->getTrackById(0x110)->numberOfSamples();
            QVERIFY2(stored[serial] >= 150, qPrintable(QString::number(stored[serial])));
        }

        // What was streamed is in the archive: read back as after a restart.
        WorkflowRig restarted(rig.storage.path());
        restarted.loadStoredMeasurements();
        Measurement* again = restarted.measurements.getMeasurementOnHostById(rig.live.liveMeasurementId());
        QVERIFY(again);
        again->loadMeasurementDataFromDisk();
        for (const quint64 serial : {kA, kB}) {
            const QString fault = compareWithWire(again->getTrackList(serial), rig.linkOf[serial]->delivered());
            QVERIFY2(fault.isEmpty(), qPrintable("reloaded " + QString::number(serial, 16) + ": " + fault));
        }
    }

    // However a stream ends, what it brought is on disk, sample for sample
    // as it came over the wire.
    void everyWayAStreamEndsKeepsWhatItBrought_data()
    {
        QTest::addColumn<QString>("ending");
        QTest::addColumn<QString>("type");
        QTest::newRow("the sensor confirms the stop") << "stop" << "usb";
        QTest::newRow("the confirmation comes with the last packets") << "stop" << "bluetooth";
        QTest::newRow("unplugged before it could confirm") << "unplug" << "usb";
        QTest::newRow("a new stream right after the stop") << "restart" << "usb";
        QTest::newRow("the program ends while streaming") << "shutdown" << "bluetooth";
    }

    void everyWayAStreamEndsKeepsWhatItBrought()
    {
        QFETCH(QString, ending);
        QFETCH(QString, type);
        LiveRig rig;
        auto clock = std::make_shared<ManualClock>();
        QSharedPointer<SimulatedSensor> a = rig.plug(kA, clock, type);
        SensorSettings settings;
        settings.tracks = kTracks;
        settings.baseFrequency = 100;
        a->setSettings(settings);
        QVERIFY(rig.pumpUntil([&] { return rig.online(kA) && rig.settled(); }));
        SimulatedLink* link = rig.linkOf[kA];
        link->setKeepDelivered(true);
        rig.live.startLiveStream();
        const quint64 id = rig.live.liveMeasurementId();
        QVERIFY(rig.pumpUntil([&] { return a->isStreaming(); }));
        for (int step = 0; step < 100; ++step) {
            clock->advanceMs(10);
            QTest::qWait(step % 20 == 0 ? 20 : 1);
        }

        QByteArray wire;
        if (ending == "stop") {
            // Small reads, and more packets right behind the first stop's
            // answer than the link carries before the second stop goes out:
            // the last of them share a window with its answer.
            link->setMaxReadBytes(48);
            a->setRequestObserver([&](const RequestRecord& record) {
                if (record.token == "<SetFeature>" && record.payload == WireBytes::bytes({4, 0}))
                    clock->advanceMs(600);
            });
            rig.live.stopLiveStream();
            QVERIFY(rig.pumpUntil([&] { return !a->isStreaming() && rig.liveSettled() && a->pendingBytes() == 0; }));
            QTest::qWait(20);
            wire = link->delivered();
        } else if (ending == "unplug") {
            rig.live.stopLiveStream();
            link->unplug();
            QVERIFY(rig.pumpUntil([&] { return !rig.online(kA); }));
            wire = link->delivered();
        } else if (ending == "restart") {
            rig.live.stopLiveStream();
            wire = link->delivered();
            rig.live.startLiveStream();
            QVERIFY(rig.live.liveMeasurementId() != id);
        } else {
            wire = link->delivered();
            rig.live.saveStreamedData(); // what the root does on the way out
        }

        WorkflowRig restarted(rig.storage.path());
        restarted.loadStoredMeasurements();
        Measurement* again = restarted.measurements.getMeasurementOnHostById(id);
        QVERIFY(again);
        again->loadMeasurementDataFromDisk();
        const QString fault = compareWithWire(again->getTrackList(kA), wire);
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
    }

    // A sensor on a cable and over Bluetooth streams over the cable only:
    // the Bluetooth stream is switched off, and every sample is stored once.
    void aSensorOnTwoLinksStreamsOverOne()
    {
        LiveRig rig;
        auto clock = std::make_shared<ManualClock>();
        QSharedPointer<SimulatedSensor> a = rig.plug(kA, clock);
        rig.plugSecondLink(a, "bluetooth");
        SensorSettings settings;
        settings.tracks = kTracks;
        settings.baseFrequency = 100;
        a->setSettings(settings);
        QVERIFY(rig.pumpUntil([&] { return rig.online(kA) && rig.settled(); }));
        QCOMPARE(rig.links.interfacesForSerial(kA).size(), 2);
        rig.linkOf[kA]->setKeepDelivered(true);
        rig.secondLinkOf[kA]->setKeepDelivered(true);
        a->clearRequestLog();
        rig.live.startLiveStream();
        QVERIFY(rig.pumpUntil([&] { return a->isStreaming() && rig.liveSettled(); }));
        for (int step = 0; step < 100; ++step) {
            clock->advanceMs(10);
            QTest::qWait(step % 20 == 0 ? 20 : 1);
        }
        QCOMPARE(featureRequests(*a), QList<QByteArray>({WireBytes::bytes({2, 0}), WireBytes::bytes({5, 0}),
                                                        WireBytes::bytes({4, 1})}));
        QVERIFY(a->isStreaming(sensorsim::Port::Cable));
        QVERIFY(!a->isStreaming(sensorsim::Port::Bluetooth));
        QVERIFY(LivePackets::decode(rig.secondLinkOf[kA]->delivered(), kWidths).isEmpty());
        Measurement* measurement = rig.measurements.getMeasurementOnHostById(rig.live.liveMeasurementId());
        const QString fault = compareWithWire(measurement->getTrackList(kA), rig.linkOf[kA]->delivered());
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
    }

    // While two feet stream, each step's contact time is shown as it comes,
    // the lower serial as the left foot, and each jump's height as it
    // lands: the values the stored live view holds, step by step and jump
    // by jump, whichever of a sample's contact and step time comes first.
    void theLiveDigitsShowEachStepAndJumpAsItComes()
    {
        LiveRig rig;
        auto clock = std::make_shared<ManualClock>();
        QSharedPointer<SimulatedSensor> a = rig.plug(kA, clock);
        QSharedPointer<SimulatedSensor> b = rig.plug(kB, clock, "bluetooth");
        QVERIFY(rig.pumpUntil([&] { return rig.online(kA) && rig.online(kB) && rig.settled(); }));
        b->setRightFoot(true);
        SensorSettings settings;
        settings.baseFrequency = 100;
        settings.tracks = {{0x110, 1, 1, 4}, {0x8014, 5, 1, 4}, {0x8016, 5, 1, 4}, {0x8004, 10, 1, 4}};
        a->setSettings(settings);
        settings.tracks = {{0x110, 1, 1, 4}, {0x8016, 5, 1, 4}, {0x8004, 10, 1, 4}, {0x8014, 5, 1, 4}};
        b->setSettings(settings);

        LiveFeedback* feedback = rig.live.feedback();
        QVERIFY(feedback != nullptr);
        QCOMPARE(rig.live.property("feedback").value<QObject*>(), feedback);
        // What the digits show at the end of each turn of the event loop.
        QMap<QString, QList<QPair<int, double>>> shownContacts;
        QMap<QString, QList<QPair<int, double>>> shownJumps;
        QMap<QString, QString> feet;
        bool pending = false;
        const auto look = [&] {
            pending = false;
            for (const QVariant& entry : feedback->feet()) {
                const QVariantMap foot = entry.toMap();
                feet[foot.value("serial").toString()] = foot.value("foot").toString();
                auto& shown = shownContacts[foot.value("serial").toString()];
                const QPair<int, double> now(foot.value("steps").toInt(), foot.value("contactMs").toDouble());
                if (now.first > 0 && (shown.isEmpty() || shown.last() != now))
                    shown.append(now);
            }
            for (const QVariant& entry : feedback->jumps()) {
                const QVariantMap jump = entry.toMap();
                auto& shown = shownJumps[jump.value("serial").toString()];
                const QPair<int, double> now(jump.value("jumps").toInt(), jump.value("heightCm").toDouble());
                if (now.first > 0 && (shown.isEmpty() || shown.last() != now))
                    shown.append(now);
            }
        };
        // Goes first at the end, with the look still queued on it.
        QObject watcher;
        connect(feedback, &LiveFeedback::changed, &watcher, [&] {
            if (!pending) {
                pending = true;
                QMetaObject::invokeMethod(&watcher, look, Qt::QueuedConnection);
            }
        });

        rig.live.startLiveStream();
        QVERIFY(rig.pumpUntil([&] { return a->isStreaming() && b->isStreaming(); }));
        for (int step = 0; step < 700; ++step) {
            clock->advanceMs(10);
            QTest::qWait(step % 20 == 0 ? 20 : 1);
        }
        rig.live.stopLiveStream();
        QVERIFY(rig.pumpUntil([&] { return !a->isStreaming() && !b->isStreaming() && rig.liveSettled(); }));
        QTest::qWait(20);

        QCOMPARE(feet.value("4b560001"), QString("left"));
        QCOMPARE(feet.value("4b560002"), QString("right"));
        Measurement* measurement = rig.measurements.getMeasurementOnHostById(rig.live.liveMeasurementId());
        QVERIFY(measurement != nullptr);
        const QVariantList storedJumps = rig.measurements.jumpHeights(QString::number(measurement->getMeasurementID(), 16))
                                             .value("jumps").toList();
        for (const quint64 serial : {kA, kB}) {
            const QString name = QString::number(serial, 16);
            // Each step once, with the contact time its stored samples end on.
            QList<QPair<int, double>> expected;
            for (const StepSeries::Step& step : StepSeries::fromTrackList(measurement->getTrackList(serial)))
                expected.append({ expected.size() + 1, step.contactMs });
            QVERIFY2(expected.size() >= 10, qPrintable(QString::number(expected.size())));
            QCOMPARE(shownContacts.value(name), expected);
            QList<QPair<int, double>> jumps;
            for (const QVariant& jump : storedJumps) {
                if (jump.toMap().value("serial").toString() == name)
                    jumps.append({ jumps.size() + 1, jump.toMap().value("heightCm").toDouble() });
            }
            QVERIFY2(jumps.size() >= 2, qPrintable(QString::number(jumps.size())));
            QCOMPARE(shownJumps.value(name), jumps);
        }

        // A new live view starts with empty digits.
        rig.live.startLiveStream();
        for (const QVariant& foot : feedback->feet())
            QCOMPARE(foot.toMap().value("steps").toInt(), 0);
        QVERIFY(feedback->jumps().isEmpty() || feedback->jumps().first().toMap().value("jumps").toInt() == 0);
        rig.live.stopLiveStream();
    }

    void aSilentSensorIsNotFloodedWithStateQueries()
    {
        LiveRig rig;
        auto clock = std::make_shared<ManualClock>();
        QSharedPointer<SimulatedSensor> a = rig.plug(kA, clock);
        QVERIFY(rig.pumpUntil([&] { return rig.online(kA) && rig.settled(); }));
        a->faults().dropTokens["<GetTopState>"] = -1;
        for (int tick = 0; tick < 6; ++tick) {
            rig.live.StreamKeepAlive();
            QTest::qWait(10);
        }
        int queries = 0;
        for (const QList<Message*>* list : {rig.live.scheduledMessages(kA), rig.live.activeMessages(kA)}) {
            for (Message* message : *list)
                queries += qobject_cast<GetTopState*>(message) != nullptr ? 1 : 0;
        }
        QCOMPARE(queries, 1);
        QCOMPARE(a->requestCount("<GetTopState>") - 1, 1); // the setup's own query came before
    }

    void withoutSensorsAStreamStillGetsItsMeasurementAndKeepAlive()
    {
        LiveRig rig;
        QSignalSpy started(&rig.live, &LiveController::liveStreamStarted);
        rig.live.startLiveStream();
        QVERIFY(rig.live.liveMeasurementId() != 0);
        QVERIFY(rig.measurements.getMeasurementOnHostById(rig.live.liveMeasurementId()));
        QVERIFY(rig.live.isStreaming());
        QCOMPARE(started.count(), 0);
        rig.live.stopLiveStream();
        QVERIFY(!rig.live.isStreaming());
    }
};

QTEST_GUILESS_MAIN(TestLiveWorkflow)
#include "tst_liveworkflow.moc"
