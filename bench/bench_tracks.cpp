// Memory and speed of the per-track sample store: ten million samples in one
// track (an hour of one channel at 2.8 kHz), the resident memory they cost,
// and the tail window a live plot asks for every 10 ms; then the mix of a
// sensor's channels (16-bit motion and battery, 32-bit barometer) as a
// stream header announces them. Each figure is given twice: for the store
// and for the layout it replaced (a sample number and a double per sample),
// kept here as a plain copy so that both are measured in the same run.
#include "Data/Track.h"
#include "Data/TrackList.h"

#include <QLoggingCategory>

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <memory>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <vector>

namespace {

const quint32 kSamples = 10'000'000;
const double kAccScale = 0.00048828125;

qint64 residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    long long size = 0;
    long long resident = 0;
    statm >> size >> resident;
    return qint64(resident) * sysconf(_SC_PAGESIZE);
}

// The former layout: one number and one double per sample, in two arrays.
class FormerStore
{
public:
    void insert(quint32 number, double value)
    {
        if (m_numbers.empty() || number > m_numbers.back()) {
            m_numbers.push_back(number);
            m_values.push_back(value);
            return;
        }
        const auto it = std::lower_bound(m_numbers.begin(), m_numbers.end(), number);
        const auto index = it - m_numbers.begin();
        if (*it == number) {
            m_values[std::size_t(index)] = value;
            return;
        }
        m_numbers.insert(it, number);
        m_values.insert(m_values.begin() + index, value);
    }
    int size() const { return int(m_numbers.size()); }
    QList<double> valuesFromEnd(quint32 n) const
    {
        const int count = size();
        const int start = int(qMax<qint64>(qint64(count) - 1 - qint64(n), 0));
        const int length = count <= 0 ? 0 : int(qMin<qint64>(count - start, count - 1));
        QList<double> result;
        result.reserve(length);
        for (int i = start; i < start + length; ++i)
            result.append(m_values[std::size_t(i)]);
        return result;
    }

private:
    std::vector<quint32> m_numbers;
    std::vector<double> m_values;
};

// The value of sample n: a raw 16-bit reading times the scale, as a
// stream header with width 2 makes the track read it.
double sampleValue(quint32 n)
{
    return double(qint16(n * 2654435761u >> 16)) * kAccScale;
}

std::unique_ptr<Track> filledTrack()
{
    std::unique_ptr<Track> track(Track::constructFromID(Track::AccX));
    track->setTrackWidth(2);
    for (quint32 n = 0; n < kSamples; ++n) {
        track->setCurrentSampleNumber(n);
        track->AddScalarSample(sampleValue(n));
    }
    return track;
}

std::unique_ptr<FormerStore> filledFormerStore()
{
    auto store = std::make_unique<FormerStore>();
    for (quint32 n = 0; n < kSamples; ++n)
        store->insert(n, sampleValue(n));
    return store;
}

void quiet()
{
    QLoggingCategory::setFilterRules(QStringLiteral("korvex.*=false"));
}

// One sensor's channels: id, down-sampling factor, width.
struct Channel {
    quint16 id;
    quint16 downSampling;
    quint8 width;
};
const Channel kMix[] = {
    { 0x0110, 0, 2 }, { 0x0111, 0, 2 }, { 0x0112, 0, 2 }, { 0x0120, 0, 2 }, { 0x0121, 0, 2 },
    { 0x0122, 0, 2 }, { 0x0130, 0, 2 }, { 0x0131, 0, 2 }, { 0x0132, 0, 2 }, { 0x0310, 0, 2 },
    { 0x0311, 0, 1 }, { 0x0312, 0, 2 }, { 0x0210, 0, 4 }, { 0x0211, 0, 4 }, { 0x0212, 0, 4 },
    { 0x0330, 0, 4 },
};
const quint32 kMixSamples = 1'000'000; // per channel

double mixValue(const Track* track, quint32 n, quint8 width)
{
    const quint32 bits = n * 2654435761u + quint32(track->getTrackId());
    if (width == 4)
        return double(qint32(bits)) * track->getScaleFactor();
    if (width == 1)
        return double(qint8(bits >> 24)) * track->getScaleFactor();
    return double(qint16(bits >> 16)) * track->getScaleFactor();
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

static void BM_FormerLayoutTenMillionSamples(benchmark::State& state)
{
    for (auto _ : state) {
        malloc_trim(0);
        const qint64 before = residentBytes();
        std::unique_ptr<FormerStore> store = filledFormerStore();
        const qint64 after = residentBytes();
        benchmark::DoNotOptimize(store->size());
        state.counters["bytes_per_sample"] = double(after - before) / kSamples;
    }
    state.counters["appends_per_s"] =
        benchmark::Counter(double(kSamples) * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FormerLayoutTenMillionSamples)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

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

static void BM_FormerLayoutTailWindowOf5000(benchmark::State& state)
{
    static std::unique_ptr<FormerStore> store = filledFormerStore();
    for (auto _ : state) {
        QList<double> values = store->valuesFromEnd(5000);
        benchmark::DoNotOptimize(values.size());
    }
    state.counters["windows_per_s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FormerLayoutTailWindowOf5000)->UseRealTime()->Unit(benchmark::kMicrosecond);

// The mix, through a track list as the stream header fills it; with a lost
// packet every 5000 samples, so that the numbers are not one run.
static void BM_StoreSensorMix(benchmark::State& state)
{
    quiet();
    const int channels = int(sizeof kMix / sizeof kMix[0]);
    for (auto _ : state) {
        malloc_trim(0);
        const qint64 before = residentBytes();
        auto list = std::make_unique<TrackList>(nullptr, 1, 1);
        for (const Channel& c : kMix)
            list->AddTrack(c.id, c.downSampling, c.width, 0);
        std::vector<Track*> tracks;
        for (quint8 i = 0; i < channels; ++i)
            tracks.push_back(list->getTrackByIndex(i));
        for (quint32 n = 0; n < kMixSamples; ++n) {
            if (n % 5000 == 4999)
                continue;
            for (int i = 0; i < channels; ++i) {
                tracks[std::size_t(i)]->setCurrentSampleNumber(n);
                tracks[std::size_t(i)]->AddScalarSample(mixValue(tracks[std::size_t(i)], n, kMix[i].width));
            }
        }
        const qint64 after = residentBytes();
        const double samples = double(list->numberOfSamples());
        std::size_t bytes16 = 0;
        std::size_t bytes32 = 0;
        double samples16 = 0;
        double samples32 = 0;
        for (int i = 0; i < channels; ++i) {
            const ScalarSampleStore& store = tracks[std::size_t(i)]->scalarSampleStore();
            if (kMix[i].width == 4) {
                bytes32 += store.bytes();
                samples32 += store.size();
            } else {
                bytes16 += store.bytes();
                samples16 += store.size();
            }
        }
        state.counters["bytes_per_sample"] = double(after - before) / samples;
        state.counters["held_16bit_per_sample"] = double(bytes16) / samples16;
        state.counters["held_32bit_per_sample"] = double(bytes32) / samples32;
        state.counters["appends_per_s"] = benchmark::Counter(samples, benchmark::Counter::kIsRate);
    }
}
BENCHMARK(BM_StoreSensorMix)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

static void BM_FormerLayoutSensorMix(benchmark::State& state)
{
    quiet();
    const int channels = int(sizeof kMix / sizeof kMix[0]);
    // Only for the scale factors of the channels.
    TrackList list(nullptr, 1, 1);
    for (const Channel& c : kMix)
        list.AddTrack(c.id, c.downSampling, c.width, 0);
    std::vector<Track*> tracks;
    for (quint8 i = 0; i < channels; ++i)
        tracks.push_back(list.getTrackByIndex(i));
    for (auto _ : state) {
        malloc_trim(0);
        const qint64 before = residentBytes();
        std::vector<FormerStore> stores(static_cast<std::size_t>(channels));
        double samples = 0;
        for (quint32 n = 0; n < kMixSamples; ++n) {
            if (n % 5000 == 4999)
                continue;
            for (int i = 0; i < channels; ++i) {
                stores[std::size_t(i)].insert(n, mixValue(tracks[std::size_t(i)], n, kMix[i].width));
                ++samples;
            }
        }
        const qint64 after = residentBytes();
        state.counters["bytes_per_sample"] = double(after - before) / samples;
        state.counters["appends_per_s"] = benchmark::Counter(samples, benchmark::Counter::kIsRate);
    }
}
BENCHMARK(BM_FormerLayoutSensorMix)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
