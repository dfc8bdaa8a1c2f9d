// Export throughput: one device's track list of six motion channels with a
// million samples each, written as CSV files and as a MAT file. Bytes per
// second of output.
#include "Application/Helper.h"
#include "Data/Track.h"
#include "Data/TrackList.h"

#include "TemporaryStorage.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QLoggingCategory>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

const quint32 kSamples = 1'000'000;

std::unique_ptr<TrackList> motionList()
{
    QLoggingCategory::setFilterRules(QStringLiteral("korvex.*=false"));
    auto list = std::make_unique<TrackList>(nullptr, 0xab12, 0x5f00d);
    const quint16 ids[] = { 0x0110, 0x0111, 0x0112, 0x0120, 0x0121, 0x0122 };
    quint32 seed = 12345;
    for (quint16 id : ids) {
        list->AddTrack(id, 0, 2, 0);
        Track* track = list->getTrackById(id);
        for (quint32 n = 0; n < kSamples; ++n) {
            seed = seed * 1664525u + 1013904223u;
            const qint16 raw = qint16(seed >> 16);
            track->setCurrentSampleNumber(n);
            track->AddScalarSample(raw * track->getScaleFactor());
        }
    }
    return list;
}

qint64 folderBytes(const QString& folder)
{
    qint64 bytes = 0;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        bytes += QFileInfo(it.next()).size();
    return bytes;
}

} // namespace

static void BM_ExportCsv(benchmark::State& state)
{
    TemporaryStorage storage;
    static std::unique_ptr<TrackList> list = motionList();
    qint64 bytes = 0;
    for (auto _ : state) {
        TrackList::ClearExportDirectory("bench");
        list->ExportToCSV("bench");
        bytes += folderBytes(Helper::geExportPath() + "/bench/");
    }
    state.SetBytesProcessed(bytes);
    state.counters["MB_per_s"] = benchmark::Counter(double(bytes) / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ExportCsv)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

static void BM_ExportMat(benchmark::State& state)
{
    TemporaryStorage storage;
    static std::unique_ptr<TrackList> list = motionList();
    qint64 bytes = 0;
    for (auto _ : state) {
        TrackList::ClearExportDirectory("bench");
        list->ExportToMAT("bench");
        bytes += folderBytes(Helper::geExportPath() + "/bench/");
    }
    state.SetBytesProcessed(bytes);
    state.counters["MB_per_s"] = benchmark::Counter(double(bytes) / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ExportMat)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
