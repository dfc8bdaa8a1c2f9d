// What the message scheduler costs and how fast it turns requests around.
//
// Offer: every window of every sensor is offered to every scheduler (three in
// the application). Here four sensors each have one request in flight, and a
// full 4096-byte window of other messages' frames and binary bytes is offered
// to the scheduler, sensor after sensor: the cost of one offer.
//
// Round trips: one simulated sensor that answers at once, behind the desktop
// link manager with its own timers, and a scheduler with a queue of state
// queries; counted in wall-clock time until the queue is empty. The send pass
// runs every 5 ms and starts at most one request per sensor, so it bounds the
// rate at about 200 round trips per second whatever the sensor does.

#include "BenchMain.h"

#include "Application/StateController.h"
#include "Data/MeasurementController.h"
#include "Data/Store.h"
#include "Devices/DeviceManager.h"
#include "Links/InterfaceManagerPC.h"
#include "Protocol/AppController.h"
#include "Protocol/GetFirmware.h"

#include "RecordingLinkManager.h"
#include "SimulatedLink.h"
#include "TemporaryStorage.h"
#include "WireBytes.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>

#include <benchmark/benchmark.h>

namespace {

constexpr int kDevices = 4;
constexpr int kWindow = 4096;
constexpr quint64 kFirstSerial = 0x4B560001;

void discardMessage(QtMsgType, const QMessageLogContext&, const QString&) {}

// Frames of other requests (numbers that are not the one waited for) with
// binary bytes between them, cut to the window size.
QByteArray busyWindow(quint8 avoid)
{
    QByteArray window;
    quint8 number = 0;
    while (window.size() < kWindow) {
        if (number == avoid)
            ++number;
        window.append(WireBytes::frame(number++, "<SndFirmware>", WireBytes::u16(42)));
        for (int i = 0; i < 40; ++i)
            window.append(char(i * 37 + number));
    }
    return window.right(kWindow);
}

void offerWindows(benchmark::State& state, bool protocolLog)
{
    TemporaryStorage storage;
    const QtMessageHandler previousHandler = qInstallMessageHandler(discardMessage);
    QLoggingCategory::setFilterRules(protocolLog ? QString() : QStringLiteral("korvex.protocol.debug=false"));
    {
        DeviceManager devices;
        RecordingLinkManager links(&devices);
        devices.setInterfaceManager(&links);
        MeasurementController measurements;
        StateController selection;
        AppController scheduler(nullptr, &devices, &measurements, &selection);
        QList<QByteArray> windows;
        for (int i = 0; i < kDevices; ++i) {
            const quint64 serial = kFirstSerial + i;
            devices.addDeviceBySerial(serial);
            devices.setDeviceOnline(serial, true);
            scheduler.scheduleMessage(new GetFirmware(serial), false);
        }
        scheduler.sendScheduledMessages();
        for (int i = 0; i < kDevices; ++i) {
            const quint64 serial = kFirstSerial + i;
            windows.append(busyWindow(RecordingLinkManager::numberOf(links.lastFrame(serial))));
        }
        if (scheduler.numberOfActiveMessages() != kDevices)
            state.SkipWithError("not one request in flight per sensor");

        int next = 0;
        for (auto _ : state) {
            scheduler.receivedDataFromDevice(kFirstSerial + next, windows.at(next), 0);
            next = (next + 1) % kDevices;
        }
        if (scheduler.numberOfActiveMessages() != kDevices)
            state.SkipWithError("a request was completed by frames that were not its reply");
        state.SetItemsProcessed(state.iterations());
    }
    Store::drop();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(previousHandler);
}

void BM_OfferFullWindowOneActiveMessagePerDevice(benchmark::State& state)
{
    offerWindows(state, false);
}
BENCHMARK(BM_OfferFullWindowOneActiveMessagePerDevice)->Unit(benchmark::kMicrosecond);

// The same with the protocol's "Tries to parse" line composed (and discarded).
void BM_OfferFullWindowOneActiveMessagePerDeviceWithLog(benchmark::State& state)
{
    offerWindows(state, true);
}
BENCHMARK(BM_OfferFullWindowOneActiveMessagePerDeviceWithLog)->Unit(benchmark::kMicrosecond);

void BM_RoundTripsOfOneSensorThroughLinkManagerAndScheduler(benchmark::State& state)
{
    constexpr int kQueries = 100;
    TemporaryStorage storage;
    const QtMessageHandler previousHandler = qInstallMessageHandler(discardMessage);
    {
        DeviceManager devices;
        InterfaceManagerPC links;
        devices.setInterfaceManager(&links);
        links.setDeviceManager(&devices);
        MeasurementController measurements;
        StateController selection;
        AppController scheduler(nullptr, &devices, &measurements, &selection);
        auto* link = new SimulatedLink(kFirstSerial, QStringLiteral("bench0"));
        QSharedPointer<sensorsim::SimulatedSensor> sensor = link->sharedSensor();
        links.addDiscoveredInterface(link);
        QMetaObject::invokeMethod(&links, "tryConnectDevices");
        QElapsedTimer waiting;
        waiting.start();
        while (devices.getConnectedDeviceSerials().isEmpty() && waiting.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        if (devices.getConnectedDeviceSerials().isEmpty())
            state.SkipWithError("the sensor was not bound");

        qint64 requests = 0;
        for (auto _ : state) {
            sensor->clearRequestLog();
            for (int i = 0; i < kQueries; ++i)
                scheduler.requestDeviceState(kFirstSerial);
            // Blocks between events (the timers keep coming), so the CPU time
            // is what the work costs.
            while (scheduler.numberOfScheduledMessages() + scheduler.numberOfActiveMessages() > 0)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            requests += sensor->requestLog().size();
        }
        state.SetItemsProcessed(state.iterations() * kQueries);
        state.counters["requests_per_query"] = double(requests) / double(state.iterations() * kQueries);
    }
    Store::drop();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    qInstallMessageHandler(previousHandler);
}
BENCHMARK(BM_RoundTripsOfOneSensorThroughLinkManagerAndScheduler)
    ->Iterations(5)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks(argc, argv);
}
