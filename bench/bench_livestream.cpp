// Live stream parsing as the link manager feeds it: every delivery appends
// up to 1024 new bytes to a receive buffer capped at 4096 bytes (the front is
// dropped and counted in bufferOffset), and the whole buffer is offered to the
// stream listener. Six tracks of two bytes, every track in every group.
// Reports the stream throughput and the cost per stored sample.
#include "BenchMain.h"

#include "Data/Track.h"
#include "Data/TrackList.h"
#include "Protocol/ParseLiveStream.h"

#include "WireBytes.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr quint64 kDevice = 0x51;
constexpr quint64 kMeasurement = 0x52;
constexpr int kTracks = 6;
constexpr int kGroupsPerPacket = 10;
constexpr int kPackets = 4000;

QByteArray makeStream()
{
    QByteArray stream;
    quint32 sampleNumber = 0;
    for (int p = 0; p < kPackets; ++p) {
        QByteArray payload;
        for (int g = 0; g < kGroupsPerPacket; ++g) {
            QByteArray samples;
            for (int t = 0; t < kTracks; ++t)
                samples += WireBytes::u16(quint16((sampleNumber * 37 + t * 1000) & 0xFFFF));
            payload += WireBytes::sampleGroup(0x003F, sampleNumber++, samples);
        }
        stream += WireBytes::packet(payload);
    }
    return stream;
}

std::unique_ptr<TrackList> sixTrackList()
{
    auto list = std::make_unique<TrackList>(nullptr, kDevice, kMeasurement);
    const Track::TrackIDs ids[kTracks] = {Track::AccX, Track::AccY, Track::AccZ,
                                          Track::GyrX, Track::GyrY, Track::GyrZ};
    for (Track::TrackIDs id : ids)
        list->AddTrack(quint16(id), 1, 2, 0);
    return list;
}

} // namespace

static void BM_ParseLiveStream_LinkDeliveries(benchmark::State& state)
{
    const QByteArray stream = makeStream();
    // Delivery sizes cycle through a few uneven values, all at most 1024.
    const int deliveries[] = {1024, 333, 1000, 517, 64, 1024, 900};
    qint64 samples = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto list = sixTrackList();
        ParseLiveStream parser(kDevice, kMeasurement);
        parser.DeviceTrackListChanged(kDevice, kMeasurement, list.get());
        QByteArray buffer;
        buffer.reserve(4096 + 1024);
        quint64 bufferOffset = 0;
        int fed = 0;
        int turn = 0;
        state.ResumeTiming();

        while (fed < stream.size()) {
            const int n = qMin(deliveries[turn++ % 7], stream.size() - fed);
            buffer.append(stream.constData() + fed, n);
            fed += n;
            if (buffer.size() > 4096) {
                const int drop = buffer.size() - 4096;
                buffer.remove(0, drop);
                bufferOffset += quint64(drop);
            }
            parser.tryToParse(buffer, bufferOffset);
        }

        state.PauseTiming();
        samples += list->getTrackById(Track::GyrZ)->numberOfSamples() * qint64(kTracks);
        list.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(qint64(state.iterations()) * stream.size());
    state.counters["samples"] = benchmark::Counter(double(samples), benchmark::Counter::kAvgIterations);
    state.counters["per_sample"] =
        benchmark::Counter(double(samples), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ParseLiveStream_LinkDeliveries)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    return runQtBenchmarks(argc, argv, "korvex.*.debug=false");
}
