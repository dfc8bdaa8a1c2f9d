// Memory and speed of the per-track sample store: ten million samples in one
// track (an hour of one channel at 2.8 kHz), the resident memory they cost,
// and the tail window a live plot asks for every 10 ms.
#include "Data/Track.h"

#include <QLoggingCategory>

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <memory>
#include <unistd.h>

#include <fstream>

namespace {

const quint32 kSamples = 10'000'000;

qint64 residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    long long size = 0;
    long long resident = 0;
    statm >> size >> resident;
    return qint64(resident) * sysconf(_SC_PAGESIZE);
}

std::unique_ptr<Track> filledTrack()
{
    std::unique_ptr<Track> track(Track::constructFromID(Track::AccX));
    for (quint32 n = 0; n < kSamples; ++n) {
        track->setCurrentSampleNumber(n);
        track->AddScalarSample(double(n & 0xFFFF) * 0.00048828125);
    }
    return track;
}

void quiet()
{
    QLoggingCategory::setFilterRules(QStringLiteral("korvex.*=false"));
}

} // namespace

static void BM_StoreTenMillionSamples(benchmark::State& state)
{
    quiet();
    for (auto _ : state) {
        malloc_trim(0);
        const qint64 before = residentBytes();
        std::unique_ptr<Track> track = filledTrack();
        const qint64 after = residentBytes();
        benchmark::DoNotOptimize(track->numberOfSamples());
        state.counters["bytes_per_sample"] = double(after - before) / kSamples;
    }
    state.counters["appends_per_s"] =
        benchmark::Counter(double(kSamples) * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_StoreTenMillionSamples)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

static void BM_TailWindowOf5000(benchmark::State& state)
{
    quiet();
    static std::unique_ptr<Track> track = filledTrack();
    for (auto _ : state) {
        QList<double> values = track->getScalarSamplesFromEnd(5000);
        benchmark::DoNotOptimize(values.size());
    }
    state.counters["windows_per_s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TailWindowOf5000)->UseRealTime()->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
