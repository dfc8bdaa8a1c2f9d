// The long form of the reliability checks, with figures.
//
// PlugUnplugCycles: one simulated sensor plugged in and pulled out 1000 times
// through the real desktop link manager with the setup, upload and live
// workflows wired as the program wires them (each time it is asked for its
// serial, bound, asked for state and firmware, its allocation table read,
// then lost). Reports what the process holds before and after: open files,
// resident memory, links, receive buffers, serial requests, messages and
// open communication logs.
//
// UploadOnAPoorLine: a recording of 16 tracks x 1000 Hz x 60 s uploaded over
// a 1 MB/s cable with 10% of the replies lost, 5% refused and 10% of the
// runs of pages broken off after a random page, and the cable pulled once
// half way (the upload goes on by itself when it is back). The stored
// samples are compared with the recording, sample by sample. Reports the
// page data per second as a fraction of the link's byte rate.
//
// SetupOnAPoorLine: two-sensor setups of 16 commands per sensor with 10% of
// the replies lost, 5% refused, 1% of the bytes corrupted and noise before a
// quarter of the frames, each pair of sensors with its own seeds. Reports how
// many completed, how many failed, and the mean time per setup.

#include "BenchMain.h"

#include "Data/Store.h"
#include "Links/RemoteInterface.h"
#include "Protocol/GetSerial.h"
#include "Protocol/Message.h"

#include "Data/Measurement.h"
#include "Workflows/LiveController.h"

#include "FlashRecording.h"
#include "ProcessStats.h"
#include "UploadRig.h"

#include <QElapsedTimer>
#include <QSignalSpy>

#include <benchmark/benchmark.h>

namespace {

void releaseDeferred()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

static void BM_PlugUnplugCycles(benchmark::State& state)
{
    const int cycles = int(state.range(0));
    const quint64 serial = 0x4b560101;
    for (auto _ : state) {
        UploadRig rig;
        LiveController live {nullptr, &rig.devices, &rig.measurements, &rig.state};
        QSharedPointer<sensorsim::SimulatedSensor> sensor = rig.plug(serial);
        int completed = 0;
        const auto cycle = [&]() {
            if (!rig.pumpUntil([&] { return rig.ready(serial) && rig.settled(); }))
                return;
            rig.linkOf[serial]->unplug();
            releaseDeferred();
            // The simulated sensor's own request log is not the host's memory.
            sensor->clearRequestLog();
            ++completed;
        };
        cycle();
        const int filesBefore = ProcessStats::openFileCount();
        const qint64 memoryBefore = ProcessStats::residentBytes();
        const int buffersBefore = rig.links.numberOfReceiveBuffers();
        for (int i = 0; i < cycles; ++i) {
            rig.plugAgain(sensor);
            cycle();
        }
        releaseDeferred();
        state.counters["cycles_completed"] = completed - 1;
        state.counters["files_before"] = filesBefore;
        state.counters["files_after"] = ProcessStats::openFileCount();
        state.counters["rss_before_KiB"] = double(memoryBefore / 1024);
        state.counters["rss_after_KiB"] = double(ProcessStats::residentBytes() / 1024);
        state.counters["links_left"] = rig.links.findChildren<RemoteInterface*>().size()
            + rig.links.connectedIdentifiers().size() + rig.links.unconnectedIdentifiers().size();
        state.counters["requests_left"] = rig.links.findChildren<GetSerial*>().size();
        state.counters["buffers_before"] = buffersBefore;
        state.counters["buffers_after"] = rig.links.numberOfReceiveBuffers();
        state.counters["messages_left"] = rig.setup.findChildren<Message*>().size()
            + rig.upload.numberOfScheduledMessages() + rig.upload.numberOfActiveMessages()
            + live.numberOfScheduledMessages() + live.numberOfActiveMessages();
        state.counters["logs_open"] = Store::instance()->openCommLogCount();
    }
}
BENCHMARK(BM_PlugUnplugCycles)->Arg(1000)->Iterations(1)->Unit(benchmark::kSecond);

static void BM_SetupOnAPoorLine(benchmark::State& state)
{
    const int setups = int(state.range(0));
    for (auto _ : state) {
        int completed = 0;
        int failed = 0;
        qint64 totalMs = 0;
        for (int i = 0; i < setups; ++i) {
            const quint64 first = 0x4b560001 + quint64(2 * i);
            WorkflowRig rig;
            QSharedPointer<sensorsim::SimulatedSensor> a = rig.plug(first);
            QSharedPointer<sensorsim::SimulatedSensor> b = rig.plug(first + 1);
            if (!rig.pumpUntil([&] { return rig.online(first) && rig.online(first + 1) && rig.settled(); })) {
                ++failed;
                continue;
            }
            a->setFaults(WorkflowRig::poorLine());
            b->setFaults(WorkflowRig::poorLine());
            QSignalSpy done(&rig.setup, &SetupController::setupDone);
            QSignalSpy lost(&rig.setup, &SetupController::setupFailed);
            QElapsedTimer clock;
            clock.start();
            rig.startTypicalSetup();
            rig.pumpUntil([&] { return !done.isEmpty() || !lost.isEmpty(); }, 120000);
            totalMs += clock.elapsed();
            if (!done.isEmpty() && lost.isEmpty())
                ++completed;
            else
                ++failed;
        }
        state.counters["setups"] = setups;
        state.counters["completed"] = completed;
        state.counters["failed"] = failed;
        state.counters["mean_ms"] = setups > 0 ? double(totalMs) / setups : 0.0;
    }
}
BENCHMARK(BM_SetupOnAPoorLine)->Arg(20)->Iterations(1)->Unit(benchmark::kSecond);

static void BM_UploadOnAPoorLine(benchmark::State& state)
{
    const quint64 serial = 0x4b560301;
    const quint64 id = 0x7e57;
    const qint64 rate = 1000000;
    for (auto _ : state) {
        UploadRig rig;
        QSharedPointer<sensorsim::SimulatedSensor> sensor = rig.plug(serial);
        sensorsim::SensorSettings settings;
        settings.baseFrequency = 1000;
        for (const quint16 track : {0x0110, 0x0111, 0x0112, 0x0120, 0x0121, 0x0122, 0x0130, 0x0131, 0x0132, 0x0210,
                                    0x0211, 0x0212, 0x0310, 0x0311, 0x0330, 0x0340})
            settings.tracks.append({track, 1, 1, 0});
        sensor->setSettings(settings);
        if (!sensor->addRecordedMeasurement(id, 60.0)) {
            state.SkipWithError("the recording does not fit");
            return;
        }
        sensorsim::SensorFaults faults;
        faults.bytesPerSecond = rate;
        faults.replyDelayMs = 1;
        sensor->setFaults(faults);
        if (!rig.pumpUntil([&] { return rig.ready(serial) && rig.settled(); }, 30000)) {
            state.SkipWithError("the sensor did not connect");
            return;
        }
        faults.dropProbability = 0.10;
        faults.nokProbability = 0.05;
        faults.pageRunCutProbability = 0.10;
        sensor->setFaults(faults);
        const sensorsim::TableEntry entry = sensor->tableEntries().value(0);
        const qint64 pages = sensorsim::SimFlash::pageIndex(entry.stop) - sensorsim::SimFlash::pageIndex(entry.start);

        QSignalSpy progress(&rig.upload, &UploadController::uploadProgress);
        QElapsedTimer wall;
        wall.start();
        rig.upload.uploadMeasurement(QString::number(id, 16));
        // Pulled half way, and back a moment later.
        rig.pumpUntil([&] { return UploadRig::progress(progress, serial) >= 0.5; }, 120000);
        rig.linkOf[serial]->unplug();
        rig.pumpUntil([&] { return !rig.online(serial); });
        const qint64 awayFrom = wall.elapsed();
        rig.plugAgain(sensor);
        rig.pumpUntil([&] { return rig.online(serial); });
        const qint64 away = wall.elapsed() - awayFrom;
        const bool finished = rig.pumpUntil([&] { return rig.uploaded(serial, id); }, 300000);
        const double elapsed = double(wall.nsecsElapsed()) * 1e-9;
        if (!finished) {
            state.SkipWithError("the upload did not finish");
            return;
        }
        const sensorsim::TableEntry listed = sensor->tableEntries().value(0);
        const QString fault = FlashRecording::read(*sensor, listed, settings.tracks)
                                  .compare(rig.measurements.getMeasurementOnHostById(id)->getTrackList(serial));
        int dropped = 0;
        int refused = 0;
        int cut = 0;
        for (const sensorsim::RequestRecord& record : sensor->requestLog()) {
            dropped += record.outcome == sensorsim::RequestRecord::Dropped ? 1 : 0;
            refused += record.outcome == sensorsim::RequestRecord::Refused ? 1 : 0;
            cut += record.outcome == sensorsim::RequestRecord::Cut ? 1 : 0;
        }
        state.counters["pages"] = double(pages);
        state.counters["seconds"] = elapsed;
        state.counters["away_s"] = double(away) / 1000.0;
        // The time the sensor was away, and the wait for its table once it
        // was back, are not the link's fault.
        state.counters["link_fraction"] = double(pages) * 2048.0 / (elapsed * double(rate));
        state.counters["dropped"] = dropped;
        state.counters["refused"] = refused;
        state.counters["cut"] = cut;
        state.counters["samples_equal"] = fault.isEmpty() ? 1 : 0;
        if (!fault.isEmpty())
            state.SkipWithError(qPrintable("stored samples differ: " + fault));
    }
}
BENCHMARK(BM_UploadOnAPoorLine)->Iterations(1)->Unit(benchmark::kSecond);

int main(int argc, char** argv)
{
    return runQtBenchmarks(argc, argv, "korvex.*.debug=false");
}
