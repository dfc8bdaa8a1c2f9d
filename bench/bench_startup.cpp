// The program as a user starts it: the installed skin and apps, a storage
// folder with many measurements, a real window on the display this runs on
// (use `xvfb-run -a` where there is none).
//
// Reported:
//   first_frame_ms: from the start of the korvex process to the first frame
//                   of its window (the program logs it), for an empty
//                   storage folder and for one with 1000 measurements of two
//                   sensors each; the median of three starts;
//   idle_cpu:       the share of one core korvex uses with its window shown
//                   and two connected, idle sensors (simulated, on
//                   pseudo-terminals), over 20 s after they have connected.

#include "Data/Measurement.h"
#include "Data/TrackList.h"

#include "BenchMain.h"
#include "ProcessStats.h"
#include "PtySensors.h"
#include "SceneFiles.h"
#include "TemporaryStorage.h"

#include <QCoreApplication>
#include <QDir>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {

const char kProgram[] = KORVEX_BUILD_DIR "/korvex";

void storeMeasurements(int count)
{
    const QDateTime first(QDate(2026, 1, 5), QTime(9, 0));
    for (int i = 0; i < count; ++i) {
        Measurement measurement(nullptr, 0x1000 + quint64(i));
        measurement.setStartTime(first.addSecs(i * 600));
        measurement.setUserName(QStringLiteral("Athlete %1").arg(i % 12));
        measurement.setAppName(i % 2 == 0 ? QStringLiteral("Sprint") : QStringLiteral("Squat Jump"));
        measurement.setSetupName(i % 2 == 0 ? QStringLiteral("Sprint 1kHz") : QStringLiteral("Squat Jump 500Hz"));
        for (quint64 serial : {quint64(0x5e0001), quint64(0x5e0002)}) {
            TrackList* list = measurement.getTrackList(serial);
            list->AddTrack(0x0110, 1, 2, 4);
            list->AddTrack(0x8014, 250, 2, 0);
            for (int s = 0; s < 200; ++s) {
                list->AddScalarSample(0x0110, s % 17);
                list->AddScalarSample(0x8014, 100 + s % 40);
            }
        }
        measurement.saveAllTrackLists();
        measurement.saveToDisk();
    }
}

void stop(QProcess& process)
{
    process.terminate();
    if (!process.waitForFinished(10000))
        process.kill();
}

// Starts korvex and returns the first-frame time it logs, or -1.
qint64 firstFrame(QProcess& process)
{
    QByteArray output;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QString::fromLatin1(kProgram), QStringList());
    const QRegularExpression line(QStringLiteral("First frame shown (\\d+) ms"));
    QRegularExpressionMatch match;
    waitUntil([&] {
        output += process.readAll();
        match = line.match(QString::fromLocal8Bit(output));
        return match.hasMatch() || process.state() == QProcess::NotRunning;
    }, 60000);
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

qint64 medianFirstFrame()
{
    QVector<qint64> times;
    for (int run = 0; run < 3; ++run) {
        QProcess process;
        times.append(firstFrame(process));
        stop(process);
    }
    std::sort(times.begin(), times.end());
    return times.at(1);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fprintf(stderr, "bench_startup needs a display: run it as `xvfb-run -a %s`.\n", argv[0]);
        return 2;
    }
    // The child finds the scene on the display, with its log on.
    qunsetenv("QT_QPA_PLATFORM");
    qunsetenv("QT_LOGGING_RULES");

    // KORVEX_BENCH_KEEP=FOLDER keeps the storage folder there, to look into.
    const QString keep = qEnvironmentVariable("KORVEX_BENCH_KEEP");
    if (!keep.isEmpty())
        QDir().mkpath(keep);
    TemporaryStorage storage = keep.isEmpty() ? TemporaryStorage() : TemporaryStorage(keep);
    if (!SceneFiles::install()) {
        std::fprintf(stderr, "could not install the scene\n");
        return 1;
    }
    const qint64 empty = medianFirstFrame();
    QElapsedTimer writing;
    writing.start();
    storeMeasurements(1000);
    std::printf("stored 1000 measurements in %lld ms\n", static_cast<long long>(writing.elapsed()));
    const qint64 full = medianFirstFrame();
    std::printf("first_frame_ms empty_storage=%lld with_1000_measurements=%lld\n", static_cast<long long>(empty),
                static_cast<long long>(full));

    PtySensors sensors(2);
    QProcess process;
    if (firstFrame(process) < 0) {
        std::fprintf(stderr, "korvex showed no window\n");
        return 1;
    }
    // Connecting, reading state, firmware and tables takes a few seconds;
    // then the sensors are idle.
    waitUntil([] { return false; }, 8000);
    const double before = ProcessStats::cpuSeconds(process.processId());
    QElapsedTimer wall;
    wall.start();
    waitUntil([] { return false; }, 20000);
    const double used = ProcessStats::cpuSeconds(process.processId()) - before;
    const QByteArray log = process.readAll();
    const int connected = log.count("Device MAT is complete for device");
    std::printf("idle_cpu %.2f %% of a core over %.1f s (sensors connected: %d)\n",
                100.0 * used / (double(wall.elapsed()) / 1000.0), double(wall.elapsed()) / 1000.0, connected);
    stop(process);
    return 0;
}
