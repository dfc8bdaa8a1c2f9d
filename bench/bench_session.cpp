// A long training session end to end: one hour of four sensors with 16
// channels each at 1 kHz (230 million samples), announced and stored as a
// stream header and its data packets fill the real track lists; saved;
// everything dropped and read back from disk as after a restart (records
// and headers first, then the samples); exported to CSV and MAT, and as the
// aligned table for analysis; averaged
// by the GCT processor. For each step: seconds and peak resident memory.
//
// The peak is VmHWM of /proc/self/status, reset before each step by writing
// "5" to /proc/self/clear_refs; where the system refuses that, the column is
// the running peak of the process and the table says so.
//
//   KORVEX_BENCH_MINUTES=N   record N minutes instead of 60 (a quick check)
//
// The files go to a temporary storage folder that is removed at the end.
#include "Data/AnalysisExport.h"
#include "Data/Measurement.h"
#include "Data/MeasurementController.h"
#include "Data/Track.h"
#include "Data/TrackList.h"
#include "Processing/ProcessorController.h"

#include "SprintRecordings.h"
#include "TemporaryStorage.h"

#include "BenchFiles.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QtEndian>

#include <malloc.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

const quint64 kSerials[] = { 0x5e51, 0x5e52, 0x5e53, 0x5e54 };

// One sensor's channels as the header announces them: id, width,
// down-sampling factor. Acceleration and gyroscope at the base rate
// (factor 0), as "Sprint 1kHz" records them; every channel here at 1 kHz.
struct Channel {
    quint16 id;
    quint8 width;
};
const Channel kChannels[] = {
    { 0x0110, 2 }, { 0x0111, 2 }, { 0x0112, 2 }, // acceleration
    { 0x0120, 2 }, { 0x0121, 2 }, { 0x0122, 2 }, // gyroscope
    { 0x0130, 2 }, { 0x0131, 2 }, { 0x0132, 2 }, // magnetometer
    { 0x0210, 4 }, { 0x0211, 4 }, { 0x0212, 4 }, // barometer
    { 0x0310, 2 }, // battery voltage
    { 0x8014, 2 }, { 0x8015, 2 }, { 0x8016, 4 }, // ground contact time, its state and its step time
};
const int kChannelCount = int(sizeof kChannels / sizeof kChannels[0]);

void discardMessage(QtMsgType, const QMessageLogContext&, const QString&)
{
}

qint64 statusKb(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

bool resetPeak()
{
    FILE* file = std::fopen("/proc/self/clear_refs", "w");
    if (file == nullptr)
        return false;
    const bool ok = std::fputs("5", file) >= 0;
    return std::fclose(file) == 0 && ok;
}

struct Row {
    QString step;
    double seconds;
    qint64 peakKb;
    qint64 residentKb;
    QString note;
};

class Steps
{
public:
    Steps()
        : m_resettable(resetPeak())
    {
    }
    bool resettable() const { return m_resettable; }

    template <typename F>
    void run(const QString& name, F work)
    {
        malloc_trim(0);
        if (m_resettable)
            resetPeak();
        QElapsedTimer timer;
        timer.start();
        const QString note = work();
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        m_rows.push_back({ name, seconds, statusKb("VmHWM"), statusKb("VmRSS"), note });
        std::fprintf(stderr, "%-34s %8.2f s\n", qPrintable(name), seconds);
    }

    void print(int minutes, qint64 samples) const
    {
        std::printf("bench_session: %d min, %d sensors x %d channels at 1 kHz, %lld samples stored\n", minutes,
                    int(sizeof kSerials / sizeof kSerials[0]), kChannelCount, static_cast<long long>(samples));
        std::printf("peak column: %s\n\n",
                    m_resettable ? "VmHWM of each step (reset before it through /proc/self/clear_refs)"
                                 : "VmHWM of the process so far (clear_refs refused: running peak)");
        std::printf("| %-34s | %9s | %13s | %15s | %s\n", "step", "seconds", "peak RSS (MB)", "RSS after (MB)",
                    "note");
        std::printf("|%s|%s|%s|%s|---\n", std::string(36, '-').c_str(), std::string(11, '-').c_str(),
                    std::string(15, '-').c_str(), std::string(17, '-').c_str());
        double total = 0;
        qint64 peak = 0;
        for (const Row& row : m_rows) {
            std::printf("| %-34s | %9.2f | %13.0f | %15.0f | %s\n", qPrintable(row.step), row.seconds,
                        double(row.peakKb) / 1024.0, double(row.residentKb) / 1024.0, qPrintable(row.note));
            total += row.seconds;
            peak = qMax(peak, row.peakKb);
        }
        std::printf("| %-34s | %9.2f | %13.0f | %15s |\n", "whole session", total, double(peak) / 1024.0, "");
    }

private:
    bool m_resettable;
    std::vector<Row> m_rows;
};

// Plausible raw readings: gravity and noise on the accelerometer, turning
// on the gyroscope, slow drifts elsewhere, and steps of about 450 ms whose
// contact time and step time are held until the next step.
struct Signals {
    quint32 seed = 12345;
    quint32 noise()
    {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 16;
    }
    qint32 raw(int channel, quint32 n, int sensor)
    {
        const int step = int(n / 450);
        switch (kChannels[channel].id) {
        case 0x0112:
            return 2048 + int(noise() % 512) - 256;
        case 0x0110:
        case 0x0111:
            return int(noise() % 1024) - 512;
        case 0x0120:
        case 0x0121:
        case 0x0122:
            return int(std::lround(3000.0 * std::sin(double(n) / 300.0 + channel))) + int(noise() % 64);
        case 0x0210:
            return 101325 + int(n / 60000) + sensor;
        case 0x0211:
            return 2150 + int(noise() % 4);
        case 0x0212:
            return 52000 + int(noise() % 16);
        case 0x0310:
            return 4100 - int(n / 100000);
        case 0x8014:
            return 140 + (step * 7 + sensor) % 21;
        case 0x8015:
            return n % 450 < 150 ? 1 : 0;
        case 0x8016:
            return step * 450;
        default:
            return int(noise() % 256);
        }
    }
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("korvex.*=false"));
    qInstallMessageHandler(discardMessage);

    bool minutesOk = false;
    int minutes = qEnvironmentVariableIntValue("KORVEX_BENCH_MINUTES", &minutesOk);
    if (!minutesOk || minutes <= 0)
        minutes = 60;
    const quint32 samplesPerChannel = quint32(minutes) * 60u * 1000u;

    TemporaryStorage storage;
    if (!storage.isValid()) {
        std::fprintf(stderr, "no temporary storage folder\n");
        return 1;
    }
    Steps steps;
    auto controller = std::make_unique<MeasurementController>();
    quint64 id = 0;
    Measurement* measurement = nullptr;
    qint64 stored = 0;

    steps.run(QStringLiteral("record (stream header + packets)"), [&]() {
        id = controller->addMeasurementOnHost(QStringLiteral("Coach"), QStringLiteral("Sprint"),
                                              QStringLiteral("Sprint 1kHz"));
        measurement = controller->getMeasurementOnHostById(id);
        std::vector<TrackList*> lists;
        for (quint64 serial : kSerials) {
            for (int c = 0; c < kChannelCount; ++c)
                controller->DeviceTrackFound(serial, id, kChannels[c].id, kChannels[c].width, 0, quint8(c));
            controller->trackListComplete(serial, id);
            lists.push_back(measurement->getTrackList(serial));
        }
        // One packet group per sample number and sensor: every channel's
        // raw value, big-endian, in index order, parsed by the tracks.
        QByteArray packet(kChannelCount * 4, '\0');
        std::vector<Signals> sources(lists.size());
        for (std::size_t s = 0; s < lists.size(); ++s)
            sources[s].seed = quint32(s * 7919 + 1);
        std::vector<std::vector<Track*>> tracks(lists.size());
        for (std::size_t s = 0; s < lists.size(); ++s) {
            for (int c = 0; c < kChannelCount; ++c)
                tracks[s].push_back(lists[s]->getTrackByIndex(quint8(c)));
        }
        for (quint32 n = 0; n < samplesPerChannel; ++n) {
            for (std::size_t s = 0; s < lists.size(); ++s) {
                char* out = packet.data();
                for (int c = 0; c < kChannelCount; ++c) {
                    const qint32 raw = sources[s].raw(c, n, int(s));
                    if (kChannels[c].width == 4) {
                        qToBigEndian(raw, out);
                        out += 4;
                    } else {
                        qToBigEndian(qint16(raw), out);
                        out += 2;
                    }
                }
                quint64 position = 0;
                for (Track* track : tracks[s]) {
                    track->setCurrentSampleNumber(n);
                    track->parseAndStoreSample(packet, position);
                }
            }
        }
        for (TrackList* list : lists) {
            list->squeezeSamples();
            stored += list->numberOfSamples();
        }
        return QString();
    });

    qint64 fileBytes = 0;
    steps.run(QStringLiteral("save"), [&]() {
        measurement->saveAllTrackLists();
        measurement->saveToDisk();
        fileBytes = folderBytes(storage.path());
        return QStringLiteral("%1 MB on disk").arg(double(fileBytes) / 1e6, 0, 'f', 0);
    });

    steps.run(QStringLiteral("drop everything"), [&]() {
        controller.reset();
        measurement = nullptr;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        malloc_trim(0);
        return QString();
    });

    steps.run(QStringLiteral("restart: records and headers"), [&]() {
        controller = std::make_unique<MeasurementController>();
        SprintRecordings::loadStored(*controller);
        measurement = controller->getMeasurementOnHostById(id);
        return QStringLiteral("%1 track lists listed").arg(measurement != nullptr ? measurement->getDevicesInMeasurement().size() : 0);
    });
    if (measurement == nullptr) {
        std::fprintf(stderr, "the stored measurement was not found again\n");
        return 1;
    }

    qint64 loaded = 0;
    steps.run(QStringLiteral("load samples from disk"), [&]() {
        measurement->loadMeasurementDataFromDisk();
        for (quint64 serial : measurement->getDevicesInMeasurement())
            loaded += measurement->getTrackList(serial)->numberOfSamples();
        return QStringLiteral("%1 samples").arg(loaded);
    });
    if (loaded != stored) {
        std::fprintf(stderr, "loaded %lld samples, stored %lld\n", static_cast<long long>(loaded),
                     static_cast<long long>(stored));
        return 1;
    }

    const QString exportName = measurement->generateFileName();
    steps.run(QStringLiteral("export CSV"), [&]() {
        TrackList::ClearExportDirectory(exportName);
        for (quint64 serial : measurement->getDevicesInMeasurement())
            measurement->getTrackList(serial)->ExportToCSV(exportName);
        return QStringLiteral("%1 MB written").arg(double(folderBytes(storage.path() + "/Exports")) / 1e6, 0, 'f', 0);
    });
    steps.run(QStringLiteral("export MAT"), [&]() {
        const qint64 before = folderBytes(storage.path() + "/Exports");
        for (quint64 serial : measurement->getDevicesInMeasurement())
            measurement->getTrackList(serial)->ExportToMAT(exportName);
        return QStringLiteral("%1 MB written")
            .arg(double(folderBytes(storage.path() + "/Exports") - before) / 1e6, 0, 'f', 0);
    });

    steps.run(QStringLiteral("export for analysis (aligned, steps, info)"), [&]() {
        const qint64 before = folderBytes(storage.path() + "/Exports");
        const AnalysisExport::Report report =
            AnalysisExport::write(measurement, measurement->exportFolder(), exportName);
        return QStringLiteral("%1 MB written, %2 rows%3")
            .arg(double(folderBytes(storage.path() + "/Exports") - before) / 1e6, 0, 'f', 0)
            .arg(report.alignedRows)
            .arg(report.matTooLarge ? QStringLiteral(", aligned MAT left out") : QString());
    });

    steps.run(QStringLiteral("GCT average (filter + mean)"), [&]() {
        ProcessorController processors(nullptr, controller.get());
        controller->setProcessorController(&processors);
        processors.processMeasurements(QStringLiteral("1"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        controller->setProcessorController(nullptr);
        const TrackList* list = measurement->getTrackList(kSerials[0]);
        const Track* filtered = const_cast<TrackList*>(list)->getTrackById(Track::GctFiltered);
        return QStringLiteral("%1 filtered steps on the first sensor").arg(filtered != nullptr ? filtered->numberOfSamples() : 0);
    });

    steps.print(minutes, stored);
    controller.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
