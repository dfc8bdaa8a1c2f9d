#include "Data/Measurement.h"
#include "Data/MeasurementController.h"
#include "Data/Track.h"
#include "Data/TrackList.h"
#include "Plotting/PlotController.h"
#include "Plotting/TrackPlotter.h"
#include "Protocol/LiveStreamParseHeader.h"
#include "Protocol/ParseLiveStream.h"

#include "LogCapture.h"
#include "ManualClock.h"
#include "PlotPixels.h"
#include "PlotStage.h"
#include "QCustomPlotHeader.h"
#include "SimulatedSensor.h"
#include "TemporaryStorage.h"
#include "WireBytes.h"

#include <QSignalSpy>
#include <QtTest>

#include <algorithm>
#include <memory>

using namespace WireBytes;

namespace {

constexpr quint64 kSerial = 0x5eed01;

} // namespace

// A simulated sensor streams live; its bytes go through the program's own
// stream parsers into the measurement registry, and the live plot of that
// measurement and sensor draws them.
class TestLivePlot : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void simulatedStreamIsDrawnWhereItsSamplesLie()
    {
        TemporaryStorage storage;
        LogCapture log;
        MeasurementController measurements;
        PlotController plots(nullptr, &measurements);
        const quint64 id = measurements.addMeasurementOnHost("Anna", "Live", "Demo");
        const QString idText = QString::number(id, 16);
        const QString serialText = QString::number(kSerial, 16);

        // Accelerometer and gyroscope at 200 Hz, the quaternion at every
        // second sample: announced by the header when streaming starts.
        auto clock = std::make_shared<sensorsim::ManualClock>();
        sensorsim::SimulatedSensor sensor(kSerial, clock, 7);
        char number = '1';
        sensor.receive(request(number++, "<ResetTracks>"));
        for (quint16 track : {0x0110, 0x0111, 0x0112, 0x0120, 0x0121, 0x0122, 0x0141})
            sensor.receive(request(number++, "<AddTrack>",
                                   u64(kSerial) + u16(track) + u16(track == 0x0141 ? 2 : 1) + bytes({1, 0})));
        sensor.receive(request(number++, "<SetBaseFreq>", u16(200)));
        sensor.receive(request(number++, "<SetMeasID>", u64(id)));

        // As the live workflow does: the plot first, then the listeners.
        plots.createLivePlotter(idText, serialText);
        PlotStage stage;
        TrackPlotter* plotter = stage.hold(plots.plotterFor(id, kSerial));
        QVERIFY(plotter != nullptr);
        plotter->setSize(QSizeF(960, 480));
        QSignalSpy orientation(plotter, &TrackPlotter::quaternionUpdate);
        LiveStreamParseHeader header(kSerial);
        ParseLiveStream stream(kSerial, id);
        connect(&header, &ParseHeader::DeviceTrackFound, &measurements, &MeasurementController::DeviceTrackFound);
        connect(&header, &ParseHeader::DeviceTracksParsed, &measurements, &MeasurementController::trackListComplete);
        connect(&measurements, &MeasurementController::DeviceTrackListChanged, &stream,
                &ParseDataStream::DeviceTrackListChanged);
        sensor.take();
        sensor.receive(request(number++, "<SetFeature>", bytes({4, 1})));

        // The link's receive window: at most 4096 bytes, the dropped front counted.
        QByteArray window;
        quint64 offset = 0;
        bool headerRead = false;
        for (int ms = 0; ms < 15000; ms += 10) {
            clock->advanceMs(10);
            window += sensor.take();
            if (window.size() > 4096) {
                offset += quint64(window.size() - 4096);
                window = window.right(4096);
            }
            if (!headerRead)
                headerRead = header.tryToParse(window, offset);
            stream.tryToParse(window, offset);
            if (ms % 100 == 0)
                plotter->updateGraphs();
        }
        QVERIFY(headerRead);
        plotter->updateGraphs();
        plots.stopLivePlotters(idText);

        TrackList* list = measurements.getMeasurementOnHostById(id)->getTrackList(kSerial);
        QCOMPARE(plotter->getTrackList(), list);
        QCustomPlot* plot = plotter->customPlot();
        QCOMPARE(plot->graphCount(), 6);
        QVERIFY(!orientation.isEmpty());
        // 15 s at 200 Hz; the header announces a down-sampling factor of 1,
        // so the newest 2501 samples are shown.
        Track* accZ = list->getTrackById(Track::AccZ);
        QCOMPARE(accZ->getDownSamplingFactor(), quint16(1));
        QVERIFY(accZ->numberOfSamples() >= 2990);
        const QList<double> keys = accZ->getScalarSampleNumbersDoubleFromEnd(2500);
        QCOMPARE(keys.size(), 2501);
        QCOMPARE(plot->xAxis->range().lower, keys.first());
        QCOMPARE(plot->xAxis->range().upper, keys.last());

        const QImage image = PlotPixels::render(*plotter);
        PlotPixels::saveIfAsked(image, QStringLiteral("live"));
        const QRect area = PlotPixels::dataArea(*plot);
        const QRect legend = plot->legend->outerRect();
        QVERIFY(PlotPixels::colouredPixels(image, area, legend) > area.width());
        // The graphs share the middle rows of the plot, so each is looked at
        // on its own.
        for (int g = 0; g < plot->graphCount(); ++g) {
            for (int other = 0; other < plot->graphCount(); ++other)
                plot->graph(other)->setVisible(other == g);
            plot->replot();
            const QImage alone = PlotPixels::render(*plotter);
            QCPGraph* graph = plot->graph(g);
            Track* track = plotter->getTracks().at(g);
            QCOMPARE(graph->name(), track->getLabel());
            const QList<double> values = track->getScalarSamplesFromEnd(2500);
            const auto [low, high] = std::minmax_element(values.begin(), values.end());
            const double top = graph->valueAxis()->coordToPixel(*high) - 1;
            const double bottom = graph->valueAxis()->coordToPixel(*low) + 1;
            const QVector<QPoint> pixels = PlotPixels::pixelsOf(alone, graph->pen().color(), area, legend);
            QVERIFY2(pixels.size() > area.width() / 2, qPrintable(graph->name()));
            for (const QPoint& p : pixels)
                QVERIFY2(p.y() >= top && p.y() <= bottom, qPrintable(graph->name()));
        }
    }
};

QTEST_MAIN(TestLivePlot)
#include "tst_liveplot.moc"
