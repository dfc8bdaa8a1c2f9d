#include "Data/Store.h"
#include "Devices/KtDevice.h"
#include "Links/RemoteInterface.h"
#include "Protocol/GetSerial.h"
#include "Protocol/Message.h"

#include "Workflows/LiveController.h"

#include "ProcessStats.h"
#include "UploadRig.h"

#include <QSignalSpy>
#include <QtTest>

using sensorsim::RequestRecord;
using sensorsim::SimulatedSensor;
using sensorsim::TrackEntry;

namespace {

const int kLimitMs = 90000; // generous: sanitizer builds on a loaded machine

void releaseDeferred()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

int injectedFaults(const SimulatedSensor& sensor)
{
    int count = 0;
    for (const RequestRecord& record : sensor.requestLog())
        count += record.injected ? 1 : 0;
    return count;
}

} // namespace

class TestReliability : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { Store::drop(); }

    void aSetupOfTwoSensorsCompletesOnAPoorLine_data()
    {
        // The faults are drawn from each sensor's seed, its serial.
        QTest::addColumn<quint64>("first");
        QTest::newRow("seeds 1 and 2") << quint64(0x4b560001);
        QTest::newRow("seeds 3 and 4") << quint64(0x4b560003);
        QTest::newRow("seeds 5 and 6") << quint64(0x4b560005);
    }
    void aSetupOfTwoSensorsCompletesOnAPoorLine()
    {
        QFETCH(quint64, first);
        WorkflowRig rig;
        QSharedPointer<SimulatedSensor> a = rig.plug(first);
        QSharedPointer<SimulatedSensor> b = rig.plug(first + 1);
        QVERIFY(rig.pumpUntil([&] { return rig.online(first) && rig.online(first + 1) && rig.settled(); }));
        a->clearRequestLog();
        b->clearRequestLog();
        a->setFaults(WorkflowRig::poorLine());
        b->setFaults(WorkflowRig::poorLine());

        QSignalSpy done(&rig.setup, &SetupController::setupDone);
        QSignalSpy failed(&rig.setup, &SetupController::setupFailed);
        rig.startTypicalSetup();
        QVERIFY(rig.pumpUntil([&] { return !done.isEmpty() || !failed.isEmpty(); }, kLimitMs));
        QCOMPARE(failed.count(), 0);
        QCOMPARE(done.count(), 1);
        QVERIFY(rig.pumpUntil([&] { return rig.settled(); }));

        const QVector<TrackEntry> tracks {{0x110, 1, 1, 4}, {0x111, 1, 1, 4}, {0x112, 1, 1, 4},
                                          {0x120, 2, 1, 4}, {0x121, 2, 1, 4}, {0x122, 2, 1, 4},
                                          {0x310, 100, 1, 0}};
        for (const auto& sensor : {a, b}) {
            QCOMPARE(sensor->tracks(), tracks);
            QCOMPARE(sensor->baseFrequency(), quint16(500));
            QCOMPARE(sensor->colour(), quint32(0x00A0FF));
            QVERIFY(sensor->storedSettings() == sensor->settings());
            QVERIFY(!sensor->featureOn(15));
        }
        // The line was as poor as promised.
        QVERIFY2(injectedFaults(*a) + injectedFaults(*b) >= 3,
                 qPrintable(QString::number(injectedFaults(*a) + injectedFaults(*b))));
    }

    void pluggingInAndOutGivesBackEverything()
    {
        const quint64 serial = 0x4b560101;
        const int kCycles = 100;
        UploadRig rig;
        LiveController live {nullptr, &rig.devices, &rig.measurements, &rig.state};
        QSignalSpy connected(&rig.devices, &DeviceManager::deviceConnected);
        QSharedPointer<SimulatedSensor> sensor = rig.plug(serial);
        const auto cycle = [&]() {
            if (!rig.pumpUntil([&] { return rig.ready(serial) && rig.settled(); }))
                return false;
            rig.linkOf[serial]->unplug();
            releaseDeferred();
            return !rig.online(serial);
        };
        QVERIFY(cycle());
        const int files = ProcessStats::openFileCount();

        for (int i = 0; i < kCycles; ++i) {
            rig.plugAgain(sensor);
            QVERIFY2(cycle(), qPrintable(QString("cycle %1").arg(i)));
        }
        releaseDeferred();

        QCOMPARE(connected.count(), kCycles + 1);
        QVERIFY(rig.links.connectedIdentifiers().isEmpty());
        QVERIFY(rig.links.unconnectedIdentifiers().isEmpty());
        QVERIFY(rig.links.interfacesForSerial(serial).isEmpty());
        QCOMPARE(rig.links.findChildren<RemoteInterface*>().size(), 0);
        QCOMPARE(rig.links.findChildren<GetSerial*>().size(), 0);
        QCOMPARE(rig.setup.findChildren<Message*>().size(), 0);
        QCOMPARE(rig.upload.numberOfScheduledMessages() + rig.upload.numberOfActiveMessages(), 0);
        QCOMPARE(live.numberOfScheduledMessages() + live.numberOfActiveMessages(), 0);
        QCOMPARE(rig.links.numberOfReceiveBuffers(), 0);
        QCOMPARE(Store::instance()->openCommLogCount(), 0);
        QCOMPARE(ProcessStats::openFileCount(), files);
        QCOMPARE(rig.devices.numberOfDevicesTotal(), 1);
        // Every life of the link went the whole way: asked, bound, queried.
        QCOMPARE(rig.devices.getDeviceBySerial(serial)->getFirmware(), quint16(42));
    }
};

QTEST_GUILESS_MAIN(TestReliability)
#include "tst_reliability.moc"
