// Start-up cost of stored measurements: a data folder with 1,000 measurement
// records, each with the track lists of two sensors, scanned the way the
// application does at start-up (record, then the headers of its track
// lists) and listed newest first. Time per measurement.
#include "BenchMain.h"

#include "Application/Helper.h"
#include "Data/Measurement.h"
#include "Data/MeasurementController.h"
#include "Data/MeasurementsModel.h"
#include "Data/Track.h"
#include "Data/TrackList.h"

#include "TemporaryStorage.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLoggingCategory>

#include <benchmark/benchmark.h>

namespace {

const int kMeasurements = 1000;

// Discards every line, so that the cost of composing the log lines is
// measured without a terminal in the way.
void discardMessage(QtMsgType, const QMessageLogContext&, const QString&)
{
}

void fillDataFolder()
{
    QLoggingCategory::setFilterRules(QStringLiteral("korvex.*=false"));
    const QDateTime base(QDate(2015, 5, 13), QTime(7, 0), Qt::LocalTime);
    for (int i = 0; i < kMeasurements; ++i) {
        // Ids and start times in different orders, so the list has to sort.
        Measurement measurement(nullptr, quint64(i) * 7919 % 100003 + 1);
        measurement.setStartTime(base.addSecs((i * 37 % kMeasurements) * 60));
        measurement.setUserName("Anna");
        measurement.setAppName("Sprint");
        measurement.setSetupName("Two sensors");
        for (quint64 serial : { 0xab12ull, 0xab13ull }) {
            measurement.setStartAddress(serial, 0x100);
            measurement.setStopAddress(serial, 0x400);
            measurement.setLastUploadAddress(serial, 0x400);
            TrackList* list = measurement.getTrackList(serial);
            list->AddTrack(0x0110, 1, 2, 0);
            Track* track = list->getTrackById(0x0110);
            for (quint32 n = 0; n < 1000; ++n) {
                track->setCurrentSampleNumber(n);
                track->AddScalarSample(n * 0.5);
            }
        }
        measurement.saveAllTrackLists();
        measurement.saveToDisk();
    }
    QLoggingCategory::setFilterRules(QString());
}

void scanOnce(benchmark::State& state)
{
    MeasurementController controller;
    Measurement prototype(nullptr, 0);
    QObject::connect(&prototype, &Measurement::loadedMeasurementFromDisk, &controller,
                     qOverload<Measurement*>(&MeasurementController::addMeasurementOnHost));
    prototype.scanForFilesAndLoad();
    if (controller.getMeasurementsOnHostModel()->rowCount() != kMeasurements)
        state.SkipWithError("not every measurement was loaded");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void report(benchmark::State& state)
{
    state.SetItemsProcessed(int64_t(state.iterations()) * kMeasurements);
    state.counters["us_per_measurement"] = benchmark::Counter(
        double(kMeasurements) / 1e6, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

} // namespace

static void BM_ScanStoredMeasurements(benchmark::State& state)
{
    TemporaryStorage storage;
    fillDataFolder();
    const bool logging = state.range(0) != 0;
    QLoggingCategory::setFilterRules(logging ? QString() : QStringLiteral("korvex.*=false"));
    const QtMessageHandler previous = qInstallMessageHandler(discardMessage);
    for (auto _ : state)
        scanOnce(state);
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules(QString());
    report(state);
}
// Argument 0: the data log lines switched off; 1: composed (and discarded).
BENCHMARK(BM_ScanStoredMeasurements)->Arg(0)->Arg(1)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    return runQtBenchmarks(argc, argv);
}
