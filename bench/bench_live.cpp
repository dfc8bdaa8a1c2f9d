// The live view as a coach runs it, measured on the whole program: two
// sensors stream 16 scalar channels each at 1000 Hz (acceleration, rotation
// rate, magnetic field, pressure/temperature/altitude, battery voltage,
// charging current, analogue inputs 3 and 4), set up with the General app's
// free choice, and the program draws them with the real skin in a real
// window on the X display this runs on.
//
// The program runs in this process as it does on its own: the same
// composition root (Korvex), the skin and apps copied from the source tree
// into a temporary storage folder and loaded by the real engine, its log on
// the standard error. The scene is driven by clicks (SceneDriver): the General
// app, the channels ticked, "Set up sensors", the Live page, "Start live
// view". The sensors are korvex-sensorsim from the build, a separate process
// serving pseudo-terminals, so none of their work is counted here; their
// accelerometers carry single-sample impact peaks (--spikes).
//
// Measured, each over a 20 s window after the stream has run for 5 s:
//   shown:  the Live page with both sensors' plots on screen;
//   hidden: the Record page in front while the stream goes on.
// For each window: the CPU time of this whole process (utime + stime from
// /proc/self/stat, every thread: event loop, scene graph render thread,
// serial reading; under Xvfb the OpenGL drawing is done in software by
// llvmpipe, in this process, so it is counted too) divided by the wall
// time, as a percentage of one core,
// and that divided by the number of streaming sensors; the samples the live
// measurement gained per second (to show the stream ran at full rate); the
// resident memory at the end of the window (VmRSS) and the peak so far
// (VmHWM). The simulator's own CPU over the same windows is printed apart,
// for comparison. With a picture asked for: each impact peak the sensors sent
// within what the plots show, and whether it is drawn (peaks_drawn=).
//
// Printed as plain lines:
//   live_shown_cpu_pct=  live_shown_cpu_per_sensor_pct=  live_shown_samples_per_s=
//   live_hidden_cpu_pct= live_hidden_cpu_per_sensor_pct= live_hidden_samples_per_s=
//   rss_mb_after_shown= rss_mb_end= rss_mb_peak=
//
// It needs an X display: run it as `xvfb-run -a build/bench/bench_live`;
// started without a DISPLAY it starts itself again under `xvfb-run -a`. With
// a DISPLAY it always uses the xcb platform, also when the caller
// (scripts/bench) asks for offscreen. The window has the program's start
// size unless KORVEX_SCREENSHOT_SIZE=WxH says otherwise.
// KORVEX_SCREENSHOT_DIR=FOLDER saves FOLDER/live-spikes.png, the Live page
// while the peaks stream, after the shown window (the picture and the peak
// check are not part of the figures). KORVEX_BENCH_SECONDS changes the
// length of both windows.

#include "Application/Korvex.h"
#include "Data/Measurement.h"
#include "Data/MeasurementController.h"
#include "Data/TrackList.h"
#include "Log/DestinationFactory.h"
#include "Log/Logger.h"
#include "Plotting/TrackPlotter.h"
#include "Workflows/LiveController.h"

#include "BenchMain.h"
#include "PlotPixels.h"
#include "ProcessStats.h"
#include "SceneDriver.h"
#include "SceneFiles.h"
#include "TemporaryStorage.h"

#include "SignalGenerator.h"

#include "QCustomPlotHeader.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QtTest>

#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

const char kSimulator[] = KORVEX_BUILD_DIR "/sim/korvex-sensorsim";
constexpr int kSensors = 2;
constexpr int kWarmUpMs = 5000;
// The simulator's seed; sensor i uses kSeed + i, as korvex-sensorsim does.
constexpr int kSeed = 1;

// The channels ticked beside the two the General app starts with
// (accelerometer and gyroscope): 16 scalar tracks in all.
const char* const kExtraChannels[] = {"channel_mag", "channel_pressure", "channel_battery",
                                      "channel_current", "channel_adc3", "channel_adc4"};

double megabytes(qint64 bytes)
{
    return double(bytes) / (1024.0 * 1024.0);
}

// The simulator is ended with us, also when we give up.
QProcess* s_simulator = nullptr;

[[noreturn]] void fail(const char* what)
{
    if (s_simulator != nullptr) {
        s_simulator->kill();
        s_simulator->waitForFinished(5000);
    }
    std::fprintf(stderr, "bench_live: %s\n", what);
    std::fflush(stderr);
    std::_Exit(1);
}

// The impact peaks the sensor sent within the keys (sample numbers) the
// plot shows, and whether each is drawn: pixels of its graph's pen at least
// halfway out to the peak, within two columns of where it belongs. Prints
// one line per peak, so that a picture can be checked by eye too.
struct PeakCount
{
    int expected = 0;
    int drawn = 0;
};

PeakCount checkPeaks(TrackPlotter& plotter, int sensorIndex, const QString& serial)
{
    PeakCount count;
    QCustomPlot* plot = plotter.customPlot();
    if (plot == nullptr)
        return count;
    sensorsim::SignalGenerator generator(quint64(kSeed + sensorIndex));
    generator.setSpikes(true);
    const QImage image = PlotPixels::render(plotter);
    const QRect area = PlotPixels::dataArea(*plot);
    const QCPRange keys = plot->xAxis->range();
    std::printf("peaks of sensor %s within samples %.0f to %.0f:\n", qPrintable(serial), keys.lower, keys.upper);
    const struct
    {
        quint16 track;
        const char* label;
        double restG;
    } axes[] = {{0x0110, "Acc. X", 0.0}, {0x0111, "Acc. Y", 0.0}, {0x0112, "Acc. Z", 1.0}};
    for (const auto& axis : axes) {
        QCPGraph* graph = nullptr;
        for (int i = 0; i < plot->graphCount(); ++i) {
            if (plot->graph(i)->name() == QLatin1String(axis.label))
                graph = plot->graph(i);
        }
        if (graph == nullptr)
            continue;
        for (qint64 k = qint64(std::ceil(keys.lower)); k <= qint64(keys.upper); ++k) {
            const double peak = generator.spikeG(axis.track, k, 0.001);
            if (peak == 0.0)
                continue;
            ++count.expected;
            const int column = int(plot->xAxis->coordToPixel(double(k)));
            const int halfway = int(graph->valueAxis()->coordToPixel(axis.restG + 0.5 * peak));
            const int out = int(graph->valueAxis()->coordToPixel(axis.restG + peak));
            const QRect band(QPoint(column - 2, qMin(halfway, out)), QPoint(column + 2, qMax(halfway, out)));
            const bool drawn = !PlotPixels::pixelsOf(image, graph->pen().color(), band.intersected(area)).isEmpty();
            count.drawn += drawn ? 1 : 0;
            std::printf("  %s sample %lld %+.1f g: %s\n", axis.label, static_cast<long long>(k), peak,
                        drawn ? "drawn" : "NOT DRAWN");
        }
    }
    return count;
}

struct Window
{
    double cpuPercent = 0;
    double simulatorCpuPercent = 0;
    double samplesPerSecond = 0;
};

class LiveBench
{
public:
    LiveBench(MeasurementController& measurements, LiveController& live, const QStringList& serials, qint64 simulatorPid)
        : m_measurements(measurements)
        , m_live(live)
        , m_serials(serials)
        , m_simulatorPid(simulatorPid)
    {
    }

    // Every sample of the live measurement so far, over every sensor.
    qint64 samples() const
    {
        Measurement* measurement = m_measurements.getMeasurementOnHostById(m_live.liveMeasurementId());
        if (measurement == nullptr)
            return 0;
        qint64 count = 0;
        for (const QString& serial : m_serials) {
            if (TrackList* list = measurement->getTrackList(serial.toULongLong(nullptr, 16)))
                count += list->numberOfSamples();
        }
        return count;
    }

    int tracksOf(const QString& serial) const
    {
        Measurement* measurement = m_measurements.getMeasurementOnHostById(m_live.liveMeasurementId());
        TrackList* list = measurement != nullptr ? measurement->getTrackList(serial.toULongLong(nullptr, 16)) : nullptr;
        return list != nullptr ? list->numberOfTracks() : 0;
    }

    Window measure(int ms) const
    {
        QTest::qWait(kWarmUpMs);
        const qint64 samplesBefore = samples();
        const double cpuBefore = ProcessStats::cpuSeconds();
        const double simulatorBefore = ProcessStats::cpuSeconds(m_simulatorPid);
        QElapsedTimer wall;
        wall.start();
        QTest::qWait(ms);
        const double cpu = ProcessStats::cpuSeconds() - cpuBefore;
        const double simulator = ProcessStats::cpuSeconds(m_simulatorPid) - simulatorBefore;
        const double seconds = double(wall.elapsed()) / 1000.0;
        Window window;
        window.cpuPercent = 100.0 * cpu / seconds;
        window.simulatorCpuPercent = 100.0 * simulator / seconds;
        window.samplesPerSecond = double(samples() - samplesBefore) / seconds;
        return window;
    }

private:
    MeasurementController& m_measurements;
    LiveController& m_live;
    QStringList m_serials;
    qint64 m_simulatorPid = 0;
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        // Without a display (scripts/bench on a server) it brings its own, once.
        if (!qEnvironmentVariableIsSet("KORVEX_BENCH_UNDER_XVFB")) {
            qputenv("KORVEX_BENCH_UNDER_XVFB", "1");
            std::vector<char*> args{const_cast<char*>("xvfb-run"), const_cast<char*>("-a")};
            for (int i = 0; i < argc; ++i)
                args.push_back(argv[i]);
            args.push_back(nullptr);
            execvp("xvfb-run", args.data());
        }
        std::fprintf(stderr, "bench_live needs an X display: run it as `xvfb-run -a %s`.\n", argv[0]);
        return 2;
    }
    // A real window on the display, whatever the caller set for tests.
    qputenv("QT_QPA_PLATFORM", "xcb");
    if (qEnvironmentVariableIsEmpty("TZ"))
        qputenv("TZ", ":/etc/localtime");
    const int windowMs = qEnvironmentVariableIsSet("KORVEX_BENCH_SECONDS")
        ? qMax(1, qEnvironmentVariableIntValue("KORVEX_BENCH_SECONDS")) * 1000
        : 20000;

    QApplication app(argc, argv);
    QsLogging::Logger& logger = QsLogging::Logger::instance();
    logger.setLoggingLevel(QsLogging::TraceLevel);
    QsLogging::DestinationPtr debugDestination = QsLogging::DestinationFactory::MakeDebugOutputDestination();
    logger.addDestination(debugDestination.get());

    TemporaryStorage storage;
    if (!SceneFiles::install())
        fail("could not install the scene");

    // The sensors, in their own process.
    QProcess simulator;
    s_simulator = &simulator;
    simulator.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    simulator.start(QString::fromLatin1(kSimulator),
                    {QStringLiteral("--sensors"), QString::number(kSensors), QStringLiteral("--first-serial"),
                     QStringLiteral("5e0001"), QStringLiteral("--seed"), QString::number(kSeed),
                     QStringLiteral("--spikes")});
    if (!simulator.waitForStarted(10000))
        fail("korvex-sensorsim did not start (build the korvex-sensorsim target)");
    QStringList serials;
    QStringList paths;
    while (serials.size() < kSensors) {
        if (!simulator.canReadLine() && !simulator.waitForReadyRead(10000))
            fail("korvex-sensorsim named no terminals");
        const QStringList parts = QString::fromLocal8Bit(simulator.readLine()).trimmed().split(QLatin1Char(' '));
        if (parts.size() == 2) {
            serials.append(parts.at(0));
            paths.append(parts.at(1));
        }
    }
    qputenv("KORVEX_EXTRA_SERIAL_PORTS", paths.join(QLatin1Char(':')).toLocal8Bit());

    auto root = std::make_unique<Korvex>();
    SceneDriver scene(SceneDriver::findWindow());
    if (scene.window() == nullptr || !QTest::qWaitForWindowExposed(scene.window()))
        fail("the program showed no window");
    const QStringList size = qEnvironmentVariable("KORVEX_SCREENSHOT_SIZE").split(QLatin1Char('x'));
    if (size.size() == 2)
        scene.window()->resize(size.at(0).toInt(), size.at(1).toInt());
    QQmlContext* context = qmlEngine(scene.window()->contentItem())->rootContext();
    auto* measurements = qobject_cast<MeasurementController*>(context->contextProperty("measurementController").value<QObject*>());
    auto* live = qobject_cast<LiveController*>(context->contextProperty("liveController").value<QObject*>());
    if (measurements == nullptr || live == nullptr)
        fail("the scene has no measurement or live controller");

    for (const QString& serial : serials) {
        if (scene.waitFor(QStringLiteral("device_") + serial, 30000) == nullptr)
            fail("a sensor did not connect");
    }

    // The setup: the General app, 16 channels at 1000 Hz (the rate it offers first).
    if (!scene.click("nav_Apps") || !scene.click("app_General") || scene.waitFor("generalSetupScreen") == nullptr)
        fail("could not open the General app");
    if (scene.find("baseFrequency")->property("currentText").toString() != QLatin1String("1000 Hz"))
        fail("the setup does not offer 1000 Hz first");
    for (const char* channel : kExtraChannels) {
        if (!scene.reveal(QLatin1String(channel)) || !scene.click(QLatin1String(channel)))
            fail("could not tick a channel");
    }
    if (!scene.click("applySetup"))
        fail("could not start the setup");
    if (!waitUntil([&] { return scene.text("setupState").contains("is set up"); }, 60000))
        fail("the setup did not finish");

    if (!scene.click("nav_Live") || !scene.click("startLive"))
        fail("could not start the live view");
    for (const QString& serial : serials) {
        if (scene.waitFor(QStringLiteral("plot_") + serial, 20000) == nullptr)
            fail("a sensor's plot did not come");
    }
    if (!waitUntil([&] { return PlotPixels::plottersUnder(scene.find("plotArea")).size() == kSensors; }, 20000))
        fail("the plots did not come");

    LiveBench bench(*measurements, *live, serials, simulator.processId());
    const Window shown = bench.measure(windowMs);
    const qint64 rssShown = ProcessStats::residentBytes();
    for (const QString& serial : serials)
        std::printf("sensor %s: %d tracks in the live measurement\n", qPrintable(serial), bench.tracksOf(serial));
    int graphs = 0;
    for (TrackPlotter* plotter : PlotPixels::plottersUnder(scene.find("plotArea")))
        graphs += plotter->customPlot() != nullptr ? plotter->customPlot()->graphCount() : 0;
    std::printf("graphs on the Live page: %d\n", graphs);
    const QString picture = scene.picture(QStringLiteral("live-spikes"));
    if (!picture.isEmpty()) {
        // Checked at once, while the plots still show what the picture shows.
        PeakCount peaks;
        for (int i = 0; i < serials.size(); ++i) {
            const QList<TrackPlotter*> plotters = PlotPixels::plottersUnder(scene.find(QStringLiteral("plot_") + serials.at(i)));
            if (plotters.isEmpty())
                continue;
            const PeakCount one = checkPeaks(*plotters.first(), i, serials.at(i));
            peaks.expected += one.expected;
            peaks.drawn += one.drawn;
        }
        std::printf("picture: %s\n", qPrintable(picture));
        std::printf("peaks_drawn=%d of %d\n", peaks.drawn, peaks.expected);
    }

    if (!scene.click("nav_Record") || scene.waitFor("recordingState") == nullptr)
        fail("could not leave the Live page");
    const Window hidden = bench.measure(windowMs);
    const qint64 rssEnd = ProcessStats::residentBytes();
    const qint64 rssPeak = ProcessStats::peakResidentBytes();

    std::printf("window_s=%.1f sensors=%d tracks_per_sensor=16 rate_hz=1000\n", windowMs / 1000.0, kSensors);
    std::printf("live_shown_cpu_pct=%.1f\n", shown.cpuPercent);
    std::printf("live_shown_cpu_per_sensor_pct=%.1f\n", shown.cpuPercent / kSensors);
    std::printf("live_shown_samples_per_s=%.0f\n", shown.samplesPerSecond);
    std::printf("live_hidden_cpu_pct=%.1f\n", hidden.cpuPercent);
    std::printf("live_hidden_cpu_per_sensor_pct=%.1f\n", hidden.cpuPercent / kSensors);
    std::printf("live_hidden_samples_per_s=%.0f\n", hidden.samplesPerSecond);
    std::printf("simulator_cpu_pct shown=%.1f hidden=%.1f (its own process, not in the figures above)\n",
                shown.simulatorCpuPercent, hidden.simulatorCpuPercent);
    std::printf("rss_mb_after_shown=%.1f\n", megabytes(rssShown));
    std::printf("rss_mb_end=%.1f\n", megabytes(rssEnd));
    std::printf("rss_mb_peak=%.1f\n", megabytes(rssPeak));
    std::fflush(stdout);

    // Stop the stream the way a user does, so the program ends as it would.
    if (scene.click("nav_Live") && scene.click("stopLive"))
        waitUntil([&] { return !live->isStreaming(); }, 10000);
    root.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    simulator.terminate();
    if (!simulator.waitForFinished(10000))
        simulator.kill();
    s_simulator = nullptr;
    debugDestination.reset();
    return 0;
}
