// Uploading a recording from a simulated sensor through the real desktop
// link manager, registry and upload workflow, as fast as the link allows.
//
// The recording: 16 tracks of 2-byte samples at 1000 Hz for 60 s (about
// 1200 pages). Two link profiles, set on the simulated sensor:
//   usb:       1,000,000 bytes/s from the sensor, replies 1 ms late;
//   bluetooth:    80,000 bytes/s, replies 30 ms late;
// each clean, and lossy: 10% of the replies lost, 5% refused, and 10% of
// the runs of pages broken off after a random page.
// Like the real links, the simulated link hands over at most 1024 bytes per
// poll.
//
// Reported per profile:
//   link_fraction   page data (2048 bytes a page) per second over the link's
//                   byte rate; wire_fraction the same with the frames' own
//                   bytes (2076 a page);
//   pages_per_s;
//   host_cpu_us_per_page: CPU time of the process per page, less what the
//                   simulated sensor itself spent (timed around its calls);
//   bytes_per_sample: resident memory the stored samples added, per sample;
//   alloc_bytes_per_sample: what the sample stores hold allocated, per sample.

#include "BenchMain.h"

#include "Data/Measurement.h"
#include "Data/Track.h"
#include "Data/TrackList.h"
#include "Protocol/UploadDataPage.h"

#include "ProcessStats.h"
#include "SimulatedLink.h"
#include "UploadRig.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QMetaObject>
#include <QSignalSpy>

#include <benchmark/benchmark.h>

#include <ctime>

namespace {

const quint64 kSerial = 0x4b560201;
const quint64 kMeasurementId = 0x600d;

double cpuSeconds(clockid_t clock)
{
    timespec now {};
    clock_gettime(clock, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// A simulated link that keeps count of the CPU time the sensor behind it
// spends, so that it can be told apart from the host's.
class TimedLink : public SimulatedLink
{
public:
    using SimulatedLink::SimulatedLink;

    QByteArray read() override
    {
        const double start = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        QByteArray bytes = SimulatedLink::read();
        sensorSeconds += cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - start;
        return bytes;
    }

    void write(QByteArray data) override
    {
        const double start = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        SimulatedLink::write(data);
        sensorSeconds += cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - start;
    }

    double sensorSeconds = 0.0;
};

sensorsim::SensorSettings sixteenTracks()
{
    sensorsim::SensorSettings settings;
    settings.baseFrequency = 1000;
    for (const quint16 id : {0x0110, 0x0111, 0x0112, 0x0120, 0x0121, 0x0122, 0x0130, 0x0131, 0x0132, 0x0210, 0x0211,
                             0x0212, 0x0310, 0x0311, 0x0330, 0x0340})
        settings.tracks.append({id, 1, 1, 0});
    return settings;
}

qint64 allocatedSampleBytes(TrackList* list, qint64& samples)
{
    qint64 bytes = 0;
    samples = 0;
    for (const Track* track : list->getAllTracks()) {
        const ScalarSampleStore& store = track->scalarSampleStore();
        bytes += qint64(store.bytes());
        samples += store.size();
    }
    return bytes;
}

} // namespace

static void BM_Upload(benchmark::State& state)
{
    const bool bluetooth = state.range(0) == 1;
    const double seconds = double(state.range(1));
    const bool lossy = state.range(2) == 1;
    const qint64 rate = bluetooth ? 80000 : 1000000;
    for (auto _ : state) {
        UploadRig rig;
        auto* link = new TimedLink(kSerial, QStringLiteral("bench"), bluetooth ? "bluetooth" : "usb", bluetooth ? 2 : 3);
        link->setMaxReadBytes(1024);
        QSharedPointer<sensorsim::SimulatedSensor> sensor = link->sharedSensor();
        sensor->setSettings(sixteenTracks());
        if (!sensor->addRecordedMeasurement(kMeasurementId, seconds)) {
            state.SkipWithError("the recording does not fit");
            return;
        }
        sensorsim::SensorFaults faults;
        faults.bytesPerSecond = rate;
        faults.replyDelayMs = bluetooth ? 30 : 1;
        sensor->setFaults(faults);
        sensorsim::SensorFaults lossyFaults = faults;
        lossyFaults.dropProbability = 0.10;
        lossyFaults.nokProbability = 0.05;
        lossyFaults.pageRunCutProbability = 0.10;
        rig.links.addDiscoveredInterface(link);
        QMetaObject::invokeMethod(&rig.links, "tryConnectDevices");
        if (!rig.pumpUntil([&] { return rig.ready(kSerial) && rig.settled(); }, 30000)) {
            state.SkipWithError("the sensor did not connect");
            return;
        }
        const sensorsim::TableEntry entry = sensor->tableEntries().value(0);
        const qint64 pages = sensorsim::SimFlash::pageIndex(entry.stop) - sensorsim::SimFlash::pageIndex(entry.start);

        if (lossy)
            sensor->setFaults(lossyFaults);
        const qint64 memoryBefore = ProcessStats::residentBytes();
        const double cpuBefore = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
        const double sensorBefore = link->sensorSeconds;
        QElapsedTimer wall;
        wall.start();
        rig.upload.uploadMeasurement(QString::number(kMeasurementId, 16));
        // The program's own event loop, looked at now and then, rather than
        // a busy wait that would count its own turns as the host's work.
        QEventLoop loop;
        QTimer check;
        QObject::connect(&check, &QTimer::timeout, &loop, [&] {
            if (rig.uploaded(kSerial, kMeasurementId) || wall.elapsed() > 600000)
                loop.quit();
        });
        check.start(20);
        loop.exec();
        if (!rig.uploaded(kSerial, kMeasurementId)) {
            state.SkipWithError("the upload did not finish");
            return;
        }
        // From the request that fetched the header to the last page: the
        // table read before it is the same for every upload.
        const double elapsed = double(wall.nsecsElapsed()) * 1e-9;
        const double hostCpu =
            cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpuBefore - (link->sensorSeconds - sensorBefore);
        const qint64 memoryAfter = ProcessStats::residentBytes();

        TrackList* list = rig.measurements.getMeasurementOnHostById(kMeasurementId)->getTrackList(kSerial);
        qint64 samples = 0;
        const qint64 allocated = allocatedSampleBytes(list, samples);

        int dropped = 0;
        int refused = 0;
        int requests = 0;
        int cut = 0;
        for (const sensorsim::RequestRecord& record : sensor->requestLog()) {
            if (record.token != "<GetFlashPage>" && record.token != "<GetFlashPages>")
                continue;
            ++requests;
            dropped += record.outcome == sensorsim::RequestRecord::Dropped ? 1 : 0;
            refused += record.outcome == sensorsim::RequestRecord::Refused ? 1 : 0;
            cut += record.outcome == sensorsim::RequestRecord::Cut ? 1 : 0;
        }
        state.counters["page_requests"] = requests;
        state.counters["dropped"] = dropped;
        state.counters["refused"] = refused;
        state.counters["cut"] = cut;
        state.counters["pages"] = double(pages);
        state.counters["seconds"] = elapsed;
        state.counters["link_fraction"] = double(pages) * UploadDataPage::kPageSize / (elapsed * double(rate));
        state.counters["wire_fraction"] = double(pages) * 2076.0 / (elapsed * double(rate));
        state.counters["pages_per_s"] = double(pages) / elapsed;
        state.counters["host_cpu_us_per_page"] = hostCpu * 1e6 / double(pages);
        state.counters["samples"] = double(samples);
        state.counters["bytes_per_sample"] = samples > 0 ? double(memoryAfter - memoryBefore) / double(samples) : 0.0;
        state.counters["alloc_bytes_per_sample"] = samples > 0 ? double(allocated) / double(samples) : 0.0;
    }
}
BENCHMARK(BM_Upload)
    ->ArgNames({"bluetooth", "seconds", "lossy"})
    ->Args({0, 60, 0})
    ->Args({1, 60, 0})
    ->Args({0, 60, 1})
    ->Args({1, 60, 1})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

// Erasing every sensor's flash (unit 0 block 1 to unit 1 block 4095, 8191
// blocks, one request each), two sensors on cables whose replies come 1 ms
// late. Reported: seconds per 1000 blocks, and the time per block over the
// reply delay (1 would be a link kept busy all the time).
static void BM_EraseTwoSensors(benchmark::State& state)
{
    for (auto _ : state) {
        UploadRig rig;
        QList<QSharedPointer<sensorsim::SimulatedSensor>> sensors;
        for (const quint64 serial : {kSerial, kSerial + 1}) {
            sensors.append(rig.plug(serial));
            sensorsim::SensorFaults faults;
            faults.replyDelayMs = 1;
            sensors.last()->setFaults(faults);
        }
        if (!rig.pumpUntil([&] { return rig.ready(kSerial) && rig.ready(kSerial + 1) && rig.settled(); }, 30000)) {
            state.SkipWithError("the sensors did not connect");
            return;
        }
        QElapsedTimer wall;
        wall.start();
        rig.upload.deleteAllDataBlocks();
        QEventLoop loop;
        QTimer check;
        QObject::connect(&check, &QTimer::timeout, &loop, [&] {
            if (rig.uploadSettled() || wall.elapsed() > 600000)
                loop.quit();
        });
        check.start(20);
        loop.exec();
        const double elapsed = double(wall.nsecsElapsed()) * 1e-9;
        int blocks = 0;
        for (const auto& sensor : sensors)
            blocks += sensor->requestCount("<DeleteBlock>");
        const double perSensor = double(blocks) / double(sensors.size());
        state.counters["blocks"] = blocks;
        state.counters["seconds"] = elapsed;
        state.counters["s_per_1000_blocks"] = elapsed * 1000.0 / perSensor;
        state.counters["block_time_over_reply_delay"] = elapsed * 1000.0 / perSensor;
    }
}
BENCHMARK(BM_EraseTwoSensors)->Iterations(1)->Unit(benchmark::kSecond);

int main(int argc, char** argv)
{
    return runQtBenchmarks(argc, argv, "korvex.*.debug=false");
}
