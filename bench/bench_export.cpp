// Export throughput: one device's track list of six motion channels with a
// million samples each, written as CSV files and as a MAT file; and a
// minute of two sensors with 16 channels at 1 kHz each, written as the
// aligned table for analysis. Bytes per second of output.
#include "Application/Helper.h"
#include "Data/AlignedCsvWriter.h"
#include "Data/AlignedMatWriter.h"
#include "Data/AlignedTable.h"
#include "Data/Measurement.h"
#include "Data/Track.h"
#include "Data/TrackList.h"

#include "TemporaryStorage.h"

#include "BenchFiles.h"

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

// A minute at 1 kHz of two sensors recording 16 channels each, every
// channel at every sample, values as the sensors' raw integers scaled.
std::unique_ptr<Measurement> alignedMinute()
{
    QLoggingCategory::setFilterRules(QStringLiteral("korvex.*=false"));
    auto measurement = std::make_unique<Measurement>(nullptr, 0x60);
    measurement->setSamplingRate(1000);
    const quint16 ids[] = { 0x0110, 0x0111, 0x0112, 0x0120, 0x0121, 0x0122, 0x0130, 0x0131,
                            0x0132, 0x0210, 0x0211, 0x0212, 0x0310, 0x0311, 0x0312, 0x0330 };
    quint32 seed = 777;
    for (quint64 serial : { 0x5e0001u, 0x5e0002u }) {
        TrackList* list = measurement->getTrackList(serial);
        for (quint16 id : ids) {
            list->AddTrack(id, 0, 2, 0);
            Track* track = list->getTrackById(id);
            for (quint32 n = 0; n < 60'000; ++n) {
                seed = seed * 1664525u + 1013904223u;
                track->setCurrentSampleNumber(n);
                track->AddScalarSample(qint16(seed >> 16) * track->getScaleFactor());
            }
        }
    }
    return measurement;
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

static void BM_AlignedCsv_2x16_60s(benchmark::State& state)
{
    TemporaryStorage storage;
    static std::unique_ptr<Measurement> measurement = alignedMinute();
    qint64 bytes = 0;
    for (auto _ : state) {
        AlignedTable table(measurement.get(), 1000);
        qint64 written = 0;
        if (!AlignedCsvWriter::write(table, Helper::getBasePath() + "/aligned.csv", &written))
            state.SkipWithError("the aligned CSV could not be written");
        bytes += written;
    }
    state.SetBytesProcessed(bytes);
    state.counters["MB_per_s"] = benchmark::Counter(double(bytes) / 1e6, benchmark::Counter::kIsRate);
    state.counters["MB"] = double(bytes) / 1e6 / double(state.iterations());
}
BENCHMARK(BM_AlignedCsv_2x16_60s)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

static void BM_AlignedMat_2x16_60s(benchmark::State& state)
{
    TemporaryStorage storage;
    static std::unique_ptr<Measurement> measurement = alignedMinute();
    qint64 bytes = 0;
    for (auto _ : state) {
        AlignedTable table(measurement.get(), 1000);
        const QString path = Helper::getBasePath() + "/aligned.mat";
        if (AlignedMatWriter::write(table, path) != AlignedMatWriter::Written)
            state.SkipWithError("the aligned MAT file could not be written");
        bytes += QFileInfo(path).size();
    }
    state.SetBytesProcessed(bytes);
    state.counters["MB_per_s"] = benchmark::Counter(double(bytes) / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_AlignedMat_2x16_60s)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
