#include "ManualClock.h"
#include "SignalGenerator.h"
#include "SimulatedSensor.h"

#include "SimWire.h"

#include <QtTest>

#include <cmath>

using namespace sensorsim;
using namespace simwire;

namespace {

constexpr quint64 kSerial = 0x0102030405060708ULL;

qint16 be16s(const QByteArray& b, int at)
{
    return qint16((quint16(quint8(b[at])) << 8) | quint8(b[at + 1]));
}

struct Bench
{
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    SimulatedSensor sensor{kSerial, clock, 3};

    QByteArray exchange(const QByteArray& b)
    {
        sensor.receive(b);
        return sensor.take();
    }

    // Accelerometer Z at every sample and the quaternion at every second, 50 Hz.
    void setUpTwoTracks()
    {
        const QByteArray serial = bytes({1, 2, 3, 4, 5, 6, 7, 8});
        exchange(request('1', "<ResetTracks>"));
        exchange(request('2', "<AddTrack>", serial + bytes({0x01, 0x12, 0x00, 0x01, 0x01, 0x04})));
        exchange(request('3', "<AddTrack>", serial + bytes({0x01, 0x40, 0x00, 0x02, 0x01, 0x02})));
        exchange(request('4', "<SetBaseFreq>", bytes({0x00, 0x32})));
        exchange(request('5', "<SetMeasID>", bytes({0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88})));
    }
};

const QByteArray kTwoTrackHeader = bytes({
    0xDD, 0x88, 0x00, 0x01, 0x00, 0x32,                         // magic, one device, 50 Hz
    0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88,             // measurement id
    0x00, 0x00, 0x00, 0x00,                                     // first sample number
    0xE4, 0x8D,                                                 // CRC-16/ARC of the 18 bytes before
    0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x00, 0x02, // serial, two tracks
    0x01, 0x12, 0x02, 0x00, 0x01, 0x04,                         // Acc. Z, 2 bytes, every sample, config 4
    0x01, 0x40, 0x04, 0x00, 0x02, 0x02,                         // quaternion, 4-byte parts, every 2nd, config 2
});

} // namespace

class TestSensorStream : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void streamStartsWithAcknowledgementHeaderAndFirstPacket()
    {
        Bench bench;
        bench.setUpTwoTracks();
        const QByteArray out = bench.exchange(request('6', "<SetFeature>", bytes({4, 1})));
        const QByteArray ack("<msg>6<OK></msg>\r\n");
        QVERIFY(out.startsWith(ack + kTwoTrackHeader));
        const QVector<QByteArray> packets = livePackets(out.mid(ack.size() + kTwoTrackHeader.size()));
        QCOMPARE(packets.size(), 1);
        const QByteArray& group = packets[0];
        QCOMPARE(group.size(), 8 + 2 + 16);
        QCOMPARE(group.left(8), bytes({0x00, 0x03, 0x01, 0x40, 0, 0, 0, 0})); // mask, its CRC, sample 0
        QVERIFY(bench.sensor.isStreaming());
    }

    void packetsFollowTheBaseFrequencyAndDownSampling()
    {
        Bench bench;
        bench.setUpTwoTracks();
        bench.exchange(request('6', "<SetFeature>", bytes({4, 1})));
        bench.clock->advanceMs(100); // samples 1 to 5 at 20 ms spacing
        const QVector<QByteArray> packets = livePackets(bench.sensor.take());
        QCOMPARE(packets.size(), 5);
        for (int i = 0; i < packets.size(); ++i) {
            const quint32 sample = quint32(i + 1);
            const QByteArray& g = packets[i];
            const bool withQuaternion = sample % 2 == 0;
            QCOMPARE(g.size(), withQuaternion ? 26 : 10);
            QCOMPARE(g.left(4), withQuaternion ? bytes({0x00, 0x03, 0x01, 0x40}) : bytes({0x00, 0x01, 0xC0, 0xC1}));
            QCOMPARE(be32(g, 4), sample);
            // Gravity on Z: about 2048 counts per g.
            const int accZ = be16s(g, 8);
            QVERIFY2(accZ > 1700 && accZ < 2400, qPrintable(QString::number(accZ)));
            if (withQuaternion) {
                double norm = 0;
                for (int c = 0; c < 4; ++c) {
                    const double v = double(qint32(be32(g, 10 + 4 * c)));
                    norm += v * v;
                }
                QVERIFY(std::fabs(std::sqrt(norm) / 1073741824.0 - 1.0) < 0.01);
            }
        }
        // Nothing more until the next sample is due.
        bench.clock->advanceMs(19);
        QVERIFY(bench.sensor.take().isEmpty());
        bench.clock->advanceMs(1);
        QCOMPARE(livePackets(bench.sensor.take()).size(), 1);
    }

    void severalGroupsShareAPacketUpTo255Bytes()
    {
        Bench bench;
        bench.setUpTwoTracks();
        bench.sensor.setGroupsPerPacket(32);
        QByteArray out = bench.exchange(request('6', "<SetFeature>", bytes({5, 1}))); // over Bluetooth
        bench.clock->advanceMs(2000);
        out += bench.sensor.take();
        const int start = out.indexOf(kTwoTrackHeader) + kTwoTrackHeader.size();
        const QVector<QByteArray> packets = livePackets(out.mid(start));
        QVERIFY(packets.size() > 1);
        quint32 expected = 0;
        for (const QByteArray& packet : packets) {
            QVERIFY(packet.size() <= 255);
            int at = 0;
            while (at < packet.size()) {
                QCOMPARE(be32(packet, at + 4), expected);
                at += (expected % 2 == 0) ? 26 : 10;
                ++expected;
            }
            QCOMPARE(at, packet.size());
        }
        // Every packet but the one still filling is full: the next group would not fit.
        for (int i = 0; i + 1 < packets.size(); ++i)
            QVERIFY(packets[i].size() > 255 - 26);
    }

    void switchingOffStopsTheStreamAndOnSendsANewHeader()
    {
        Bench bench;
        bench.setUpTwoTracks();
        bench.exchange(request('6', "<SetFeature>", bytes({4, 1})));
        bench.clock->advanceMs(50);
        bench.sensor.take();
        QCOMPARE(bench.exchange(request('7', "<SetFeature>", bytes({4, 0}))), QByteArray("<msg>7<OK></msg>\r\n"));
        QVERIFY(!bench.sensor.isStreaming());
        bench.clock->advanceMs(500);
        QVERIFY(bench.sensor.take().isEmpty());

        // A new measurement id is announced by the next header; samples count from 0 again.
        bench.exchange(request('8', "<SetMeasID>", bytes({0, 0, 0, 0, 0, 0, 0, 9})));
        const QByteArray out = bench.exchange(request('9', "<SetFeature>", bytes({4, 1})));
        QByteArray header = kTwoTrackHeader;
        header.replace(6, 8, bytes({0, 0, 0, 0, 0, 0, 0, 9}));
        QVERIFY(out.mid(18, 18).contains(bytes({0, 0, 0, 0, 0, 0, 0, 9})));
        QCOMPARE(out.mid(18 + 20, header.size() - 20), header.mid(20)); // device header unchanged
    }

    void streamingAgainWhileStreamingRepeatsTheHeader()
    {
        Bench bench;
        bench.setUpTwoTracks();
        bench.exchange(request('6', "<SetFeature>", bytes({4, 1})));
        bench.clock->advanceMs(30);
        bench.sensor.take();
        const QByteArray out = bench.exchange(request('7', "<SetFeature>", bytes({4, 1})));
        QVERIFY(out.startsWith("<msg>7<OK></msg>\r\n"));
        const int at = out.indexOf(bytes({0xDD, 0x88, 0x00, 0x01}));
        QVERIFY(at > 0);
        // The repeated header names the next sample number; counting goes on.
        QCOMPARE(be32(out, at + 14), quint32(2));
    }

    void bothStreamFeaturesMakeOneStream()
    {
        Bench bench;
        bench.setUpTwoTracks();
        bench.exchange(request('6', "<SetFeature>", bytes({4, 1})) + request('7', "<SetFeature>", bytes({5, 1})));
        bench.clock->advanceMs(100);
        QCOMPARE(livePackets(bench.sensor.take()).size(), 5);
        bench.exchange(request('8', "<SetFeature>", bytes({4, 0})));
        QVERIFY(bench.sensor.isStreaming());
        bench.exchange(request('9', "<SetFeature>", bytes({5, 0})));
        QVERIFY(!bench.sensor.isStreaming());
    }

    void eachStreamFeatureStreamsOnItsOwnPort_data()
    {
        QTest::addColumn<QByteArray>("features");
        QTest::addColumn<Port>("askedOver");
        QTest::addColumn<bool>("onCable");
        QTest::addColumn<bool>("onBluetooth");
        QTest::newRow("cable stream") << bytes({4}) << Port::Cable << true << false;
        QTest::newRow("Bluetooth stream asked over the cable") << bytes({5}) << Port::Cable << false << true;
        QTest::newRow("Bluetooth stream asked over Bluetooth") << bytes({5}) << Port::Bluetooth << false << true;
        QTest::newRow("both") << bytes({4, 5}) << Port::Bluetooth << true << true;
    }

    void eachStreamFeatureStreamsOnItsOwnPort()
    {
        QFETCH(QByteArray, features);
        QFETCH(Port, askedOver);
        QFETCH(bool, onCable);
        QFETCH(bool, onBluetooth);
        Bench bench;
        bench.setUpTwoTracks();
        bench.sensor.take(-1, Port::Bluetooth); // a host on each port
        QByteArray requests;
        QByteArray acks;
        for (int i = 0; i < features.size(); ++i) {
            requests += request(char('6' + i), "<SetFeature>", bytes({features[i], 1}));
            acks += QByteArray("<msg>") + char('6' + i) + "<OK></msg>\r\n";
        }
        bench.sensor.receive(requests, askedOver);
        bench.clock->advanceMs(100); // samples 0 to 5
        QByteArray out[2] = {bench.sensor.take(-1, Port::Cable), bench.sensor.take(-1, Port::Bluetooth)};
        QVERIFY(out[int(askedOver)].startsWith(acks));
        out[int(askedOver)].remove(0, acks.size());

        const bool streams[2] = {onCable, onBluetooth};
        for (int port = 0; port < 2; ++port) {
            QCOMPARE(bench.sensor.isStreaming(Port(port)), streams[port]);
            QCOMPARE(out[port].left(kTwoTrackHeader.size()), streams[port] ? kTwoTrackHeader : QByteArray());
            const QVector<QByteArray> packets = livePackets(out[port].mid(kTwoTrackHeader.size()));
            QCOMPARE(packets.size(), streams[port] ? 6 : 0);
            for (int i = 0; i < packets.size(); ++i)
                QCOMPARE(be32(packets[i], 4), quint32(i));
        }
        if (onCable && onBluetooth)
            QCOMPARE(out[1], out[0]); // one stream, sent twice
    }

    void aHostAloneGetsEitherStreamUntilTheStreamsOwnPortHasOne_data()
    {
        QTest::addColumn<Port>("alone");
        QTest::addColumn<int>("feature");
        QTest::newRow("cable host, Bluetooth stream") << Port::Cable << 5;
        QTest::newRow("Bluetooth host, cable stream") << Port::Bluetooth << 4;
    }

    void aHostAloneGetsEitherStreamUntilTheStreamsOwnPortHasOne()
    {
        QFETCH(Port, alone);
        QFETCH(int, feature);
        const Port own = alone == Port::Cable ? Port::Bluetooth : Port::Cable;
        Bench bench;
        bench.sensor.setPrimaryPort(alone);
        bench.setUpTwoTracks();
        QVERIFY(bench.exchange(request('6', "<SetFeature>", bytes({feature, 1}))).startsWith(QByteArray("<msg>6<OK></msg>\r\n") + kTwoTrackHeader));
        bench.clock->advanceMs(40);
        QCOMPARE(livePackets(bench.sensor.take(-1, alone)).size(), 2);
        // A host on the stream's own port takes it over, from a header that names the next sample.
        const QByteArray header = bench.sensor.take(-1, own);
        QCOMPARE(header.size(), kTwoTrackHeader.size());
        QCOMPARE(be32(header, 14), quint32(3));
        bench.clock->advanceMs(20);
        QCOMPARE(bench.sensor.take(-1, alone), QByteArray());
        const QVector<QByteArray> packets = livePackets(bench.sensor.take(-1, own));
        QCOMPARE(packets.size(), 1);
        QCOMPARE(be32(packets[0], 4), quint32(3));
    }

    void headerRepeatsWhileStreamingWhenAsked()
    {
        Bench bench;
        bench.setUpTwoTracks();
        bench.sensor.setHeaderRepeatMs(200);
        bench.exchange(request('6', "<SetFeature>", bytes({4, 1})));
        bench.clock->advanceMs(1000);
        const QByteArray out = bench.sensor.take();
        QCOMPARE(out.count(kTwoTrackHeader.left(6)), 5); // at 200, 400, 600, 800, 1000 ms
    }

    void repliesGoBetweenPacketsNeverIntoThem()
    {
        Bench bench;
        bench.setUpTwoTracks();
        bench.sensor.setGroupsPerPacket(4);
        bench.exchange(request('6', "<SetFeature>", bytes({4, 1})));
        bench.sensor.take();
        QByteArray out;
        for (int i = 0; i < 20; ++i) {
            bench.clock->advanceMs(30);
            out += bench.exchange(request(char('a' + i), "<GetTopState>"));
        }
        QCOMPARE(out.count("<SndTopState>"), 20);
        // Removing the replies leaves a clean sequence of packets.
        for (int i = 0; i < 20; ++i)
            out.replace(QByteArray("<msg>") + char('a' + i) + "<SndTopState>" + char(0) + "</msg>\r\n", QByteArray());
        QVERIFY(!livePackets(out).isEmpty());
    }

    void emptyTrackTableStreamsAHeaderOnly()
    {
        Bench bench;
        bench.exchange(request('1', "<ResetTracks>"));
        const QByteArray out = bench.exchange(request('2', "<SetFeature>", bytes({4, 1})));
        QCOMPARE(out.size(), 18 + 20 + 10);
        QCOMPARE(out.right(2), bytes({0, 0}));
        bench.clock->advanceMs(1000);
        QVERIFY(bench.sensor.take().isEmpty());
    }

    void signalsArePlausible()
    {
        SignalGenerator generator(11);
        int outliers = 0;
        double previousBattery = 1e9;
        for (int i = 0; i < 2000; ++i) {
            const double t = i * 0.05;
            const double x = generator.scalar(0x0110, t, t) / 2048.0;
            const double y = generator.scalar(0x0111, t, t) / 2048.0;
            const double z = generator.scalar(0x0112, t, t) / 2048.0;
            const double g = std::sqrt(x * x + y * y + z * z);
            QVERIFY2(g > 0.85 && g < 1.15, qPrintable(QString::number(g)));
            for (quint16 gyro : {0x0120, 0x0121, 0x0122})
                QVERIFY(std::fabs(generator.scalar(gyro, t, t) / 16.4) < 100.0);
            const int gct = generator.scalar(0x8014, t, t);
            QVERIFY(gct > 0 && gct < 600);
            if (gct < 100 || gct > 200)
                ++outliers;
            const int flight = generator.scalar(0x8004, t, t);
            QVERIFY(flight >= 300 && flight <= 600);
            qint32 q[4];
            generator.quaternion(0x0141, t, q);
            double norm = 0;
            for (qint32 c : q)
                norm += double(c) * double(c);
            QVERIFY(std::fabs(std::sqrt(norm) / SignalGenerator::kQuaternionOne - 1.0) < 0.001);
        }
        // A few ground contacts are outliers, most are not.
        QVERIFY2(outliers > 0 && outliers < 300, qPrintable(QString::number(outliers)));
        // The battery runs down slowly over an hour.
        for (double uptime : {0.0, 600.0, 1800.0, 3600.0}) {
            const double battery = generator.scalar(0x0310, 0, uptime);
            QVERIFY(battery < previousBattery + 10);
            QVERIFY(battery > 3300 && battery < 4200);
            previousBattery = battery;
        }
        QVERIFY(generator.scalar(0x0310, 0, 3600) < generator.scalar(0x0310, 0, 0) - 100);
    }

    // Impact peaks: with them on, every sample but the peaks is the signal
    // it would have been; a peak stands far from both neighbours.
    void spikesAreSingleSamplesFarFromBothNeighbours_data()
    {
        QTest::addColumn<quint16>("track");
        QTest::addColumn<double>("period");
        QTest::newRow("acc x at 1 kHz") << quint16(0x0110) << 0.001;
        QTest::newRow("acc z at 1 kHz") << quint16(0x0112) << 0.001;
        QTest::newRow("acc y at 100 Hz") << quint16(0x0111) << 0.01;
        QTest::newRow("acc x every 20 ms") << quint16(0x0110) << 0.02;
    }
    void spikesAreSingleSamplesFarFromBothNeighbours()
    {
        QFETCH(quint16, track);
        QFETCH(double, period);
        SignalGenerator plain(5);
        SignalGenerator spiky(5);
        spiky.setSpikes(true);
        const int samples = int(std::lround(60.0 / period));
        QVector<int> values(samples);
        QVector<qint64> peaks;
        QVector<double> signs;
        for (int k = 0; k < samples; ++k) {
            const double t = k * period;
            const int expected = plain.scalar(track, t, t, period);
            values[k] = spiky.scalar(track, t, t, period);
            const double peak = spiky.spikeG(track, k, period);
            if (peak == 0.0) {
                QCOMPARE(values[k], expected);
                continue;
            }
            QVERIFY2(std::fabs(values[k] - expected) >= 2.0 * 2048 - 1, qPrintable(QString::number(k)));
            QCOMPARE(values[k] - expected > 0, peak > 0);
            peaks.append(k);
            signs.append(peak);
        }
        for (qint64 k : peaks) {
            if (k == 0 || k + 1 == samples)
                continue;
            QVERIFY(std::abs(values[k] - values[k - 1]) > 1.5 * 2048);
            QVERIFY(std::abs(values[k] - values[k + 1]) > 1.5 * 2048);
            QVERIFY(spiky.spikeG(track, k - 1, period) == 0.0 && spiky.spikeG(track, k + 1, period) == 0.0);
        }
        // About every 0.3 to 0.8 s, up and down; some come in pairs of one sign.
        int up = 0, pairs = 0;
        double longest = 0, shortest = 1e9;
        for (int i = 0; i < peaks.size(); ++i) {
            up += signs[i] > 0 ? 1 : 0;
            if (i == 0)
                continue;
            const double gap = double(peaks[i] - peaks[i - 1]) * period;
            if (gap < 0.1) {
                ++pairs;
                QVERIFY((signs[i] > 0) == (signs[i - 1] > 0));
                QVERIFY(gap >= 0.02 && peaks[i] - peaks[i - 1] >= 2);
            } else {
                shortest = qMin(shortest, gap);
                longest = qMax(longest, gap);
            }
        }
        QVERIFY2(peaks.size() > 60 / 0.8 && peaks.size() < 1.5 * 60 / 0.3, qPrintable(QString::number(peaks.size())));
        QVERIFY2(up > peaks.size() / 4 && up < peaks.size() * 3 / 4, qPrintable(QString::number(up)));
        QVERIFY2(pairs > 5 && pairs < peaks.size() / 2, qPrintable(QString::number(pairs)));
        QVERIFY2(shortest >= 0.2 && longest <= 0.85, qPrintable(QStringLiteral("%1 %2").arg(shortest).arg(longest)));
    }

    void spikesFollowTheSeedAndStayOffTheOtherTracks()
    {
        SignalGenerator a(5), b(5), c(6);
        for (SignalGenerator* g : {&a, &b, &c})
            g->setSpikes(true);
        QVector<qint64> ofA, ofB, ofC;
        for (qint64 k = 0; k < 20000; ++k) {
            if (a.spikeG(0x0110, k, 0.001) != 0.0)
                ofA.append(k);
            if (b.spikeG(0x0110, k, 0.001) != 0.0)
                ofB.append(k);
            if (c.spikeG(0x0110, k, 0.001) != 0.0)
                ofC.append(k);
            for (quint16 other : {0x0120, 0x0130, 0x0310, 0x8014})
                QCOMPARE(a.spikeG(other, k, 0.001), 0.0);
        }
        QCOMPARE(ofA, ofB);
        QVERIFY(!ofA.isEmpty() && ofA != ofC);
        a.setSpikes(false);
        QCOMPARE(a.spikeG(0x0110, ofA.first(), 0.001), 0.0);
    }

    // On the wire: acceleration X at 1 kHz for three seconds.
    void spikesReachTheLiveStreamAsSingleSamples_data()
    {
        QTest::addColumn<bool>("spikes");
        QTest::newRow("with peaks") << true;
        QTest::newRow("without") << false;
    }
    void spikesReachTheLiveStreamAsSingleSamples()
    {
        QFETCH(bool, spikes);
        Bench bench;
        bench.sensor.setSpikes(spikes);
        const QByteArray serial = bytes({1, 2, 3, 4, 5, 6, 7, 8});
        bench.exchange(request('1', "<ResetTracks>"));
        bench.exchange(request('2', "<AddTrack>", serial + bytes({0x01, 0x10, 0x00, 0x01, 0x01, 0x04})));
        bench.exchange(request('3', "<SetBaseFreq>", bytes({0x03, 0xE8})));
        bench.exchange(request('4', "<SetFeature>", bytes({4, 1})));
        bench.clock->advanceMs(3000);
        const QVector<QByteArray> packets = livePackets(bench.sensor.take());
        QCOMPARE(packets.size(), 3000);
        QVector<int> values;
        for (const QByteArray& group : packets)
            values.append(be16s(group, 8));
        int peaks = 0;
        for (int k = 1; k + 1 < values.size(); ++k) {
            if (std::abs(values[k]) < 0.3 * 2048)
                continue;
            ++peaks;
            QVERIFY(std::abs(values[k - 1]) < 0.3 * 2048 && std::abs(values[k + 1]) < 0.3 * 2048);
            QVERIFY(std::abs(values[k]) > 2 * 2048);
        }
        if (spikes)
            QVERIFY2(peaks >= 3 && peaks <= 14, qPrintable(QString::number(peaks)));
        else
            QCOMPARE(peaks, 0);
    }
};

QTEST_GUILESS_MAIN(TestSensorStream)
#include "tst_sensorstream.moc"
