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
};

QTEST_GUILESS_MAIN(TestSensorStream)
#include "tst_sensorstream.moc"
