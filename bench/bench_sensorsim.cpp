// How fast a simulated sensor produces and serves its live stream in process:
// bytes of stream per second of CPU time, directly and through SimulatedLink.

#include "ManualClock.h"
#include "SimulatedLink.h"
#include "SimulatedSensor.h"

#include <benchmark/benchmark.h>

using namespace sensorsim;

namespace {

// Every channel a sensor has: nine motion axes, both quaternions, barometer,
// battery and an analogue input (16 tracks), at 1 kHz.
SensorSettings fullTable()
{
    SensorSettings settings;
    settings.baseFrequency = 1000;
    for (quint16 id : {0x0110, 0x0111, 0x0112, 0x0120, 0x0121, 0x0122, 0x0130, 0x0131, 0x0132, 0x0140, 0x0141,
                       0x0210, 0x0211, 0x0212, 0x0310, 0x0330})
        settings.tracks.append(TrackEntry{id, 1, 1, 0});
    return settings;
}

QByteArray streamOn()
{
    return QByteArray("<msg>1<SetFeature>") + char(4) + char(1) + QByteArray("</msg>\r\n");
}

void BM_SensorStream(benchmark::State& state)
{
    auto clock = std::make_shared<ManualClock>();
    SimulatedSensor sensor(0x4B560001, clock);
    sensor.setSettings(fullTable());
    sensor.setGroupsPerPacket(int(state.range(0)));
    sensor.receive(streamOn());
    qint64 bytes = 0;
    for (auto _ : state) {
        clock->advanceMs(10);
        const QByteArray out = sensor.take();
        bytes += out.size();
        benchmark::DoNotOptimize(out.constData());
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_SensorStream)->Arg(1)->Arg(3);

void BM_SimulatedLinkRead(benchmark::State& state)
{
    auto clock = std::make_shared<ManualClock>();
    SimulatedLink link(0x4B560001, QStringLiteral("bench"), QStringLiteral("usb"), 3, clock);
    link.sensor()->setSettings(fullTable());
    link.doConnect();
    link.write(streamOn());
    qint64 bytes = 0;
    for (auto _ : state) {
        clock->advanceMs(10);
        const QByteArray out = link.read();
        bytes += out.size();
        benchmark::DoNotOptimize(out.constData());
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_SimulatedLinkRead);

void BM_SensorRecording(benchmark::State& state)
{
    // Recording into flash, measured as flash bytes written per second.
    auto clock = std::make_shared<ManualClock>();
    SimulatedSensor sensor(0x4B560001, clock);
    sensor.setSettings(fullTable());
    sensor.receive(QByteArray("<msg>1<SetFeature>") + char(6) + char(1) + QByteArray("</msg>\r\n"));
    sensor.take();
    int pagesBefore = sensor.flash().programmedPages();
    for (auto _ : state) {
        clock->advanceMs(10);
        sensor.pump();
    }
    state.SetBytesProcessed(qint64(sensor.flash().programmedPages() - pagesBefore) * SimFlash::kPageSize);
}
BENCHMARK(BM_SensorRecording);

} // namespace

BENCHMARK_MAIN();
