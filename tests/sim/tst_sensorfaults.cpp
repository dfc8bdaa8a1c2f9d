#include "ManualClock.h"
#include "SimulatedSensor.h"

#include "SimWire.h"

#include <QtTest>

using namespace sensorsim;
using namespace simwire;

namespace {

constexpr quint64 kSerial = 0xABCDEFULL;

QByteArray topStateReply(char number)
{
    return QByteArray("<msg>") + number + "<SndTopState>" + char(0) + "</msg>\r\n";
}

struct Bench
{
    explicit Bench(quint64 seed = 9) : sensor(kSerial, clock, seed) {}

    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    SimulatedSensor sensor;

    QByteArray exchange(const QByteArray& b)
    {
        sensor.receive(b);
        return sensor.take();
    }

    // Sends n state queries, numbers 0 to n-1, and counts the outcomes.
    QByteArray queryMany(int n)
    {
        QByteArray out;
        for (int i = 0; i < n; ++i)
            out += exchange(request(char(i), "<GetTopState>"));
        return out;
    }
};

} // namespace

class TestSensorFaults : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void repliesWaitForTheDelay()
    {
        Bench bench;
        bench.sensor.faults().replyDelayMs = 10;
        QVERIFY(bench.exchange(request('1', "<GetTopState>")).isEmpty());
        bench.clock->advanceUs(9999);
        QVERIFY(bench.sensor.take().isEmpty());
        bench.clock->advanceUs(1);
        QCOMPARE(bench.sensor.take(), topStateReply('1'));
    }

    void jitteredRepliesKeepTheirOrder()
    {
        Bench bench;
        bench.sensor.faults().replyJitterMs = 50;
        for (int i = 0; i < 30; ++i) {
            bench.sensor.receive(request(char('A' + i), "<GetTopState>"));
            bench.clock->advanceMs(1);
        }
        bench.clock->advanceMs(100);
        QByteArray expected;
        for (int i = 0; i < 30; ++i)
            expected += topStateReply(char('A' + i));
        QCOMPARE(bench.sensor.take(), expected);
    }

    void repliesToChosenTokensAreDropped()
    {
        Bench bench;
        bench.sensor.faults().dropTokens.insert("<GetSerial>", 2);
        const QByteArray serialReply = QByteArray("<msg>3<SndSerial>") + QByteArray::fromHex("0000000000abcdef") + "</msg>\r\n";
        QVERIFY(bench.exchange(request('1', "<GetSerial>")).isEmpty());
        QCOMPARE(bench.exchange(request('x', "<GetTopState>")), topStateReply('x'));
        QVERIFY(bench.exchange(request('2', "<GetSerial>")).isEmpty());
        QCOMPARE(bench.exchange(request('3', "<GetSerial>")), serialReply);
        QCOMPARE(bench.sensor.requestLog().at(0).outcome, RequestRecord::Dropped);
        QVERIFY(bench.sensor.requestLog().at(0).injected);
        QCOMPARE(bench.sensor.requestLog().at(3).outcome, RequestRecord::Answered);
    }

    void aDroppedReplyStillTakesEffect()
    {
        Bench bench;
        bench.sensor.faults().dropTokens.insert("<SetFeature>", -1);
        QVERIFY(bench.exchange(request('1', "<SetFeature>", QByteArray::fromHex("0f01"))).isEmpty());
        QVERIFY(bench.sensor.featureOn(15));
    }

    void chosenTokensAreRefusedForEver()
    {
        Bench bench;
        bench.sensor.faults().nokTokens.insert("<SetFeature>", -1);
        for (int i = 0; i < 50; ++i) {
            const char n = char('0' + i);
            QCOMPARE(bench.exchange(request(n, "<SetFeature>", QByteArray::fromHex("0f01"))),
                     QByteArray("<msg>") + n + "<NOK></msg>\r\n");
        }
        // A refused command is not carried out, and other commands are not affected.
        QVERIFY(!bench.sensor.featureOn(15));
        QCOMPARE(bench.exchange(request('z', "<GetTopState>")), topStateReply('z'));
    }

    void chosenTokensAreRefusedAGivenNumberOfTimes()
    {
        Bench bench;
        bench.sensor.faults().nokTokens.insert("<ResetTracks>", 1);
        QCOMPARE(bench.exchange(request('1', "<ResetTracks>")), QByteArray("<msg>1<NOK></msg>\r\n"));
        QVERIFY(!bench.sensor.tracks().isEmpty());
        QCOMPARE(bench.exchange(request('2', "<ResetTracks>")), QByteArray("<msg>2<OK></msg>\r\n"));
        QVERIFY(bench.sensor.tracks().isEmpty());
    }

    void probabilitiesFollowTheSeed_data()
    {
        QTest::addColumn<bool>("drop");
        QTest::newRow("dropped replies") << true;
        QTest::newRow("refusals") << false;
    }

    void probabilitiesFollowTheSeed()
    {
        QFETCH(bool, drop);
        auto run = [drop](quint64 seed) {
            Bench bench(seed);
            (drop ? bench.sensor.faults().dropProbability : bench.sensor.faults().nokProbability) = 0.3;
            QByteArray pattern;
            for (int i = 0; i < 1000; ++i) {
                const QByteArray out = bench.exchange(request('n', "<GetTopState>"));
                pattern.append(out.isEmpty() ? 'd' : out.contains("<NOK>") ? 'r' : 'a');
            }
            return pattern;
        };
        const QByteArray first = run(1);
        const int faults = first.count(drop ? 'd' : 'r');
        QVERIFY2(faults > 240 && faults < 360, qPrintable(QString::number(faults)));
        QCOMPARE(first.count(drop ? 'r' : 'd'), 0);
        QCOMPARE(run(1), first);
        QVERIFY(run(2) != first);
    }

    void corruptedBytesFollowTheRate()
    {
        Bench clean(4);
        Bench noisy(4);
        noisy.sensor.faults().corruptProbability = 0.01;
        clean.exchange(request('1', "<SetFeature>", QByteArray::fromHex("0401")));
        noisy.exchange(request('1', "<SetFeature>", QByteArray::fromHex("0401")));
        clean.clock->advanceMs(60000);
        noisy.clock->advanceMs(60000);
        const QByteArray a = clean.sensor.take();
        const QByteArray b = noisy.sensor.take();
        QCOMPARE(a.size(), b.size());
        int differing = 0;
        for (int i = 0; i < a.size(); ++i)
            differing += a[i] != b[i];
        const double expected = 0.01 * a.size();
        QVERIFY2(differing > expected * 0.8 && differing < expected * 1.2,
                 qPrintable(QString("%1 of %2").arg(differing).arg(a.size())));
    }

    void garbageGoesBetweenFramesNotIntoThem()
    {
        Bench bench;
        bench.sensor.faults().garbageProbability = 1.0;
        bench.sensor.faults().garbageMaxBytes = 16;
        for (int i = 0; i < 20; ++i) {
            const QByteArray out = bench.exchange(request(char('a' + i), "<GetTopState>"));
            const QByteArray reply = topStateReply(char('a' + i));
            QVERIFY(out.endsWith(reply));
            const int garbage = out.size() - reply.size();
            QVERIFY(garbage >= 1 && garbage <= 16);
        }
    }

    void byteRateLimitsTheLink()
    {
        Bench bench;
        bench.sensor.faults().bytesPerSecond = 1000;
        bench.sensor.receive(request('1', "<GetFlashPage>", QByteArray::fromHex("00000100")));
        QByteArray out = bench.sensor.take();
        QVERIFY(out.isEmpty());
        bench.clock->advanceMs(100);
        out += bench.sensor.take();
        QCOMPARE(out.size(), 100);
        bench.clock->advanceMs(1900);
        out += bench.sensor.take();
        QCOMPARE(out.size(), 2000);
        bench.clock->advanceMs(100);
        out += bench.sensor.take();
        QCOMPARE(out.size(), 5 + 1 + 14 + 2048 + 8);
        QVERIFY(out.startsWith("<msg>1<SndFlashPage>"));
        // An idle link saves nothing up: a later reply again takes its time.
        bench.clock->advanceMs(5000);
        bench.sensor.receive(request('2', "<GetTopState>"));
        bench.clock->advanceMs(10);
        QCOMPARE(bench.sensor.take().size(), 10);
    }

    void linkClosesAfterTheGivenNumberOfFrames()
    {
        Bench bench;
        bench.sensor.faults().closeAfterFrames = 2;
        QCOMPARE(bench.exchange(request('1', "<GetTopState>")), topStateReply('1'));
        QVERIFY(bench.sensor.isLinkOpen());
        QCOMPARE(bench.exchange(request('2', "<GetTopState>")), topStateReply('2'));
        QVERIFY(!bench.sensor.isLinkOpen());
        QVERIFY(bench.exchange(request('3', "<GetTopState>")).isEmpty());
        QCOMPARE(bench.sensor.requestLog().size(), 2);

        bench.sensor.reopenLink();
        QCOMPARE(bench.exchange(request('4', "<GetTopState>")), topStateReply('4'));
        QCOMPARE(bench.exchange(request('5', "<GetTopState>")), topStateReply('5'));
        QVERIFY(bench.sensor.isLinkOpen());
    }

    void faultsBelongToTheirPort_data()
    {
        QTest::addColumn<Port>("faulted");
        QTest::newRow("cable") << Port::Cable;
        QTest::newRow("Bluetooth") << Port::Bluetooth;
    }

    void faultsBelongToTheirPort()
    {
        QFETCH(Port, faulted);
        Bench bench;
        bench.sensor.faults(faulted).nokTokens.insert("<GetTopState>", -1);
        bench.sensor.faults(faulted).dropTokens.insert("<GetFirmware>", -1);
        bench.sensor.faults(faulted).replyDelayMs = 50;
        const QByteArray ask = request('1', "<GetTopState>") + request('2', "<GetFirmware>");
        const QByteArray answers = topStateReply('1') + QByteArray("<msg>2<SndFirmware>") + bytes({0, 42}) + "</msg>\r\n";
        for (Port port : {Port::Cable, Port::Bluetooth}) {
            bench.sensor.receive(ask, port);
            QCOMPARE(bench.sensor.take(-1, port), port == faulted ? QByteArray() : answers);
        }
        bench.clock->advanceMs(50);
        QCOMPARE(bench.sensor.take(-1, faulted), QByteArray("<msg>1<NOK></msg>\r\n"));
    }

    void aHostLeavingOnePortLeavesTheOtherGoing_data()
    {
        QTest::addColumn<Port>("gone");
        QTest::newRow("cable host leaves") << Port::Cable;
        QTest::newRow("Bluetooth host leaves") << Port::Bluetooth;
    }

    void aHostLeavingOnePortLeavesTheOtherGoing()
    {
        QFETCH(Port, gone);
        const Port stays = gone == Port::Cable ? Port::Bluetooth : Port::Cable;
        Bench bench;
        bench.sensor.take(-1, Port::Bluetooth);
        bench.exchange(request('1', "<SetFeature>", bytes({4, 1})) + request('2', "<SetFeature>", bytes({5, 1})));
        bench.clock->advanceMs(50); // samples 0 to 5
        bench.sensor.take(-1, stays);
        // The leaving host leaves a reply not yet sent and half a request behind.
        bench.sensor.faults(gone).replyDelayMs = 100;
        const QByteArray serialRequest = request('4', "<GetSerial>");
        bench.sensor.receive(request('3', "<GetTopState>") + serialRequest.left(10), gone);
        bench.sensor.hostDisconnected(gone);
        QCOMPARE(bench.sensor.featureOn(4), gone != Port::Cable);
        QCOMPARE(bench.sensor.featureOn(5), gone == Port::Cable);

        bench.sensor.receive(request('5', "<GetTopState>"), stays);
        bench.sensor.receive(serialRequest.mid(10), gone); // no request of its own
        bench.clock->advanceMs(200);
        QCOMPARE(bench.sensor.take(-1, gone), QByteArray());
        const QByteArray kept = bench.sensor.take(-1, stays);
        QVERIFY(kept.startsWith(topStateReply('5')));
        const QVector<QByteArray> packets = livePackets(kept.mid(topStateReply('5').size()));
        QCOMPARE(packets.size(), 20);
        for (int i = 0; i < packets.size(); ++i)
            QCOMPARE(be32(packets[i], 4), quint32(6 + i));
        QCOMPARE(bench.sensor.requestTokens().mid(2), (QList<QByteArray>{"<GetTopState>", "<GetTopState>"}));
        QCOMPARE(bench.sensor.requestLog().at(3).port, stays);
    }

    void outputNobodyReadsStaysBounded_data()
    {
        QTest::addColumn<Port>("watched");
        QTest::addColumn<Port>("askedOver");
        QTest::newRow("no host on the cable") << Port::Cable << Port::Bluetooth;
        QTest::newRow("a Bluetooth host that stopped reading") << Port::Bluetooth << Port::Bluetooth;
    }

    void outputNobodyReadsStaysBounded()
    {
        QFETCH(Port, watched);
        QFETCH(Port, askedOver);
        Bench bench;
        bench.sensor.receive(request('1', "<SetBaseFreq>", bytes({0x03, 0xE8}))
                                 + request('2', "<SetFeature>", bytes({watched == Port::Cable ? 4 : 5, 1})),
                             askedOver);
        bench.sensor.take(-1, askedOver);
        bench.clock->advanceMs(150000); // about 6 MB of stream at 1000 Hz
        bench.sensor.pump();
        const qint64 pending = bench.sensor.pendingBytes(watched);
        QVERIFY2(pending <= SensorPort::kMaxPendingBytes, qPrintable(QString::number(pending)));

        // What a host reads next starts at a unit boundary: a whole packet
        // for one that fell behind, a header for one that only now arrives.
        const QByteArray out = bench.sensor.take(-1, watched);
        if (watched == askedOver) {
            QVERIFY(bench.sensor.discardedBytes(watched) > SensorPort::kMaxPendingBytes);
            const QVector<QByteArray> packets = livePackets(out);
            QVERIFY(packets.size() > 1000);
            QCOMPARE(be32(packets.last(), 4), bench.sensor.nextSampleNumber() - 1);
        } else {
            QCOMPARE(pending, qint64(0));
            QCOMPARE(out.left(4), bytes({0xDD, 0x88, 0x00, 0x01}));
            QCOMPARE(be32(out, 14), bench.sensor.nextSampleNumber());
        }
    }

    void closingTheLinkStopsTheStreamButNotTheRecording()
    {
        Bench bench;
        bench.sensor.faults().closeAfterFrames = 2;
        bench.exchange(request('1', "<SetFeature>", QByteArray::fromHex("0401")));
        bench.exchange(request('2', "<SetFeature>", QByteArray::fromHex("0601")));
        bench.clock->advanceMs(100);
        bench.sensor.take();
        QVERIFY(!bench.sensor.isLinkOpen());
        QVERIFY(!bench.sensor.isStreaming());
        QVERIFY(bench.sensor.isRecording());
    }
};

QTEST_GUILESS_MAIN(TestSensorFaults)
#include "tst_sensorfaults.moc"
