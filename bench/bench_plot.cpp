// One tick of a live plot as the 10 ms timer runs it: 16 tracks streaming
// at 1 kHz (10 new samples each per tick) with 5000 samples shown per graph,
// the plot updated and replotted off-screen, the frame copied into the scene
// item. Reports the time per tick and the share of one core the plot takes
// at 100 ticks a second, and where the time goes. Also the Live page as it
// stands with four sensors: four plots of four graphs each, every one with
// its own axes, legend and frame; and what a hidden plot costs per tick.
// First: the QCustomPlot header under the keyword settings of the test support.
#include "QCustomPlotHeader.h"

#include "Data/Track.h"
#include "Data/TrackList.h"
#include "Plotting/OffscreenPlot.h"
#include "Plotting/TrackPlotter.h"

#include <QApplication>
#include <QImage>
#include <QQuickItem>
#include <QQuickWindow>
#include <QLoggingCategory>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cmath>
#include <ctime>
#include <memory>
#include <vector>

namespace {

constexpr int kTracks = 16;
constexpr int kShown = 5000;
constexpr int kPerTick = 10;
constexpr int kWidth = 1000;
constexpr int kHeight = 500;

const quint16 kIds[kTracks] = {0x0110, 0x0111, 0x0112, 0x0120, 0x0121, 0x0122, 0x0130, 0x0131,
                               0x0132, 0x0210, 0x0211, 0x0212, 0x0310, 0x0311, 0x0312, 0x0330};

double threadSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// A plot of streaming tracks (16, or the first `tracks`), already showing
// a full window, in a window of the scene (a plot nobody sees does nothing).
struct LivePlot {
    // Before the plot: it goes after it.
    std::unique_ptr<QQuickWindow> window = std::make_unique<QQuickWindow>();
    TrackList list{nullptr, 1, 2};
    std::unique_ptr<TrackPlotter> plotter = std::make_unique<TrackPlotter>();
    quint32 next = 0;
    QImage scene;

    explicit LivePlot(int tracks = kTracks, int width = kWidth, int height = kHeight)
        : scene(width, height, QImage::Format_ARGB32_Premultiplied)
    {
        for (int t = 0; t < tracks; ++t)
            list.AddTrack(kIds[t], 0, 2, 0);
        append(kShown + 1);
        plotter->setParentItem(window->contentItem());
        plotter->setSize(QSizeF(width, height));
        plotter->SetupTracks(&list);
        plotter->stopUpdate(); // the benchmark is the timer
        plotter->updateGraphs();
    }

    void append(int samples)
    {
        const QList<Track*> tracks = list.getAllTracks();
        for (int s = 0; s < samples; ++s, ++next) {
            for (int t = 0; t < tracks.size(); ++t) {
                Track* track = tracks[t];
                const double span = track->getMaxY() - track->getMinY();
                const double wave = std::sin(next * 0.002 * (t + 1)) * 0.3 + std::sin(next * 0.09 + t) * 0.05;
                track->setCurrentSampleNumber(next);
                track->AddScalarSample(wave * span);
            }
        }
    }

    void paintScene()
    {
        QPainter painter(&scene);
        plotter->paint(&painter);
    }
};

void reportShare(benchmark::State& state, double seconds)
{
    const double perTick = seconds / double(state.iterations());
    state.counters["ms_per_tick"] = perTick * 1e3;
    state.counters["core_pct_at_100Hz"] = perTick * 100.0 * 100.0;
}

} // namespace

// The whole tick: new samples, graphs brought up to date, replot, frame
// copy, and the scene's paint.
static void BM_LivePlotTick(benchmark::State& state)
{
    LivePlot plot;
    double seconds = 0;
    for (auto _ : state) {
        // Storing the samples is the stream parser's work, not the plot's.
        plot.append(kPerTick);
        const double start = threadSeconds();
        plot.plotter->updateGraphs();
        plot.paintScene();
        seconds += threadSeconds() - start;
    }
    reportShare(state, seconds);
}
BENCHMARK(BM_LivePlotTick)->Unit(benchmark::kMillisecond);

// The Live page with four sensors at 1280x800: four plots side by side in
// two rows, four graphs each, each tick all four brought up to date,
// replotted, copied and painted.
static void BM_LiveLayoutTick_4x4(benchmark::State& state)
{
    std::vector<std::unique_ptr<LivePlot>> plots;
    for (int p = 0; p < 4; ++p)
        plots.push_back(std::make_unique<LivePlot>(4, 620, 330));
    double seconds = 0;
    for (auto _ : state) {
        for (auto& plot : plots)
            plot->append(kPerTick);
        const double start = threadSeconds();
        for (auto& plot : plots) {
            plot->plotter->updateGraphs();
            plot->paintScene();
        }
        seconds += threadSeconds() - start;
    }
    reportShare(state, seconds);
}
BENCHMARK(BM_LiveLayoutTick_4x4)->Unit(benchmark::kMillisecond);

// A tick of the 16-graph plot while its page is not shown.
static void BM_HiddenPlotTick(benchmark::State& state)
{
    LivePlot plot;
    plot.plotter->setVisible(false);
    double seconds = 0;
    for (auto _ : state) {
        plot.append(kPerTick);
        const double start = threadSeconds();
        plot.plotter->updateGraphs();
        seconds += threadSeconds() - start;
    }
    reportShare(state, seconds);
}
BENCHMARK(BM_HiddenPlotTick)->Unit(benchmark::kMicrosecond);

// Only the data: each graph brought up to date (thinned to the plot's
// width), without the replot that updateGraphs() ends with.
static void BM_LivePlotTick_DataOnly(benchmark::State& state)
{
    LivePlot plot;
    const int graphs = plot.plotter->getTracks().size();
    double seconds = 0;
    for (auto _ : state) {
        plot.append(kPerTick);
        const double start = threadSeconds();
        for (int i = 0; i < graphs; ++i)
            plot.plotter->updateGraph(uchar(i));
        seconds += threadSeconds() - start;
    }
    reportShare(state, seconds);
}
BENCHMARK(BM_LivePlotTick_DataOnly)->Unit(benchmark::kMillisecond);

// The same data handed over the way the plain interface does it: tail lists
// from the track, converted to vectors, a new data container per graph,
// every sample of the window.
static void BM_LivePlotTick_DataRebuilt(benchmark::State& state)
{
    LivePlot plot;
    const QList<Track*> tracks = plot.plotter->getTracks();
    double seconds = 0;
    for (auto _ : state) {
        plot.append(kPerTick);
        const double start = threadSeconds();
        for (int t = 0; t < tracks.size(); ++t) {
            auto* graph = static_cast<QCPGraph*>(plot.plotter->plottableOf(tracks[t]));
            graph->setData(tracks[t]->getScalarSampleNumbersDoubleFromEnd(kShown).toVector(),
                           tracks[t]->getScalarSamplesFromEnd(kShown).toVector());
        }
        seconds += threadSeconds() - start;
    }
    reportShare(state, seconds);
}
BENCHMARK(BM_LivePlotTick_DataRebuilt)->Unit(benchmark::kMillisecond);

// Rendering every sample of the window (what the plot draws without the
// thinning to one point per pixel column), with the plot's own adaptive
// sampling.
static void BM_Replot_AllSamples(benchmark::State& state)
{
    LivePlot plot;
    const QList<Track*> tracks = plot.plotter->getTracks();
    for (Track* track : tracks) {
        auto* graph = static_cast<QCPGraph*>(plot.plotter->plottableOf(track));
        graph->setAdaptiveSampling(true);
        graph->setData(track->getScalarSampleNumbersDoubleFromEnd(kShown).toVector(),
                       track->getScalarSamplesFromEnd(kShown).toVector());
    }
    double seconds = 0;
    for (auto _ : state) {
        const double start = threadSeconds();
        plot.plotter->customPlot()->replot();
        seconds += threadSeconds() - start;
    }
    reportShare(state, seconds);
}
BENCHMARK(BM_Replot_AllSamples)->Unit(benchmark::kMillisecond);

// Rendering alone: the plot's replot into its buffers (and the frame copy
// that follows it).
static void BM_Replot(benchmark::State& state)
{
    LivePlot plot;
    double seconds = 0;
    for (auto _ : state) {
        const double start = threadSeconds();
        plot.plotter->customPlot()->replot();
        seconds += threadSeconds() - start;
    }
    reportShare(state, seconds);
}
BENCHMARK(BM_Replot)->Unit(benchmark::kMillisecond);

// The frame copy from the plot's buffers.
static void BM_FrameCopy(benchmark::State& state)
{
    LivePlot plot;
    auto* offscreen = static_cast<OffscreenPlot*>(plot.plotter->customPlot());
    QPixmap frame;
    double seconds = 0;
    for (auto _ : state) {
        const double start = threadSeconds();
        offscreen->copyLastFrame(frame);
        seconds += threadSeconds() - start;
    }
    reportShare(state, seconds);
}
BENCHMARK(BM_FrameCopy)->Unit(benchmark::kMillisecond);

// The scene's paint: one pixmap copy.
static void BM_Paint(benchmark::State& state)
{
    LivePlot plot;
    double seconds = 0;
    for (auto _ : state) {
        const double start = threadSeconds();
        plot.paintScene();
        seconds += threadSeconds() - start;
    }
    reportShare(state, seconds);
}
BENCHMARK(BM_Paint)->Unit(benchmark::kMillisecond);

// Rendering the plot a second time through the painter interface, as a
// paint that renders instead of copying would.
static void BM_RenderThroughPainter(benchmark::State& state)
{
    LivePlot plot;
    QPixmap target(kWidth, kHeight);
    double seconds = 0;
    for (auto _ : state) {
        const double start = threadSeconds();
        QCPPainter painter(&target);
        plot.plotter->customPlot()->toPainter(&painter, kWidth, kHeight);
        seconds += threadSeconds() - start;
    }
    reportShare(state, seconds);
}
BENCHMARK(BM_RenderThroughPainter)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    // The plot is a widget: it needs the widget application.
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("korvex.*.debug=false"));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
