// What one poll of the link manager costs while data flows: four bound links,
// each delivering a full read (1024 bytes) per poll, with no receiver attached
// to the window signal. Each poll reads, logs the chunk, appends it to the
// link's 4096-byte window (dropping the oldest bytes) and hands the window on.
// One variant writes the communication logs into /dev/null (the write calls
// without the disk), the other into real files on the temporary storage.

#include "BenchMain.h"

#include "Data/Store.h"
#include "Devices/DeviceManager.h"
#include "Links/InterfaceManager.h"

#include "ManualClock.h"
#include "SimulatedLink.h"
#include "TemporaryStorage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMetaMethod>

#include <benchmark/benchmark.h>

#include <limits>

namespace {

constexpr int kLinks = 4;
constexpr int kChunk = 1024;

class BenchLinkManager : public InterfaceManager
{
    Q_OBJECT
public:
    void startScan() override {}
};

void discardMessage(QtMsgType, const QMessageLogContext&, const QString&) {}

void pollFourBusyLinks(benchmark::State& state, bool logsToNull)
{
    TemporaryStorage storage;
    const QtMessageHandler previousHandler = qInstallMessageHandler(discardMessage);
    if (logsToNull) {
        QDir().mkpath(storage.path() + "/commlogs");
        for (int i = 0; i < kLinks; ++i) {
            const QString name = QStringLiteral("bench%1").arg(i);
            QFile::link("/dev/null", Store::commLogPath(QStringLiteral("CommLogIn "), name));
            QFile::link("/dev/null", Store::commLogPath(QStringLiteral("CommLogOut "), name));
        }
        // The cap would move the link aside and start a real file.
        Store::instance()->setCommLogLimit(std::numeric_limits<qint64>::max());
    }
    {
        DeviceManager devices;
        BenchLinkManager links;
        devices.setInterfaceManager(&links);
        links.setDeviceManager(&devices);
        auto clock = std::make_shared<sensorsim::ManualClock>();
        QList<SimulatedLink*> busy;
        for (int i = 0; i < kLinks; ++i) {
            auto* link = new SimulatedLink(0x4B560001 + i, QStringLiteral("bench%1").arg(i), QStringLiteral("usb"), 3,
                                           clock);
            link->setMaxReadBytes(kChunk);
            links.addDiscoveredInterface(link);
            busy.append(link);
        }
        const QMetaObject* meta = links.metaObject();
        const QMetaMethod connectLinks = meta->method(meta->indexOfSlot("tryConnectDevices()"));
        const QMetaMethod poll = meta->method(meta->indexOfSlot("pollComm()"));
        connectLinks.invoke(&links, Qt::DirectConnection);
        poll.invoke(&links, Qt::DirectConnection); // the serial answers bind all four
        if (links.connectedIdentifiers().size() != kLinks || links.interfacesForSerial(0x4B560001).isEmpty())
            state.SkipWithError("the links did not bind");

        const qint64 before = links.interfaceDataBuffer(QStringLiteral("bench0"))->size();
        QByteArray chunk(kChunk, '\0');
        for (int i = 0; i < kChunk; ++i)
            chunk[i] = char(i * 31);
        for (auto _ : state) {
            for (SimulatedLink* link : busy)
                link->injectIncoming(chunk);
            poll.invoke(&links, Qt::DirectConnection);
        }
        state.counters["bytes_per_poll"] = kLinks * kChunk;
        state.SetBytesProcessed(state.iterations() * kLinks * kChunk);
        const qint64 kept = links.interfaceDataBuffer(QStringLiteral("bench0"))->size();
        const qint64 dropped = qint64(links.interfaceBufferOffset(QStringLiteral("bench0")));
        if (kept > InterfaceManager::kMaxBufferBytes || kept + dropped != before + state.iterations() * kChunk)
            state.SkipWithError("bytes were lost or the window overflowed");
    }
    Store::drop();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    qInstallMessageHandler(previousHandler);
}

void BM_PollFourBusyLinksLogsToNull(benchmark::State& state)
{
    pollFourBusyLinks(state, true);
}
BENCHMARK(BM_PollFourBusyLinksLogsToNull)->Unit(benchmark::kMicrosecond);

// 5000 polls put 20 MB into the log files; fixed so the disk use stays bounded.
void BM_PollFourBusyLinksLogsToFiles(benchmark::State& state)
{
    pollFourBusyLinks(state, false);
}
BENCHMARK(BM_PollFourBusyLinksLogsToFiles)->Iterations(5000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks(argc, argv);
}

#include "bench_linkmanager.moc"
