#include "ManualClock.h"
#include "SignalGenerator.h"
#include "SimulatedSensor.h"

#include "SimWire.h"

#include <QtTest>

#include <algorithm>
#include <cstdlib>

using namespace sensorsim;
using namespace simwire;

namespace {

constexpr quint64 kSerial = 0x0102030405060708ULL;

const QByteArray kSerialBytes = bytes({1, 2, 3, 4, 5, 6, 7, 8});

constexpr int kPageFrameSize = 5 + 1 + 14 + 2048 + 8;

struct Bench
{
    explicit Bench(quint64 seed = 5) : sensor(kSerial, clock, seed) {}

    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    SimulatedSensor sensor;
    char number = '0';

    QByteArray exchange(const QByteArray& token, const QByteArray& payload = QByteArray())
    {
        sensor.receive(request(++number, token, payload));
        return sensor.take();
    }

    // The 2048 data bytes of a page as the sensor sends them.
    QByteArray page(int unit, int block, int pageNumber)
    {
        const QByteArray reply = exchange("<GetFlashPage>", bytes({unit, block >> 8, block & 0xFF, pageNumber}));
        const QByteArray head = QByteArray("<msg>") + number + "<SndFlashPage>";
        if (!reply.startsWith(head) || !reply.endsWith("</msg>\r\n") || reply.size() != head.size() + 2048 + 8)
            return QByteArray();
        return reply.mid(head.size(), 2048);
    }

    // Acc. X at every sample, battery at every tenth, 100 Hz.
    void setUpRecording(const QByteArray& measurementId)
    {
        exchange("<ResetTracks>");
        exchange("<AddTrack>", kSerialBytes + bytes({0x01, 0x10, 0x00, 0x01, 0x01, 0x04}));
        exchange("<AddTrack>", kSerialBytes + bytes({0x03, 0x10, 0x00, 0x0A, 0x01, 0x00}));
        exchange("<SetBaseFreq>", bytes({0x00, 0x64}));
        exchange("<SetMeasID>", measurementId);
    }
};

// Asks 40 times for a run of six pages that may be cut: the number of page
// frames that came for each, or "x" for anything but whole frames.
QByteArray cutRuns(quint64 seed, double probability)
{
    Bench bench(seed);
    bench.sensor.addRecordedMeasurement(1, 10.0);
    bench.sensor.faults().pageRunCutProbability = probability;
    QByteArray pattern;
    for (int run = 0; run < 40; ++run) {
        bench.sensor.receive(request(char(run), "<GetFlashPages>", bytes({0, 0, 2, 1, 0, 0, 2, 7})));
        const QByteArray out = bench.sensor.take();
        pattern.append(out.size() % kPageFrameSize == 0 ? char('0' + out.size() / kPageFrameSize) : 'x');
    }
    return pattern;
}

} // namespace

class TestSensorFlash : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void recordingWritesTableEntryHeaderAndDataPages()
    {
        Bench bench;
        bench.setUpRecording(bytes({0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11}));
        QCOMPARE(bench.exchange("<SetFeature>", bytes({6, 1})), QByteArray("<msg>6<OK></msg>\r\n"));
        QCOMPARE(bench.exchange("<GetTopState>"), QByteArray("<msg>7<SndTopState>") + char(1) + "</msg>\r\n");

        // Started: id, start address (unit 0, block 2, page 0), CRC; no stop yet.
        const QByteArray started = bytes({0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11, 0x00, 0x00, 0x02, 0x00, 0xEC, 0x24});
        QByteArray table = bench.page(0, 1, 0);
        QCOMPARE(table.left(14), started);
        QCOMPARE(table.mid(14), QByteArray(2048 - 14, char(0xFF)));

        bench.clock->advanceMs(9995); // samples 0 to 999
        QCOMPARE(bench.exchange("<SetFeature>", bytes({6, 0})), QByteArray("<msg>9<OK></msg>\r\n"));
        QCOMPARE(bench.exchange("<GetTopState>"), QByteArray("<msg>:<SndTopState>") + char(0) + "</msg>\r\n");

        // Complete: stop address and its CRC follow; the rest of the table is erased.
        table = bench.page(0, 1, 0);
        QCOMPARE(table.left(20), started + bytes({0x00, 0x00, 0x02, 0x05, 0x63, 0xC1}));
        QCOMPARE(table.mid(20), QByteArray(2048 - 20, char(0xFF)));

        // The header page holds the stream header of the recording.
        const QByteArray header = bench.page(0, 2, 0);
        QCOMPARE(header.left(6), bytes({0xDD, 0x88, 0x00, 0x01, 0x00, 0x64}));
        QCOMPARE(header.mid(6, 8), bytes({0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11}));
        QCOMPARE(header.mid(20, 22), kSerialBytes + bytes({0x00, 0x02, 0x01, 0x10, 0x02, 0x00, 0x01, 0x04, 0x03, 0x10, 0x02, 0x00, 0x0A, 0x00}));
        QCOMPARE(header.mid(42), QByteArray(2048 - 42, char(0xFF)));

        // Five data pages of whole sample groups, counting 0 to 999; the page
        // after the stop address is erased.
        quint32 expected = 0;
        for (int p = 1; p <= 5; ++p) {
            const QByteArray data = bench.page(0, 2, p);
            QCOMPARE(data.size(), 2048);
            int at = 0;
            while (at + 8 <= data.size() && quint8(data[at]) != 0xFF) {
                const bool battery = expected % 10 == 0;
                QCOMPARE(data.mid(at, 4), battery ? bytes({0x00, 0x03, 0x01, 0x40}) : bytes({0x00, 0x01, 0xC0, 0xC1}));
                QCOMPARE(be32(data, at + 4), expected);
                at += battery ? 12 : 10;
                ++expected;
            }
            QCOMPARE(data.mid(at), QByteArray(2048 - at, char(0xFF)));
        }
        QCOMPARE(expected, quint32(1000));
        QCOMPARE(bench.page(0, 2, 6), QByteArray(2048, char(0xFF)));
    }

    // Impact peaks go into the flash as they go into the stream: on the
    // samples the signal generator of the sensor's seed puts them on.
    void recordingsCarryTheImpactPeaks()
    {
        Bench bench;
        bench.setUpRecording(bytes({0, 0, 0, 0, 0, 0, 0, 1}));
        bench.sensor.setSpikes(true);
        QVERIFY(bench.sensor.addRecordedMeasurement(1, 10.0));
        SignalGenerator generator(5);
        generator.setSpikes(true);
        QVector<quint32> expected, found;
        for (quint32 k = 0; k < 1000; ++k) {
            if (generator.spikeG(0x0110, k, 0.01) != 0.0)
                expected.append(k);
        }
        for (int p = 1; p <= 5; ++p) {
            const QByteArray data = bench.page(0, 2, p);
            for (int at = 0; at + 8 <= data.size() && quint8(data[at]) != 0xFF;) {
                const quint32 sample = be32(data, at + 4);
                const qint16 accX = qint16((quint8(data[at + 8]) << 8) | quint8(data[at + 9]));
                if (std::abs(accX) > 2048)
                    found.append(sample);
                at += sample % 10 == 0 ? 12 : 10;
            }
        }
        QVERIFY(expected.size() > 10);
        QCOMPARE(found, expected);
    }

    void nextRecordingTakesTheNextEntryAndBlock()
    {
        Bench bench;
        bench.setUpRecording(bytes({0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11}));
        bench.exchange("<SetFeature>", bytes({6, 1}));
        bench.clock->advanceMs(9995);
        bench.exchange("<SetFeature>", bytes({6, 0}));
        bench.exchange("<SetMeasID>", bytes({0, 0, 0, 0, 0, 0, 0, 2}));
        bench.exchange("<SetFeature>", bytes({6, 1}));
        bench.exchange("<SetFeature>", bytes({6, 0})); // at once: only the sample of that instant
        const QByteArray table = bench.page(0, 1, 0);
        // Starts on block 3 and ends on its first data page.
        QCOMPARE(table.mid(20, 20), bytes({0, 0, 0, 0, 0, 0, 0, 2, 0x00, 0x00, 0x03, 0x00, 0x30, 0x79,
                                           0x00, 0x00, 0x03, 0x01, 0x30, 0xC1}));
        QCOMPARE(bench.sensor.tableEntries().size(), 2);
    }

    void recordingWhileStreamingSharesTheSampleNumbers()
    {
        Bench bench;
        bench.setUpRecording(bytes({0, 0, 0, 0, 0, 0, 0, 1}));
        bench.exchange("<SetFeature>", bytes({4, 1}));
        bench.clock->advanceMs(55); // samples 0 to 5 streamed
        bench.sensor.take();
        bench.exchange("<SetFeature>", bytes({6, 1}));
        bench.clock->advanceMs(100);
        bench.exchange("<SetFeature>", bytes({6, 0}));
        QVERIFY(bench.sensor.isStreaming());
        const QByteArray header = bench.page(0, 2, 0);
        QCOMPARE(be32(header, 14), quint32(6)); // the recording begins with sample 6
        const QByteArray data = bench.page(0, 2, 1);
        QCOMPARE(be32(data, 4), quint32(6));
    }

    void pageRangeComesAsOneNumberedFramePerPage()
    {
        Bench bench;
        bench.sensor.addRecordedMeasurement(0x42, 20.0);
        const QVector<TableEntry> entries = bench.sensor.tableEntries();
        QCOMPARE(entries.size(), 1);
        QVERIFY(entries[0].complete);

        bench.sensor.receive(request(char(0xFE), "<GetFlashPages>", bytes({0, 0, 2, 1, 0, 0, 2, 4})));
        const QByteArray out = bench.sensor.take();
        const int frameSize = kPageFrameSize;
        QCOMPARE(out.size(), 3 * frameSize);
        const QList<int> numbers{0xFE, 0xFF, 0x00};
        for (int i = 0; i < 3; ++i) {
            const QByteArray frame = out.mid(i * frameSize, frameSize);
            QCOMPARE(frame.left(6), QByteArray("<msg>") + char(numbers[i]));
            QCOMPARE(frame.mid(6, 14), QByteArray("<SndFlashPage>"));
            QCOMPARE(frame.mid(20, 2048), bench.sensor.flash().readPage(SimFlash::pack(0, 2, 1 + i)));
            QVERIFY(frame.mid(20, 2048) != QByteArray(2048, char(0xFF)));
        }
        // An empty or reversed range is refused.
        bench.sensor.receive(request('x', "<GetFlashPages>", bytes({0, 0, 2, 4, 0, 0, 2, 4})));
        QCOMPARE(bench.sensor.take(), QByteArray("<msg>x<NOK></msg>\r\n"));
    }

    void aRunCutAfterKPagesSendsExactlyThose_data()
    {
        QTest::addColumn<int>("cutAfter");
        QTest::addColumn<Port>("faulted");
        QTest::addColumn<int>("expected");
        QTest::newRow("after one page") << 1 << Port::Bluetooth << 1;
        QTest::newRow("after five pages") << 5 << Port::Bluetooth << 5;
        QTest::newRow("after as many pages as the run has") << 8 << Port::Bluetooth << 8;
        QTest::newRow("never") << 0 << Port::Bluetooth << 8;
        QTest::newRow("knob on the other port") << 3 << Port::Cable << 8;
    }

    void aRunCutAfterKPagesSendsExactlyThose()
    {
        QFETCH(int, cutAfter);
        QFETCH(Port, faulted);
        QFETCH(int, expected);
        Bench bench;
        QVERIFY(bench.sensor.addRecordedMeasurement(0x42, 20.0));
        QVERIFY(!bench.sensor.flash().isPageErased(SimFlash::pack(0, 2, 8)));
        bench.sensor.faults(faulted).pageRunCutAfter = cutAfter;
        // Eight pages, numbered on from 0xFD: the numbers wrap after 0xFF.
        bench.sensor.receive(request(char(0xFD), "<GetFlashPages>", bytes({0, 0, 2, 1, 0, 0, 2, 9})), Port::Bluetooth);
        bench.clock->advanceMs(1000);
        const QByteArray out = bench.sensor.take(-1, Port::Bluetooth);
        QCOMPARE(out.size(), expected * kPageFrameSize);
        for (int i = 0; i < expected; ++i) {
            const QByteArray frame = out.mid(i * kPageFrameSize, kPageFrameSize);
            QCOMPARE(frame.left(20), QByteArray("<msg>") + char(0xFD + i) + "<SndFlashPage>");
            QCOMPARE(frame.mid(20, 2048), bench.sensor.flash().readPage(SimFlash::pack(0, 2, 1 + i)));
            QCOMPARE(frame.right(8), QByteArray("</msg>\r\n"));
        }
        const RequestRecord& record = bench.sensor.requestLog().last();
        QCOMPARE(record.outcome, expected < 8 ? RequestRecord::Cut : RequestRecord::Answered);
        QCOMPARE(record.injected, expected < 8);
    }

    void randomRunCutsFollowTheSeed()
    {
        const QByteArray first = cutRuns(1, 0.5);
        QCOMPARE(cutRuns(1, 0.5), first);
        QVERIFY(cutRuns(2, 0.5) != first);
        // About half the runs come whole, the others break off after one to
        // five pages; a sure cut lets no run through whole.
        auto within = [](const QByteArray& runs, char most) {
            return runs.size() == 40 && std::all_of(runs.begin(), runs.end(), [most](char c) { return c >= '1' && c <= most; });
        };
        QVERIFY2(within(first, '6') && first.count('6') > 10 && first.count('6') < 30, first.constData());
        const QByteArray cut = cutRuns(1, 1.0);
        QVERIFY2(within(cut, '5'), cut.constData());
    }

    void deleteBlockErasesOneWholeBlock()
    {
        Bench bench;
        QVERIFY(bench.sensor.addRecordedMeasurement(1, 30.0));
        QVERIFY(bench.sensor.addRecordedMeasurement(2, 5.0));
        QVERIFY(bench.page(0, 2, 1) != QByteArray(2048, char(0xFF)));
        QVERIFY(bench.page(0, 3, 1) != QByteArray(2048, char(0xFF)));

        QCOMPARE(bench.exchange("<DeleteBlock>", bytes({0, 0, 2, 17})), QByteArray("<msg>3<OK></msg>\r\n"));
        for (int p : {0, 1, 5, 63})
            QCOMPARE(bench.page(0, 2, p), QByteArray(2048, char(0xFF)));
        QVERIFY(bench.page(0, 3, 1) != QByteArray(2048, char(0xFF)));
        QCOMPARE(bench.sensor.tableEntries().size(), 2);

        bench.exchange("<DeleteBlock>", bytes({0, 0, 1, 0}));
        QVERIFY(bench.sensor.tableEntries().isEmpty());
        QCOMPARE(bench.page(0, 1, 0), QByteArray(2048, char(0xFF)));

        // Erasing the last block that holds data leaves nothing programmed.
        bench.exchange("<DeleteBlock>", bytes({0, 0, 3, 0}));
        QVERIFY(bench.sensor.flash().programmedPages() == 0);
    }

    void nextRecordingSkipsBlocksThatStillHoldData()
    {
        Bench bench;
        QVERIFY(bench.sensor.addRecordedMeasurement(1, 1.0));
        QVERIFY(bench.sensor.addRecordedMeasurement(2, 1.0));
        bench.exchange("<DeleteBlock>", bytes({0, 0, 1, 0})); // only the table
        QVERIFY(bench.sensor.addRecordedMeasurement(3, 1.0));
        const QVector<TableEntry> entries = bench.sensor.tableEntries();
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries[0].start, SimFlash::pack(0, 4, 0));
    }

    void eraseWhileRecordingIsRefused()
    {
        Bench bench;
        bench.exchange("<SetFeature>", bytes({6, 1}));
        QCOMPARE(bench.exchange("<DeleteBlock>", bytes({0, 0, 1, 0})), QByteArray("<msg>2<NOK></msg>\r\n"));
        QCOMPARE(bench.sensor.tableEntries().size(), 1);
    }

    void powerLossLeavesAStartedEntry()
    {
        Bench bench;
        bench.setUpRecording(bytes({0, 0, 0, 0, 0, 0, 0, 7}));
        bench.exchange("<SetFeature>", bytes({6, 1}));
        bench.clock->advanceMs(30000);
        bench.sensor.restart();
        QVERIFY(!bench.sensor.isRecording());
        QVector<TableEntry> entries = bench.sensor.tableEntries();
        QCOMPARE(entries.size(), 1);
        QVERIFY(!entries[0].complete);
        QCOMPARE(bench.page(0, 1, 0).mid(14, 6), QByteArray(6, char(0xFF)));

        // The next recording goes behind the pages the interrupted one wrote.
        QVERIFY(bench.sensor.addRecordedMeasurement(8, 1.0));
        entries = bench.sensor.tableEntries();
        QCOMPARE(entries.size(), 2);
        QVERIFY(SimFlash::blockOf(entries[1].start) > SimFlash::blockOf(entries[0].start));
    }

    void fullTableRefusesARecording()
    {
        Bench bench;
        for (int i = 0; i < SimulatedSensor::kTableEntries; ++i)
            QVERIFY(bench.sensor.addRecordedMeasurement(quint64(i + 1), 0.0));
        QVERIFY(!bench.sensor.addRecordedMeasurement(999, 0.0));
        QCOMPARE(bench.exchange("<SetFeature>", bytes({6, 1})), QByteArray("<msg>1<NOK></msg>\r\n"));
        QVERIFY(!bench.sensor.isRecording());
        QCOMPARE(bench.sensor.tableEntries().size(), SimulatedSensor::kTableEntries);
    }

    void erasedFlashReadsAsOnesEverywhere_data()
    {
        QTest::addColumn<int>("unit");
        QTest::addColumn<int>("block");
        QTest::addColumn<int>("page");
        QTest::newRow("first page") << 0 << 0 << 0;
        QTest::newRow("table") << 0 << 1 << 0;
        QTest::newRow("last page") << 1 << 4095 << 63;
    }

    void erasedFlashReadsAsOnesEverywhere()
    {
        QFETCH(int, unit);
        QFETCH(int, block);
        QFETCH(int, page);
        Bench bench;
        QCOMPARE(bench.page(unit, block, page), QByteArray(2048, char(0xFF)));
    }
};

QTEST_GUILESS_MAIN(TestSensorFlash)
#include "tst_sensorflash.moc"
