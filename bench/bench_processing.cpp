// The GCT average over a series of stored sprints: 100 measurements of two
// sensors with 1,000 steps each, as they lie on disk after an upload. Each
// run filters every sprint (and saves it with its filtered tracks) and
// stores one averaged measurement.
//   Cold: the sprints are listed as at start-up (headers only) and the run
//   reads their data from disk.
//   Warm: the same sprints again, already in memory.
// Time per run; peak_rss_MB is the process's peak resident size so far.
#include "BenchMain.h"

#include "Data/Measurement.h"
#include "Data/MeasurementController.h"
#include "Processing/ProcessorController.h"

#include "ProcessStats.h"
#include "SprintRecordings.h"
#include "TemporaryStorage.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLoggingCategory>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

const int kSprints = 100;
const int kSteps = 1000;

void discardMessage(QtMsgType, const QMessageLogContext&, const QString&)
{
}

SprintRecordings::Steps steps(int sprint, int sensor)
{
    SprintRecordings::Steps steps;
    quint32 seed = quint32(sprint * 7 + sensor + 1);
    for (int i = 0; i < kSteps; ++i) {
        seed = seed * 1664525u + 1013904223u;
        // Contact times around 150 ms, a stumble now and then.
        double contact = 140 + (seed >> 16) % 21;
        if (i % 97 == 50)
            contact += 80;
        steps.contactTimes << contact;
        steps.stepTimes << i * 450.0 + (seed >> 8) % 40;
    }
    return steps;
}

void storeSprints()
{
    const QDateTime base(QDate(2015, 5, 13), QTime(7, 0), Qt::LocalTime);
    for (int i = 0; i < kSprints; ++i) {
        SprintRecordings::store(quint64(0x1000 + i), base.addSecs(i * 60),
                                { { 0xab12, steps(i, 0) }, { 0xab13, steps(i, 1) } });
    }
}

// A listed host with the processors wired as the root wires them.
struct Host {
    MeasurementController measurements;
    ProcessorController processors { nullptr, &measurements };

    Host()
    {
        measurements.setProcessorController(&processors);
        SprintRecordings::loadStored(measurements);
    }

    void average()
    {
        processors.processMeasurements(QStringLiteral("1"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

struct Quiet {
    QtMessageHandler previous;
    Quiet()
        : previous(qInstallMessageHandler(discardMessage))
    {
        QLoggingCategory::setFilterRules(QStringLiteral("korvex.*=false"));
    }
    ~Quiet()
    {
        QLoggingCategory::setFilterRules(QString());
        qInstallMessageHandler(previous);
    }
};

void report(benchmark::State& state)
{
    state.SetItemsProcessed(int64_t(state.iterations()) * kSprints);
    state.counters["peak_rss_MB"] = double(ProcessStats::peakResidentBytes()) / (1024 * 1024);
}

} // namespace

static void BM_AverageStoredSprintsCold(benchmark::State& state)
{
    TemporaryStorage storage;
    Quiet quiet;
    storeSprints();
    for (auto _ : state) {
        state.PauseTiming();
        auto host = std::make_unique<Host>();
        state.ResumeTiming();
        host->average();
        state.PauseTiming();
        host.reset();
        state.ResumeTiming();
    }
    report(state);
}
BENCHMARK(BM_AverageStoredSprintsCold)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);

static void BM_AverageStoredSprintsWarm(benchmark::State& state)
{
    TemporaryStorage storage;
    Quiet quiet;
    storeSprints();
    Host host;
    host.average();
    for (auto _ : state)
        host.average();
    report(state);
}
BENCHMARK(BM_AverageStoredSprintsWarm)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    return runQtBenchmarks(argc, argv);
}
