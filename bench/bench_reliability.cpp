// The long form of the reliability checks, with figures.
//
// PlugUnplugCycles: one simulated sensor plugged in and pulled out 1000 times
// through the real desktop link manager and the setup workflow (each time it
// is asked for its serial, bound, asked for state and firmware, then lost).
// Reports what the process holds before and after: open files, resident
// memory, links, serial requests, messages and open communication logs.
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

#include "ProcessStats.h"
#include "WorkflowRig.h"

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
        WorkflowRig rig;
        QSharedPointer<sensorsim::SimulatedSensor> sensor = rig.plug(serial);
        int completed = 0;
        const auto cycle = [&]() {
            if (!rig.pumpUntil([&] { return rig.online(serial) && rig.settled(); }))
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
        state.counters["messages_left"] = rig.setup.findChildren<Message*>().size();
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

int main(int argc, char** argv)
{
    return runQtBenchmarks(argc, argv, "korvex.*.debug=false");
}
