#include "Application/NotificationHub.h"
#include "Data/Measurement.h"
#include "Data/MeasurementsModel.h"
#include "Data/QualityFile.h"
#include "Data/Store.h"
#include "Data/Track.h"
#include "Data/TrackList.h"
#include "Protocol/DeleteFlashBlock.h"
#include "Workflows/LiveController.h"

#include "FlashRecording.h"
#include "ManualClock.h"
#include "RequestLog.h"
#include "SimFlash.h"
#include "UploadRig.h"
#include "WireBytes.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using sensorsim::ManualClock;
using sensorsim::RequestRecord;
using sensorsim::SensorSettings;
using sensorsim::SimFlash;
using sensorsim::SimulatedSensor;
using sensorsim::TableEntry;
using sensorsim::TrackEntry;

namespace {

const quint64 kA = 0x4b560011; // on a cable
const quint64 kB = 0x4b560012; // over Bluetooth

// Two axes, a down-sampled axis, the fusion quaternion and the battery.
const QVector<TrackEntry> kTracks {{0x110, 1, 1, 4}, {0x111, 1, 1, 4}, {0x122, 2, 1, 4}, {0x140, 1, 1, 2}, {0x310, 10, 1, 0}};

// The first data page asked for after the first `skip` requests: neither
// the table nor the recording's header page.
quint32 firstDataRequest(const SimulatedSensor& sensor, int skip, quint64 id);

QString hex(quint64 value)
{
    return QString::number(value, 16);
}

void configure(SimulatedSensor& sensor, quint16 frequency)
{
    SensorSettings settings;
    settings.tracks = kTracks;
    settings.baseFrequency = frequency;
    sensor.setSettings(settings);
}

FlashRecording recordingOf(const SimulatedSensor& sensor, quint64 id)
{
    for (const TableEntry& entry : sensor.tableEntries()) {
        if (entry.measurementId == id)
            return FlashRecording::read(sensor, entry, sensor.settings().tracks);
    }
    return FlashRecording();
}

// The packed addresses of the page requests that followed the request log's
// first `skip` entries, in order (a run of pages gives its first address).
QList<quint32> pageRequests(const SimulatedSensor& sensor, int skip)
{
    QList<quint32> addresses;
    const QVector<RequestRecord>& log = sensor.requestLog();
    for (int i = skip; i < log.size(); ++i) {
        const RequestRecord& record = log.at(i);
        if ((record.token == "<GetFlashPage>" || record.token == "<GetFlashPages>") && record.payload.size() >= 4)
            addresses.append(quint32(quint8(record.payload[0])) << 24 | quint32(quint8(record.payload[1])) << 16
                             | quint32(quint8(record.payload[2])) << 8 | quint8(record.payload[3]));
    }
    return addresses;
}

quint32 firstDataRequest(const SimulatedSensor& sensor, int skip, quint64 id)
{
    QList<quint32> requested = pageRequests(sensor, skip);
    requested.removeAll(SimFlash::pack(0, 1, 0));
    for (const TableEntry& entry : sensor.tableEntries()) {
        if (entry.measurementId == id)
            requested.removeAll(entry.start);
    }
    return requested.value(0, 0);
}

// An 8 s recording (about 70 pages) on a 100 kB/s cable, whose upload is
// cut by pulling the cable once about a third has arrived.
QSharedPointer<SimulatedSensor> uploadAndPullAThirdIn(UploadRig& rig, quint64 id)
{
    QSharedPointer<SimulatedSensor> sensor = rig.plug(kA);
    configure(*sensor, 500);
    if (!sensor->addRecordedMeasurement(id, 8.0))
        return nullptr;
    sensor->faults().bytesPerSecond = 100000;
    QSignalSpy progress(&rig.upload, &UploadController::uploadProgress);
    if (!rig.pumpUntil([&] { return rig.ready(kA) && rig.settled(); }))
        return nullptr;
    rig.upload.uploadMeasurement(hex(id));
    if (!rig.pumpUntil([&] { return UploadRig::progress(progress, kA) >= 0.3; }))
        return nullptr;
    rig.linkOf[kA]->unplug();
    if (!rig.pumpUntil([&] { return !rig.online(kA); }))
        return nullptr;
    return sensor;
}

} // namespace

class TestUploadWorkflow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { Store::drop(); }

    void recordingOnTwoSensorsIsUploadedSampleForSample()
    {
        UploadRig rig;
        auto clock = std::make_shared<ManualClock>();
        QSharedPointer<SimulatedSensor> a = rig.plug(kA, clock);
        QSharedPointer<SimulatedSensor> b = rig.plug(kB, clock, "bluetooth");
        configure(*a, 500);
        configure(*b, 500);
        QVERIFY(rig.pumpUntil([&] { return rig.ready(kA) && rig.ready(kB) && rig.settled(); }));

        rig.upload.startRecording();
        QVERIFY(rig.pumpUntil([&] { return a->isRecording() && b->isRecording(); }));
        for (int step = 0; step < 300; ++step) {
            clock->advanceMs(10);
            QTest::qWait(step % 30 == 0 ? 5 : 0);
        }
        rig.upload.stopRecording();
        QVERIFY(rig.pumpUntil([&] { return !a->isRecording() && !b->isRecording() && rig.uploadSettled(); }));
        const quint64 id = a->measurementId();
        QCOMPARE(b->measurementId(), id);
        QVERIFY(rig.measurements.getMeasurementOnHostById(id));
        QVERIFY(a->requestLog().size() > 0);

        QSignalSpy progress(&rig.upload, &UploadController::uploadProgress);
        QSignalSpy pages(&rig.upload, &UploadController::pagesToUploadChanged);
        rig.upload.uploadMeasurement(hex(id));
        QVERIFY(rig.pumpUntil([&] { return rig.uploaded(kA, id) && rig.uploaded(kB, id); }));
        QVERIFY(rig.pumpUntil([&] { return !rig.upload.isCheckingPendingUploads(); }, 3000));

        Measurement* host = rig.measurements.getMeasurementOnHostById(id);
        for (const auto& sensor : {a, b}) {
            const FlashRecording recorded = recordingOf(*sensor, id);
            QVERIFY2(recorded.samples() > 3000, qPrintable(QString::number(recorded.samples())));
            const QString fault = recorded.compare(host->getTrackList(sensor->serial()));
            QVERIFY2(fault.isEmpty(), qPrintable(hex(sensor->serial()) + ": " + fault));
            QCOMPARE(UploadRig::progress(progress, sensor->serial()), 1.0);
        }
        // Progress only grows; the pages left run down to none.
        double last = 0.0;
        for (const QList<QVariant>& report : progress) {
            if (report.at(0).toString() != hex(kA))
                continue;
            QVERIFY(report.at(2).toDouble() >= last);
            last = report.at(2).toDouble();
        }
        QVERIFY(!pages.isEmpty());
        QCOMPARE(pages.last().at(0).toInt(), 0);
        QCOMPARE(rig.upload.pagesToUpload(), 0);
        // Bluetooth asks for runs of pages; both sensors recorded from the
        // feature switch.
        QVERIFY(b->requestCount("<GetFlashPages>") > 0);
        for (const auto& sensor : {a, b})
            QCOMPARE(RequestLog::featureRequests(*sensor),
                     QList<QByteArray>({WireBytes::bytes({6, 1}), WireBytes::bytes({6, 0})}));

        // What was uploaded is there after a restart.
        WorkflowRig restarted(rig.storage.path());
        restarted.loadStoredMeasurements();
        Measurement* again = restarted.measurements.getMeasurementOnHostById(id);
        QVERIFY(again);
        again->loadMeasurementDataFromDisk();
        for (const auto& sensor : {a, b}) {
            QVERIFY(again->uploadFromDeviceComplete(sensor->serial()));
            const QString fault = recordingOf(*sensor, id).compare(again->getTrackList(sensor->serial()));
            QVERIFY2(fault.isEmpty(), qPrintable("reloaded " + hex(sensor->serial()) + ": " + fault));
        }
    }

    void pendingUploadsFollowTheTables()
    {
        UploadRig rig;
        QSharedPointer<SimulatedSensor> a = rig.plug(kA);
        QSharedPointer<SimulatedSensor> b = rig.plug(kB);
        const quint64 x = 0x1001, y = 0x1002, z = 0x1003;
        QVERIFY(a->addRecordedMeasurement(x, 1.0) && a->addRecordedMeasurement(y, 1.0));
        QVERIFY(b->addRecordedMeasurement(z, 1.0));
        QVERIFY(rig.pumpUntil([&] { return rig.ready(kA) && rig.ready(kB) && rig.settled(); }));
        // A new sensor says who it is before its table is read.
        const QList<QByteArray> first = a->requestTokens().mid(0, 4);
        QCOMPARE(first, QList<QByteArray>({"<GetSerial>", "<GetTopState>", "<GetFirmware>", "<GetFlashPage>"}));
        QVERIFY(rig.measurements.findMeasurementOnDevice(kA, y) && rig.measurements.findMeasurementOnDevice(kB, z));
        const int before = a->requestLog().size();

        // B does not hold x: its entry goes; x twice and y once for A, and
        // the one scheduled last goes first.
        rig.upload.uploadMeasurement(hex(x));
        rig.upload.scheduleUpload(kA, y);
        rig.upload.scheduleUpload(kA, y);
        QCOMPARE(rig.upload.pendingUploads(kA), QList<quint64>({y, y, x}));
        QVERIFY(rig.pumpUntil([&] { return rig.uploaded(kA, x) && rig.uploaded(kA, y); }));
        QVERIFY(rig.pumpUntil([&] { return !rig.upload.isCheckingPendingUploads(); }, 3000));
        QVERIFY(rig.upload.pendingUploads(kB).isEmpty());
        QVERIFY(!rig.measurements.getMeasurementOnHostById(x)->getDevicesInMeasurement().contains(kB));

        const TableEntry entryX = a->tableEntries().at(0);
        const TableEntry entryY = a->tableEntries().at(1);
        const QList<quint32> requested = pageRequests(*a, before);
        QCOMPARE(requested.count(entryY.start), 1);
        QCOMPARE(requested.count(entryX.start), 1);
        QVERIFY(requested.indexOf(entryY.start) < requested.indexOf(entryX.start));
        for (const quint64 id : {x, y}) {
            const QString fault = recordingOf(*a, id).compare(rig.measurements.getMeasurementOnHostById(id)->getTrackList(kA));
            QVERIFY2(fault.isEmpty(), qPrintable(hex(id) + ": " + fault));
        }
    }

    // The sensor goes away twice in the middle of an upload: the first time
    // it comes back in the same run, the second time after a restart.
    void anInterruptedUploadKeepsItsPagesAndGoesOnWhereItStopped()
    {
        QTemporaryDir folder;
        QSharedPointer<SimulatedSensor> sensor;
        const quint64 id = 0x2002;
        int storedBeforeRestart = 0;
        quint32 progressBeforeRestart = 0;
        {
            UploadRig rig(folder.path());
            QSignalSpy progress(&rig.upload, &UploadController::uploadProgress);
            // A sensor that goes away is not a failed upload: it goes on.
            QSignalSpy failed(&rig.upload, &UploadController::uploadFailed);
            sensor = uploadAndPullAThirdIn(rig, id);
            QVERIFY(sensor);
            // What arrived is on disk.
            Measurement* host = rig.measurements.getMeasurementOnHostById(id);
            QVERIFY(!host->uploadFromDeviceComplete(kA));
            const quint32 progressAddress = host->getLastUploadAddress(kA);
            {
                WorkflowRig peek(folder.path());
                peek.loadStoredMeasurements();
                Measurement* stored = peek.measurements.getMeasurementOnHostById(id);
                QVERIFY(stored);
                QCOMPARE(stored->getLastUploadAddress(kA), progressAddress);
                stored->loadMeasurementDataFromDisk();
                QVERIFY(stored->getTrackList(kA)->getTrackById(0x110)->numberOfSamples() > 500);
            }

            // Back in the same run: it goes on by itself from the page stored last.
            const int requestsBefore = sensor->requestLog().size();
            rig.plugAgain(sensor);
            QVERIFY(rig.pumpUntil([&] { return UploadRig::progress(progress, kA) >= 0.6; }));
            QCOMPARE(firstDataRequest(*sensor, requestsBefore, id), progressAddress);
            QCOMPARE(failed.count(), 0);

            rig.linkOf[kA]->unplug();
            QVERIFY(rig.pumpUntil([&] { return !rig.online(kA); }));
            host = rig.measurements.getMeasurementOnHostById(id);
            progressBeforeRestart = host->getLastUploadAddress(kA);
            storedBeforeRestart = host->getTrackList(kA)->getTrackById(0x110)->numberOfSamples();
        }

        {
            // A new start knows nothing pending; asked again, the upload
            // goes on from the stored progress, on top of the stored samples
            // (a quaternion track among them).
            UploadRig rig(folder.path());
            rig.loadStoredMeasurements();
            const int requestsBefore = sensor->requestLog().size();
            rig.plugAgain(sensor);
            QVERIFY(rig.pumpUntil([&] { return rig.ready(kA) && rig.settled(); }));
            QSignalSpy complete(&rig.upload, &UploadController::uploadComplete);
            QSignalSpy failed(&rig.upload, &UploadController::uploadFailed);
            rig.upload.uploadMeasurement(hex(id));
            QVERIFY(rig.pumpUntil([&] { return rig.uploaded(kA, id); }));
            QCOMPARE(complete.count(), 1);
            QCOMPARE(failed.count(), 0);
            QCOMPARE(firstDataRequest(*sensor, requestsBefore, id), progressBeforeRestart);
            TrackList* list = rig.measurements.getMeasurementOnHostById(id)->getTrackList(kA);
            QVERIFY(list->getTrackById(0x110)->numberOfSamples() >= storedBeforeRestart);
            const QString fault = recordingOf(*sensor, id).compare(list);
            QVERIFY2(fault.isEmpty(), qPrintable(fault));
        }

        // After another start it loads complete. Uploaded once more and cut
        // off half way, it keeps every sample it had.
        UploadRig restarted(folder.path());
        restarted.loadStoredMeasurements();
        Measurement* again = restarted.measurements.getMeasurementOnHostById(id);
        QVERIFY(again && again->uploadFromDeviceComplete(kA));
        restarted.plugAgain(sensor);
        QVERIFY(restarted.pumpUntil([&] { return restarted.ready(kA) && restarted.settled(); }));
        QSignalSpy progress(&restarted.upload, &UploadController::uploadProgress);
        restarted.upload.uploadMeasurement(hex(id));
        QVERIFY(restarted.pumpUntil([&] { return UploadRig::progress(progress, kA) >= 0.3; }));
        restarted.linkOf[kA]->unplug();
        QVERIFY(restarted.pumpUntil([&] { return !restarted.online(kA); }));
        WorkflowRig last(folder.path());
        last.loadStoredMeasurements();
        Measurement* stored = last.measurements.getMeasurementOnHostById(id);
        QVERIFY(stored);
        stored->loadMeasurementDataFromDisk();
        const QString fault = recordingOf(*sensor, id).compare(stored->getTrackList(kA));
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
    }

    // A page without samples before the stop address is a fault, not the
    // end: the upload is never reported complete, goes back to the pending
    // list with a warning naming the page, and is given up after a few
    // tries. The same recording without the hole arrives whole.
    void aBlankPageIsNeverTakenForTheEnd_data()
    {
        QTest::addColumn<bool>("hole");
        QTest::newRow("whole recording") << false;
        QTest::newRow("blank page in the middle") << true;
    }

    void aBlankPageIsNeverTakenForTheEnd()
    {
        QFETCH(bool, hole);
        UploadRig rig;
        QSharedPointer<SimulatedSensor> a = rig.plug(kA);
        configure(*a, 500);
        const quint64 id = 0x6006;
        QVERIFY(a->addRecordedMeasurement(id, 4.0)); // about 35 data pages
        const TableEntry entry = a->tableEntries().first();
        const quint32 blank = SimFlash::fromPageIndex(SimFlash::pageIndex(entry.start) + 20);
        if (hole) // a zeroed page holds empty groups only: no samples
            a->flash().program(blank, 0, QByteArray(SimFlash::kPageSize, '\0'));
        QVERIFY(rig.pumpUntil([&] { return rig.ready(kA) && rig.settled(); }));

        QSignalSpy progress(&rig.upload, &UploadController::uploadProgress);
        QSignalSpy complete(&rig.upload, &UploadController::uploadComplete);
        QSignalSpy failed(&rig.upload, &UploadController::uploadFailed);
        QSignalSpy warnings(NotificationHub::instance(), &NotificationHub::warning);
        rig.upload.uploadMeasurement(hex(id));
        QVERIFY(rig.pumpUntil([&] { return !complete.isEmpty() || !failed.isEmpty(); }, 15000));
        QVERIFY(rig.pumpUntil([&] { return !rig.upload.isCheckingPendingUploads(); }, 3000));
        Measurement* host = rig.measurements.getMeasurementOnHostById(id);
        const QString where = QStringLiteral("unit 0, block %1, page %2").arg(SimFlash::blockOf(blank)).arg(SimFlash::pageOf(blank));
        if (!hole) {
            QCOMPARE(complete.count(), 1);
            QCOMPARE(complete.first(), (QList<QVariant>{hex(kA), hex(id)}));
            QVERIFY(failed.isEmpty());
            QCOMPARE(UploadRig::progress(progress, kA), 1.0);
            QVERIFY(host->uploadFromDeviceComplete(kA));
            const QString fault = recordingOf(*a, id).compare(host->getTrackList(kA));
            QVERIFY2(fault.isEmpty(), qPrintable(fault));
            return;
        }
        QVERIFY(complete.isEmpty());
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.first().at(0).toString(), hex(kA));
        QCOMPARE(failed.first().at(1).toString(), hex(id));
        QVERIFY2(failed.first().at(2).toString().contains(where), qPrintable(failed.first().at(2).toString()));
        for (const QList<QVariant>& report : progress)
            QVERIFY(report.at(2).toDouble() < 1.0);
        // Tried again twice, each time with a warning naming sensor, measurement and page.
        QStringList retries;
        for (const QList<QVariant>& warning : warnings) {
            if (warning.at(0).toString().contains(QStringLiteral("is tried again")))
                retries << warning.at(0).toString();
        }
        QCOMPARE(retries.size(), UploadController::kMaxFruitlessAttempts - 1);
        QCOMPARE(retries.first(), QStringLiteral("Sensor %1 sent %2 of measurement %3 without data; the upload is tried again.")
                                      .arg(hex(kA).toUpper(), where, hex(id).toUpper()));
        QVERIFY(rig.upload.pendingUploads(kA).isEmpty());
        QVERIFY(!host->uploadFromDeviceComplete(kA));
        // Everything before the hole is stored, and the progress stops in front of it.
        QCOMPARE(host->getLastUploadAddress(kA), SimFlash::fromPageIndex(SimFlash::pageIndex(blank) - 1));
        const FlashRecording recorded = recordingOf(*a, id);
        const int before = int(host->getTrackList(kA)->getTrackById(0x110)->numberOfSamples());
        QVERIFY2(before > 1000 && before < int(recorded.raw.first().size()), qPrintable(QString::number(before)));
    }

    // The page named by a stored progress that is not among the stored
    // samples sends the reader back to the first page at once, even when
    // the rest of the recording would arrive before anything else ran.
    void aProgressAheadOfItsSamplesIsReadFromTheStart()
    {
        QTemporaryDir folder;
        const quint64 id = 0x7007;
        QSharedPointer<SimulatedSensor> sensor;
        quint32 claimed = 0;
        {
            UploadRig rig(folder.path());
            sensor = uploadAndPullAThirdIn(rig, id);
            QVERIFY(sensor);
            // The record claims the page before the stop page, its samples do not.
            Measurement* host = rig.measurements.getMeasurementOnHostById(id);
            claimed = SimFlash::fromPageIndex(SimFlash::pageIndex(sensor->tableEntries().first().stop) - 1);
            host->setLastUploadAddress(kA, claimed);
            QVERIFY(host->saveToDisk());
        }
        UploadRig rig(folder.path());
        rig.loadStoredMeasurements();
        sensor->faults().bytesPerSecond = 0;
        const int requestsBefore = sensor->requestLog().size();
        rig.plugAgain(sensor);
        QVERIFY(rig.pumpUntil([&] { return rig.ready(kA) && rig.settled(); }));
        QSignalSpy complete(&rig.upload, &UploadController::uploadComplete);
        rig.upload.uploadMeasurement(hex(id));
        QVERIFY(rig.pumpUntil([&] { return rig.uploaded(kA, id); }));
        QCOMPARE(complete.count(), 1);
        QList<quint32> data = pageRequests(*sensor, requestsBefore);
        data.removeAll(SimFlash::pack(0, 1, 0));
        data.removeAll(sensor->tableEntries().first().start);
        QCOMPARE(data.value(0), claimed);
        QCOMPARE(data.value(1), SimFlash::nextPage(sensor->tableEntries().first().start));
        const QString fault = recordingOf(*sensor, id).compare(rig.measurements.getMeasurementOnHostById(id)->getTrackList(kA));
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
    }

    // A list that cannot be written is a failure, never an upload done; once
    // the disk takes it again, the same upload arrives whole.
    void anUploadThatCannotBeSavedIsNeverReportedDone()
    {
        QTemporaryDir folder;
        UploadRig rig(folder.path());
        const quint64 id = 0x7008;
        QSharedPointer<SimulatedSensor> sensor = rig.plug(kA);
        configure(*sensor, 500);
        QVERIFY(sensor->addRecordedMeasurement(id, 2.0));
        QVERIFY(rig.pumpUntil([&] { return rig.ready(kA) && rig.settled(); }));
        // A folder where the list's file goes: it cannot be written.
        const QString listFile = Measurement::trackListFolder(id) + "/" + hex(id) + "_" + hex(kA) + ".ktt";
        QVERIFY(QDir().mkpath(listFile));

        QSignalSpy complete(&rig.upload, &UploadController::uploadComplete);
        QSignalSpy failed(&rig.upload, &UploadController::uploadFailed);
        QSignalSpy errors(NotificationHub::instance(), &NotificationHub::error);
        rig.upload.uploadMeasurement(hex(id));
        QVERIFY(rig.pumpUntil([&] { return failed.count() > 0 && rig.settled(); }));
        QCOMPARE(complete.count(), 0);
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.first().value(2).toString(),
                 QString("The upload of measurement 7008 from sensor 4B560011 could not be saved."));
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.first().value(0).toString(),
                 QString("The upload of measurement 7008 from sensor 4B560011 could not be saved in %1. Is the disk "
                         "full or the folder read-only?")
                     .arg(Measurement::trackListFolder(id)));
        QVERIFY(!rig.uploaded(kA, id));
        QVERIFY(rig.upload.pendingUploads(kA).isEmpty());

        QVERIFY(QDir(listFile).removeRecursively());
        rig.upload.uploadMeasurement(hex(id));
        QVERIFY(rig.pumpUntil([&] { return rig.uploaded(kA, id); }));
        QCOMPARE(complete.count(), 1);
        QCOMPARE(failed.count(), 1);
        QVERIFY(QFileInfo(listFile).isFile());
        WorkflowRig restarted(folder.path());
        restarted.loadStoredMeasurements();
        Measurement* stored = restarted.measurements.getMeasurementOnHostById(id);
        QVERIFY(stored != nullptr && stored->uploadFromDeviceComplete(kA));
        stored->loadMeasurementDataFromDisk();
        const QString fault = recordingOf(*sensor, id).compare(stored->getTrackList(kA));
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
    }

    void anUploadOverALossyLineArrivesWhole()
    {
        UploadRig rig;
        QSharedPointer<SimulatedSensor> a = rig.plug(kA, nullptr, "bluetooth");
        configure(*a, 500);
        const quint64 id = 0x5005;
        QVERIFY(a->addRecordedMeasurement(id, 8.0));
        QVERIFY(rig.pumpUntil([&] { return rig.ready(kA) && rig.settled(); }));
        // Lost and refused replies and noise; bytes that arrive are intact,
        // as the links themselves see to.
        sensorsim::SensorFaults faults = WorkflowRig::poorLine();
        faults.corruptProbability = 0.0;
        faults.replyJitterMs = 20;
        faults.pageRunCutProbability = 0.5; // runs of pages that break off after a random page
        a->setFaults(faults);
        rig.upload.uploadMeasurement(hex(id));
        QVERIFY(rig.pumpUntil([&] { return rig.uploaded(kA, id); }, 60000));
        const QString fault = recordingOf(*a, id).compare(rig.measurements.getMeasurementOnHostById(id)->getTrackList(kA));
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
        int cut = 0;
        for (const RequestRecord& record : a->requestLog())
            cut += record.outcome == RequestRecord::Cut ? 1 : 0;
        QVERIFY2(cut >= 2, qPrintable(QString::number(cut))); // the broken runs did happen
    }

    // A recording that lost samples 700..849 on the sensor, fetched over a
    // cable that loses two page replies and gets one page request refused:
    // the figures kept beside it count exactly that.
    void theQualityFiguresCountWhatWentMissingAndWhatWasAskedAgain()
    {
        UploadRig rig;
        QSharedPointer<SimulatedSensor> a = rig.plug(kA);
        configure(*a, 500);
        const quint64 id = 0x5006;
        QVERIFY(a->addRecordedMeasurement(id, 4.0, 700, 150));
        QVERIFY(rig.pumpUntil([&] { return rig.ready(kA) && rig.settled(); }));
        const int skip = a->requestLog().size();
        const auto count = [&](RequestRecord::Outcome outcome) {
            int n = 0;
            for (int i = skip; i < a->requestLog().size(); ++i)
                n += a->requestLog().at(i).outcome == outcome ? 1 : 0;
            return n;
        };
        // One after the other: a refusal that is dropped as well never
        // reaches the host.
        a->faults().dropTokens["<GetFlashPages>"] = 2;
        rig.upload.uploadMeasurement(hex(id));
        QVERIFY(rig.pumpUntil([&] { return count(RequestRecord::Dropped) == 2; }));
        a->faults().nokTokens["<GetFlashPages>"] = 1;
        QVERIFY(rig.pumpUntil([&] { return rig.uploaded(kA, id); }, 60000));
        QCOMPARE(count(RequestRecord::Dropped), 2);
        QCOMPARE(count(RequestRecord::Refused), 1);

        // 2000 samples at 500 Hz in three channels at every sample, one at
        // every second and the battery at every tenth: 7200 expected; the
        // gap takes 150, 150, 150, 75 and 15 of them.
        const FlashRecording recording = recordingOf(*a, id);
        QCOMPARE(recording.samples(), 7200 - 540);
        const DataQuality quality = QualityFile::read(id).value(kA);
        QCOMPARE((QList<qint64> { quality.expected, quality.stored, quality.gaps, quality.longestGap,
                                  quality.maskFailures, quality.timedOut, quality.refused, quality.retried }),
                 (QList<qint64> { 7200, 7200 - 540, 1, 150, 0, 2, 1, 3 }));
        // The recording was not made by this host, so its base frequency is
        // not known here: the gap's 150 samples are timed at 1000 Hz.
        const QVariantMap summary = rig.measurements.dataQuality(hex(id));
        QCOMPARE(summary.value("level").toString(), QString("poor"));
        QCOMPARE(summary.value("text").toString(),
                 QString("Sensor 4B560011: 6,660 of 7,200 samples (92.50 %)\n1 gap, 150 ms long\n"
                         "Requests: 3 asked again, 2 timed out, 1 refused"));
    }

    // A sensor on a cable and over Bluetooth: its pages come over the
    // cable, everything else goes the usual way, over Bluetooth.
    void pagesComeOverTheCableWhenASensorHasBoth()
    {
        UploadRig rig;
        QSharedPointer<SimulatedSensor> a = rig.plug(kA);
        rig.plugSecondLink(a, "bluetooth");
        configure(*a, 500);
        const quint64 id = 0x8008;
        QVERIFY(a->addRecordedMeasurement(id, 4.0));
        QVERIFY(rig.pumpUntil([&] { return rig.ready(kA) && rig.settled(); }));
        QCOMPARE(rig.links.interfacesForSerial(kA).size(), 2);
        const int before = a->requestLog().size();
        rig.upload.uploadMeasurement(hex(id));
        rig.upload.requestDeviceState(kA);
        QVERIFY(rig.pumpUntil([&] { return rig.uploaded(kA, id) && rig.uploadSettled(); }));
        QMap<QByteArray, QSet<int>> ports;
        for (int i = before; i < a->requestLog().size(); ++i)
            ports[a->requestLog().at(i).token].insert(int(a->requestLog().at(i).port));
        QCOMPARE(ports.value("<GetFlashPages>"), QSet<int>({int(sensorsim::Port::Cable)}));
        QCOMPARE(ports.value("<GetTopState>"), QSet<int>({int(sensorsim::Port::Bluetooth)}));
        const QString fault = recordingOf(*a, id).compare(rig.measurements.getMeasurementOnHostById(id)->getTrackList(kA));
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
    }

    void stoppingARecordingComesBeforeTheUploadItInterrupts()
    {
        UploadRig rig;
        QSharedPointer<SimulatedSensor> a = rig.plug(kA);
        configure(*a, 500);
        const quint64 id = 0x3003;
        QVERIFY(a->addRecordedMeasurement(id, 6.0));
        a->faults().bytesPerSecond = 100000;
        QVERIFY(rig.pumpUntil([&] { return rig.ready(kA) && rig.settled(); }));
        QSignalSpy progress(&rig.upload, &UploadController::uploadProgress);
        rig.upload.uploadMeasurement(hex(id));
        QVERIFY(rig.pumpUntil([&] { return UploadRig::progress(progress, kA) >= 0.2; }));

        const int before = a->requestLog().size();
        rig.upload.stopRecording();
        QVERIFY(rig.pumpUntil([&] { return rig.uploaded(kA, id); }));
        const QList<QByteArray> tokens = a->requestTokens().mid(before);
        QCOMPARE(tokens.value(0), QByteArray("<SetFeature>"));
        QCOMPARE(a->requestLog().at(before).payload, WireBytes::bytes({6, 0}));
        const QString fault = recordingOf(*a, id).compare(rig.measurements.getMeasurementOnHostById(id)->getTrackList(kA));
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
    }

    void eraseWalksTheBlocksAndCountsThem()
    {
        UploadRig rig;
        QSharedPointer<SimulatedSensor> a = rig.plug(kA);
        QVERIFY(a->addRecordedMeasurement(0x4004, 60.0)); // blocks 2 and 3
        QVERIFY(rig.pumpUntil([&] { return rig.ready(kA) && rig.settled(); }));
        QSignalSpy tasks(&rig.upload, &AppController::numberOfMessagesChanged);

        rig.upload.deleteAllDataBlocks();
        const QList<Message*> queued = rig.upload.allScheduledMessages() + *rig.upload.activeMessages(kA);
        QCOMPARE(queued.size(), 1);
        QVERIFY(qobject_cast<DeleteFlashBlock*>(queued.first()));
        // 256 per block left, from unit 0 block 1 to unit 1 block 4095.
        QCOMPARE(tasks.last().at(0).toInt(), int(SimFlash::pack(1, 4095, 0) - SimFlash::pack(0, 1, 0)));
        rig.upload.FlushAllMessages();

        const int before = a->requestLog().size();
        QVERIFY(rig.upload.scheduleMessage(new DeleteFlashBlock(kA, FlashAddress(0, 2, 0), FlashAddress(0, 4, 0)), false));
        QVERIFY(rig.pumpUntil([&] { return rig.uploadSettled(); }));
        QList<QByteArray> erased;
        for (int i = before; i < a->requestLog().size(); ++i) {
            if (a->requestLog().at(i).token == "<DeleteBlock>")
                erased.append(a->requestLog().at(i).payload);
        }
        QCOMPARE(erased, QList<QByteArray>({WireBytes::bytes({0, 0, 2, 0}), WireBytes::bytes({0, 0, 3, 0}),
                                           WireBytes::bytes({0, 0, 4, 0})}));
        QVERIFY(a->flash().isBlockErased(0, 2) && a->flash().isBlockErased(0, 3));
        QCOMPARE(tasks.last().at(0).toInt(), 0);
    }

    // A recording keeps the live view and a setup away; once stopped, the
    // sensor's card lists it and follows its upload.
    void aRecordingRunsAloneAndItsCardFollowsTheUpload()
    {
        UploadRig rig;
        LiveController live {nullptr, &rig.devices, &rig.measurements, &rig.state};
        rig.upload.setLiveViewQuery([&] { return live.isStreaming(); });
        live.setRecordingQuery([&] { return rig.upload.isRecording(); });
        rig.setup.setRecordingQuery([&] { return rig.upload.isRecording(); });
        QSharedPointer<SimulatedSensor> a = rig.plug(kA);
        configure(*a, 500);
        a->faults().bytesPerSecond = 200000;
        QVERIFY(rig.pumpUntil([&] { return rig.ready(kA) && rig.settled(); }));
        QSignalSpy warnings(NotificationHub::instance(), &NotificationHub::warning);
        QSignalSpy setupFailed(&rig.setup, &SetupController::setupFailed);
        QSignalSpy stopped(&rig.upload, &UploadController::recordingStopped);

        const QString id = rig.upload.startRecording();
        QVERIFY(rig.upload.isRecording());
        QVERIFY(rig.pumpUntil([&] { return a->isRecording(); }));
        QCOMPARE(hex(a->measurementId()), id);
        QCOMPARE(rig.upload.startRecording(), QString());
        QCOMPARE(warnings.last().at(0).toString(), QStringLiteral("Stop the recording before you start a new one."));

        live.startLiveStream();
        QCOMPARE(warnings.last().at(0).toString(), QStringLiteral("Stop the recording before you start the live view."));
        rig.setup.prepareForSetup();
        QCOMPARE(warnings.last().at(0).toString(), QStringLiteral("Stop the recording before you set the sensors up."));
        QCOMPARE(setupFailed.count(), 1);
        QVERIFY(!rig.setup.isRunning());
        QTest::qWait(50);
        QVERIFY(!live.isStreaming() && !a->isStreaming());
        QCOMPARE(hex(a->measurementId()), id);
        QCOMPARE(a->requestCount("<SetMeasID>"), 1);
        QCOMPARE(a->requestCount("<ResetTracks>"), 0);

        for (int step = 0; step < 40; ++step)
            QTest::qWait(20);
        rig.upload.stopRecording();
        QVERIFY(rig.pumpUntil([&] { return !stopped.isEmpty(); }));
        QCOMPARE(stopped.first().at(0).toString(), id);
        QVERIFY(!rig.upload.isRecording() && !a->isRecording());
        MeasurementsModel* card = rig.measurements.getMeasurementsOnDeviceModel(kA);
        QVERIFY(rig.pumpUntil([&] { return card->rowCount() == 1; }));
        const QModelIndex row = card->index(0, 0);
        QCOMPARE(card->data(row, MeasurementsModel::MeasurementIDRole).toString(), id);
        QCOMPARE(card->data(row, MeasurementsModel::UploadStateRole).toString(), QStringLiteral("not uploaded"));
        QCOMPARE(card->data(row, MeasurementsModel::OnHostRole).toBool(), false);

        // The card follows the upload, each state once.
        QStringList states;
        connect(card, &QAbstractItemModel::dataChanged, this, [&](const QModelIndex& changed) {
            states << card->data(changed, MeasurementsModel::UploadStateRole).toString()
                   + (card->data(changed, MeasurementsModel::OnHostRole).toBool() ? " on host" : "");
        });
        QSignalSpy complete(&rig.upload, &UploadController::uploadComplete);
        rig.upload.uploadMeasurement(id);
        QVERIFY(rig.pumpUntil([&] { return complete.count() == 1; }));
        QCOMPARE(states, QStringList({"partly uploaded on host", "uploaded on host"}));
        QCOMPARE(card->data(row, MeasurementsModel::UploadStateRole).toString(), QStringLiteral("uploaded"));
        QCOMPARE(card->roleNames().value(MeasurementsModel::UploadStateRole), QByteArray("UploadState"));
        QCOMPARE(card->roleNames().value(MeasurementsModel::OnHostRole), QByteArray("OnHost"));

        // Once the recording is over, the live view may start; it refuses a
        // recording in turn.
        live.startLiveStream();
        QVERIFY(live.isStreaming());
        QVERIFY(rig.pumpUntil([&] { return a->isStreaming(); }));
        QCOMPARE(hex(a->measurementId()), QString::number(live.liveMeasurementId(), 16));
        QVERIFY(hex(a->measurementId()) != id);
        QCOMPARE(rig.upload.startRecording(), QString());
        QCOMPARE(warnings.last().at(0).toString(), QStringLiteral("Stop the live view before you start a recording."));
        live.stopLiveStream();
        QVERIFY(!live.isStreaming());
        QVERIFY(rig.pumpUntil([&] { return !a->isStreaming(); }));
    }

    // An erase ends complete only when every block of every sensor is
    // confirmed; a sensor lost on the way ends it as failed. Either way
    // the sensors still there have their tables read again.
    void eraseReportsItsOutcome_data()
    {
        QTest::addColumn<bool>("unplugB");
        QTest::newRow("complete") << false;
        QTest::newRow("sensor lost") << true;
    }

    void eraseReportsItsOutcome()
    {
        QFETCH(bool, unplugB);
        UploadRig rig;
        QSharedPointer<SimulatedSensor> a = rig.plug(kA);
        QSharedPointer<SimulatedSensor> b = rig.plug(kB);
        QVERIFY(a->addRecordedMeasurement(0x4004, 2.0) && b->addRecordedMeasurement(0x4005, 2.0));
        QVERIFY(rig.pumpUntil([&] { return rig.ready(kA) && rig.ready(kB) && rig.settled(); }));
        MeasurementsModel* cardA = rig.measurements.getMeasurementsOnDeviceModel(kA);
        QCOMPARE(cardA->rowCount(), 1);
        QSignalSpy complete(&rig.upload, &UploadController::eraseComplete);
        QSignalSpy failed(&rig.upload, &UploadController::eraseFailed);
        const int tableReads = a->requestCount("<GetFlashPage>");
        QList<double> progress;
        connect(&rig.upload, &UploadController::eraseProgressChanged, this,
                [&] { progress.append(rig.upload.eraseProgress()); });

        rig.upload.deleteAllDataBlocks();
        QVERIFY(rig.upload.isErasing());
        if (unplugB) {
            QVERIFY(rig.pumpUntil([&] { return a->flash().isBlockErased(0, 1) && b->flash().isBlockErased(0, 1); }));
            rig.linkOf[kB]->unplug();
        }
        QVERIFY(rig.pumpUntil([&] { return !rig.upload.isErasing(); }, 120000));
        // The tables are read again after the erase; the cards follow them.
        MeasurementsModel* cardB = rig.measurements.getMeasurementsOnDeviceModel(kB);
        QVERIFY(rig.pumpUntil([&] {
            return rig.uploadSettled() && rig.upload.hasReadTable(kA) && cardA->rowCount() == 0
                && (unplugB || cardB->rowCount() == 0);
        }));
        if (unplugB) {
            QVERIFY(complete.isEmpty());
            QCOMPARE(failed.count(), 1);
            QCOMPARE(failed.first(), (QList<QVariant>{hex(kB), QStringLiteral("Sensor %1 was lost during the erase.").arg(hex(kB).toUpper())}));
            QVERIFY(rig.upload.eraseProgress() < 1.0);
        } else {
            QCOMPARE(complete.count(), 1);
            QCOMPARE(complete.first().at(0).toInt(), 2);
            QVERIFY(failed.isEmpty());
            QCOMPARE(rig.upload.eraseProgress(), 1.0);
            QVERIFY(a->flash().isBlockErased(1, 4095) && b->flash().isBlockErased(1, 4095));
            QCOMPARE(rig.measurements.getMeasurementsOnDeviceModel(kB)->rowCount(), 0);
        }
        // It only grows, and says 1 only at the end of a complete erase.
        QVERIFY(progress.size() > 2);
        for (int i = 1; i < progress.size(); ++i)
            QVERIFY(progress.at(i) >= progress.at(i - 1));
        QCOMPARE(progress.count(1.0), unplugB ? 0 : 1);
        if (!unplugB)
            QCOMPARE(progress.last(), 1.0);
        // The table of A was read again after the erase, and lists nothing.
        QCOMPARE(a->requestCount("<GetFlashPage>"), tableReads + 1);
        QCOMPARE(a->requestLog().last().token, QByteArray("<GetFlashPage>"));
        QCOMPARE(cardA->rowCount(), 0);

        // An upload asked for after the erase finds the recording nowhere:
        // it is said so once, and nothing is called uploaded. (A sensor
        // that is away might still hold it: its part waits for it.)
        if (unplugB)
            return;
        QSignalSpy warnings(NotificationHub::instance(), &NotificationHub::warning);
        QSignalSpy uploaded(&rig.upload, &UploadController::uploadComplete);
        rig.upload.uploadMeasurement(hex(0x4004));
        QVERIFY(rig.pumpUntil([&] { return !warnings.isEmpty() && rig.uploadSettled(); }));
        QCOMPARE(warnings.count(), 1);
        QCOMPARE(warnings.first().first().toString(),
                 QString("No sensor holds recording 4004 any more, so it cannot be uploaded."));
        QVERIFY(uploaded.isEmpty());
        QCOMPARE(rig.upload.pagesToUpload(), 0);
    }

    // Sensors picked while one blinks wait for their turn; each gets the
    // whole cycle, and a sensor lost before its turn is skipped.
    void identifyRunsTheColourRoundTwiceOnEachSensorInTurn_data()
    {
        QTest::addColumn<bool>("loseB");
        QTest::newRow("both there") << false;
        QTest::newRow("second lost before its turn") << true;
    }

    void identifyRunsTheColourRoundTwiceOnEachSensorInTurn()
    {
        QFETCH(bool, loseB);
        UploadRig rig;
        QSharedPointer<SimulatedSensor> a = rig.plug(kA);
        QSharedPointer<SimulatedSensor> b = rig.plug(kB);
        QVERIFY(rig.pumpUntil([&] { return rig.ready(kA) && rig.ready(kB) && rig.settled(); }));
        const int beforeA = a->requestLog().size();
        const int beforeB = b->requestLog().size();
        QSignalSpy turns(&rig.upload, &UploadController::identifyingSensor);
        QSignalSpy finished(&rig.upload, &UploadController::identifyingFinished);

        rig.upload.identifySensors({hex(kA), hex(kB)});
        rig.upload.identifySensor(hex(kB)); // already waiting: no second turn
        for (int tick = 0; tick < 10; ++tick)
            rig.upload.identifySensorSlot();
        if (loseB) {
            rig.linkOf[kB]->unplug();
            QVERIFY(rig.pumpUntil([&] { return !rig.online(kB); }));
        }
        for (int tick = 0; tick < 200 && rig.upload.isIdentifying(); ++tick)
            rig.upload.identifySensorSlot();
        QVERIFY(!rig.upload.isIdentifying());
        QVERIFY(rig.pumpUntil([&] { return rig.uploadSettled(); }));

        QStringList order;
        for (const QList<QVariant>& turn : turns)
            order << turn.at(0).toString();
        QCOMPARE(order, loseB ? QStringList({hex(kA)}) : QStringList({hex(kA), hex(kB)}));
        QCOMPARE(finished.count(), 1);

        QMap<quint64, QList<quint32>> colours;
        QMap<quint64, QList<QByteArray>> features;
        for (const auto& [sensor, from] : {std::make_pair(a, beforeA), std::make_pair(b, beforeB)}) {
            colours[sensor->serial()] = RequestLog::colourRequests(*sensor, from);
            features[sensor->serial()] = RequestLog::featureRequests(*sensor, from);
        }
        const QList<QByteArray> onOff({WireBytes::bytes({15, 1}), WireBytes::bytes({15, 0})});
        QCOMPARE(features[kA], onOff);
        QCOMPARE(features[kB], loseB ? QList<QByteArray>() : onOff);
        QCOMPARE(colours[kB].size(), loseB ? 0 : 49);
        const auto near = [](quint32 colour, quint32 expected) {
            for (int shift : {0, 8, 16}) {
                if (qAbs(int((colour >> shift) & 0xFF) - int((expected >> shift) & 0xFF)) > 2)
                    return false;
            }
            return true;
        };
        for (const quint64 serial : loseB ? QList<quint64>({kA}) : QList<quint64>({kA, kB})) {
            const QList<quint32>& cycle = colours[serial];
            QCOMPARE(cycle.size(), 49);
            QVERIFY(near(cycle.at(0), 0xFF0000));  // hue 0, red
            QVERIFY(near(cycle.at(12), 0x00FFFF)); // hue 180, cyan
            QCOMPARE(cycle.at(24), cycle.at(0));   // hue 360, red again
            QCOMPARE(cycle.at(48), cycle.at(0));   // hue 720
            QVERIFY(!cycle.contains(0u));
        }
    }
};

QTEST_GUILESS_MAIN(TestUploadWorkflow)
#include "tst_uploadworkflow.moc"
