#include "ManualClock.h"
#include "SimRandom.h"
#include "SimulatedSensor.h"

#include "SimWire.h"

#include <QtTest>

using namespace sensorsim;
using namespace simwire;

namespace {

constexpr quint64 kSerial = 0x0102030405060708ULL;

struct Bench
{
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    SimulatedSensor sensor{kSerial, clock, 7};

    QByteArray exchange(const QByteArray& bytes)
    {
        sensor.receive(bytes);
        return sensor.take();
    }
};

} // namespace

class TestSensorCommands : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void everyCommandGetsItsReply_data()
    {
        QTest::addColumn<QByteArray>("requestBytes");
        QTest::addColumn<QByteArray>("expected");

        const QByteArray serial = bytes({1, 2, 3, 4, 5, 6, 7, 8});
        QTest::newRow("serial") << request('1', "<GetSerial>")
                                << QByteArray("<msg>1<SndSerial>") + serial + "</msg>\r\n";
        QTest::newRow("firmware") << request(0x35, "<GetFirmware>")
                                  << QByteArray("<msg>\x35<SndFirmware>") + bytes({0x00, 0x2A}) + "</msg>\r\n";
        QTest::newRow("top state") << request('3', "<GetTopState>")
                                   << QByteArray("<msg>3<SndTopState>") + bytes({0}) + "</msg>\r\n";
        QTest::newRow("colour") << request('4', "<SetDeviceColor>", bytes({0x00, 0xFF, 0x80, 0x00}))
                                << QByteArray("<msg>4<OK></msg>\r\n");
        QTest::newRow("feature on") << request('5', "<SetFeature>", bytes({15, 1})) << QByteArray("<msg>5<OK></msg>\r\n");
        QTest::newRow("feature off") << request('5', "<SetFeature>", bytes({2, 0})) << QByteArray("<msg>5<OK></msg>\r\n");
        QTest::newRow("base frequency") << request('6', "<SetBaseFreq>", bytes({0x11, 0x70}))
                                        << QByteArray("<msg>6<OK></msg>\r\n");
        QTest::newRow("reset tracks") << request('7', "<ResetTracks>") << QByteArray("<msg>7<OK></msg>\r\n");
        QTest::newRow("add track") << request('8', "<AddTrack>", serial + bytes({0x00, 0x10, 0x00, 0x04, 0x01, 0x00}))
                                   << QByteArray("<msg>8<OK></msg>\r\n");
        QTest::newRow("measurement id") << request('9', "<SetMeasID>", bytes({0, 0, 0, 0, 0, 0, 1, 2}))
                                        << QByteArray("<msg>9<OK></msg>\r\n");
        QTest::newRow("store settings") << request(':', "<StoreSettings>") << QByteArray("<msg>:<OK></msg>\r\n");
        QTest::newRow("erased page") << request(';', "<GetFlashPage>", bytes({0, 0, 1, 0}))
                                     << QByteArray("<msg>;<SndFlashPage>") + QByteArray(2048, char(0xFF)) + "</msg>\r\n";
        QTest::newRow("delete block") << request('=', "<DeleteBlock>", bytes({0, 0x0F, 0xFF, 0}))
                                      << QByteArray("<msg>=<OK></msg>\r\n");
        QTest::newRow("number byte is a bracket") << request('<', "<GetTopState>")
                                                  << QByteArray("<msg><<SndTopState>") + bytes({0}) + "</msg>\r\n";
        QTest::newRow("number byte zero") << request(0, "<ResetTracks>")
                                          << QByteArray("<msg>") + char(0) + "<OK></msg>\r\n";

        // Requests the sensor cannot carry out are refused.
        QTest::newRow("unknown command") << request('a', "<Bogus>") << QByteArray("<msg>a<NOK></msg>\r\n");
        QTest::newRow("payload too short") << request('b', "<SetFeature>", bytes({4}))
                                           << QByteArray("<msg>b<NOK></msg>\r\n");
        QTest::newRow("payload where none belongs") << request('c', "<GetSerial>", bytes({1}))
                                                    << QByteArray("<msg>c<NOK></msg>\r\n");
        QTest::newRow("feature flag neither on nor off") << request('d', "<SetFeature>", bytes({4, 2}))
                                                         << QByteArray("<msg>d<NOK></msg>\r\n");
        QTest::newRow("base frequency zero") << request('e', "<SetBaseFreq>", bytes({0, 0}))
                                             << QByteArray("<msg>e<NOK></msg>\r\n");
        QTest::newRow("track for another sensor") << request('f', "<AddTrack>", bytes({0, 0, 0, 0, 0, 0, 1, 2, 0x00, 0x10, 0, 4, 1, 0}))
                                                  << QByteArray("<msg>f<NOK></msg>\r\n");
        QTest::newRow("page of unit 2") << request('g', "<GetFlashPage>", bytes({2, 0, 0, 0}))
                                        << QByteArray("<msg>g<NOK></msg>\r\n");
        QTest::newRow("page 64") << request('h', "<GetFlashPage>", bytes({0, 0, 1, 64}))
                                 << QByteArray("<msg>h<NOK></msg>\r\n");
        QTest::newRow("block 4096") << request('i', "<DeleteBlock>", bytes({0, 0x10, 0x00, 0}))
                                    << QByteArray("<msg>i<NOK></msg>\r\n");
        QTest::newRow("page range without range") << request('j', "<GetFlashPages>")
                                                  << QByteArray("<msg>j<NOK></msg>\r\n");
    }

    void everyCommandGetsItsReply()
    {
        QFETCH(QByteArray, requestBytes);
        QFETCH(QByteArray, expected);
        Bench bench;
        bench.sensor.receive(requestBytes);
        // A payload shorter than its command needs is judged once nothing more
        // has come for a while; everything else is answered at once.
        bench.clock->advanceUs(SimulatedSensor::kInputIdleUs);
        QCOMPARE(bench.sensor.take(), expected);
        QCOMPARE(bench.sensor.requestLog().size(), 1);
    }

    void commandsChangeTheSensorState()
    {
        Bench bench;
        const QByteArray serial = bytes({1, 2, 3, 4, 5, 6, 7, 8});
        bench.exchange(request('1', "<SetDeviceColor>", bytes({0x00, 0xFF, 0x80, 0x00})));
        QCOMPARE(bench.sensor.colour(), quint32(0xFF8000));

        bench.exchange(request('2', "<SetFeature>", bytes({15, 1})));
        QVERIFY(bench.sensor.featureOn(15));
        bench.exchange(request('3', "<SetFeature>", bytes({15, 0})));
        QVERIFY(!bench.sensor.featureOn(15));

        bench.exchange(request('4', "<SetBaseFreq>", bytes({0x11, 0x70})));
        QCOMPARE(int(bench.sensor.baseFrequency()), 0x1170);

        bench.exchange(request('5', "<ResetTracks>"));
        QVERIFY(bench.sensor.tracks().isEmpty());
        bench.exchange(request('6', "<AddTrack>", serial + bytes({0x01, 0x21, 0x00, 0x08, 0x01, 0x04})));
        bench.exchange(request('7', "<AddTrack>", serial + bytes({0x01, 0x40, 0x00, 0x00, 0x00, 0x02})));
        QCOMPARE(bench.sensor.tracks().size(), 2);
        QCOMPARE(bench.sensor.tracks().at(0), (TrackEntry{0x0121, 8, 1, 4}));
        QCOMPARE(bench.sensor.tracks().at(1), (TrackEntry{0x0140, 0, 0, 2}));

        bench.exchange(request('8', "<SetMeasID>", bytes({0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10})));
        QCOMPARE(bench.sensor.measurementId(), quint64(0xFEDCBA9876543210ULL));

        QVERIFY(!(bench.sensor.storedSettings() == bench.sensor.settings()));
        bench.exchange(request('9', "<StoreSettings>"));
        QVERIFY(bench.sensor.storedSettings() == bench.sensor.settings());

        // After a power cycle the stored settings are back, the rest is cleared.
        bench.exchange(request(':', "<ResetTracks>"));
        bench.exchange(request(';', "<SetFeature>", bytes({2, 1})));
        bench.sensor.restart();
        QCOMPARE(bench.sensor.tracks().size(), 2);
        QCOMPARE(int(bench.sensor.baseFrequency()), 0x1170);
        QCOMPARE(bench.sensor.colour(), quint32(0xFF8000));
        QVERIFY(!bench.sensor.featureOn(2));
        QCOMPARE(bench.sensor.measurementId(), quint64(0));
    }

    void addingAKnownTrackUpdatesItInPlace()
    {
        Bench bench;
        const QByteArray serial = bytes({1, 2, 3, 4, 5, 6, 7, 8});
        bench.exchange(request('1', "<ResetTracks>"));
        bench.exchange(request('2', "<AddTrack>", serial + bytes({0x01, 0x10, 0, 1, 1, 4})));
        bench.exchange(request('3', "<AddTrack>", serial + bytes({0x01, 0x11, 0, 1, 1, 4})));
        QCOMPARE(bench.exchange(request('4', "<AddTrack>", serial + bytes({0x01, 0x10, 0, 4, 1, 4}))),
                 QByteArray("<msg>4<OK></msg>\r\n"));
        QCOMPARE(bench.sensor.tracks().size(), 2);
        QCOMPARE(bench.sensor.tracks().at(0), (TrackEntry{0x0110, 4, 1, 4}));
    }

    void trackTableHoldsSixteenTracks()
    {
        Bench bench;
        const QByteArray serial = bytes({1, 2, 3, 4, 5, 6, 7, 8});
        bench.exchange(request('0', "<ResetTracks>"));
        for (int i = 0; i < 16; ++i)
            QCOMPARE(bench.exchange(request(char('A' + i), "<AddTrack>", serial + bytes({0x80, 0x20 + i, 0, 1, 1, 0}))),
                     QByteArray("<msg>") + char('A' + i) + "<OK></msg>\r\n");
        QCOMPARE(bench.exchange(request('z', "<AddTrack>", serial + bytes({0x80, 0x40, 0, 1, 1, 0}))),
                 QByteArray("<msg>z<NOK></msg>\r\n"));
        QCOMPARE(bench.sensor.tracks().size(), 16);
    }

    void tableAndRateStayWhileSampling_data()
    {
        QTest::addColumn<int>("feature");
        QTest::newRow("streaming over USB") << 4;
        QTest::newRow("streaming over Bluetooth") << 5;
        QTest::newRow("recording") << 6;
    }

    void tableAndRateStayWhileSampling()
    {
        QFETCH(int, feature);
        Bench bench;
        const QByteArray serial = bytes({1, 2, 3, 4, 5, 6, 7, 8});
        bench.exchange(request('1', "<SetFeature>", bytes({feature, 1})));
        QVERIFY(bench.exchange(request('2', "<ResetTracks>")).contains("<msg>2<NOK></msg>\r\n"));
        QVERIFY(bench.exchange(request('3', "<SetBaseFreq>", bytes({0, 50}))).contains("<msg>3<NOK></msg>\r\n"));
        QVERIFY(bench.exchange(request('4', "<AddTrack>", serial + bytes({0x02, 0x10, 0, 1, 1, 0}))).contains("<msg>4<NOK></msg>\r\n"));
        QCOMPARE(bench.sensor.settings(), SensorSettings::factoryDefaults());
        bench.exchange(request('5', "<SetFeature>", bytes({feature, 0})));
        QVERIFY(bench.exchange(request('6', "<ResetTracks>")).contains("<msg>6<OK></msg>\r\n"));
    }

    void anyChunkingGivesTheSameReplies()
    {
        // Several requests with noise before, between and after them.
        const QByteArray serial = bytes({1, 2, 3, 4, 5, 6, 7, 8});
        QByteArray stream = bytes({0x00, 0xFF, '<', 'm', 's'});
        stream += request('1', "<GetSerial>");
        stream += "garbage<msg";
        stream += request('2', "<AddTrack>", serial + bytes({0x01, 0x12, 0, 2, 1, 4}));
        stream += request('3', "<SetMeasID>", bytes({0x3C, 0x6D, 0x73, 0x67, 0x3E, 0, 0, 1})); // payload starts with "<msg>"
        stream += request('4', "<GetFirmware>");
        stream += "\r\n</msg>\r\n";

        Bench whole;
        const QByteArray expected = whole.exchange(stream);
        QCOMPARE(whole.sensor.requestTokens(),
                 (QList<QByteArray>{"<GetSerial>", "<AddTrack>", "<SetMeasID>", "<GetFirmware>"}));
        QCOMPARE(whole.sensor.measurementId(), quint64(0x3C6D73673E000001ULL));

        Bench byteByByte;
        QByteArray output;
        for (char c : stream)
            output += byteByByte.exchange(QByteArray(1, c));
        QCOMPARE(output, expected);

        for (int chunk : {2, 3, 7, 13, 64}) {
            Bench chunked;
            QByteArray out;
            for (int i = 0; i < stream.size(); i += chunk)
                out += chunked.exchange(stream.mid(i, chunk));
            QCOMPARE(out, expected);
        }
    }

    void payloadThatLooksLikeAnEndTokenStaysInItsFrame()
    {
        Bench bench;
        const QByteArray id("</msg>\r\n");
        QCOMPARE(bench.exchange(request('1', "<SetMeasID>", id)), QByteArray("<msg>1<OK></msg>\r\n"));
        quint64 expected = 0;
        for (char c : id)
            expected = (expected << 8) | quint8(c);
        QCOMPARE(bench.sensor.measurementId(), expected);
    }

    void cutOffFrameIsSkippedAndTheNextOneAnswered()
    {
        Bench bench;
        // A request whose end never came, then a complete one.
        const QByteArray out = bench.exchange(QByteArray("<msg>1<SetFeature>\x04") + request('2', "<GetTopState>"));
        QCOMPARE(out, QByteArray("<msg>2<SndTopState>") + char(0) + "</msg>\r\n");
        QCOMPARE(bench.sensor.requestTokens(), QList<QByteArray>{"<GetTopState>"});
        QVERIFY(!bench.sensor.featureOn(4));
    }

    void frameWithAnOddPayloadIsRefusedOnceItsEndArrives()
    {
        Bench bench;
        // Three payload bytes where fourteen belong; the sensor waits for the
        // rest until the next frame shows that none is coming.
        QCOMPARE(bench.exchange(QByteArray("<msg>1<AddTrack>abc</msg>\r\n")), QByteArray());
        QCOMPARE(bench.exchange(request('2', "<GetTopState>")),
                 QByteArray("<msg>1<NOK></msg>\r\n<msg>2<SndTopState>") + char(0) + "</msg>\r\n");
    }

    void noiseNeverStopsTheSensor()
    {
        // Random bytes mixed with pieces of frames, in random chunks: the sensor
        // keeps answering whatever complete request comes after them.
        Bench bench;
        SimRandom random(77);
        const QList<QByteArray> pieces{"<msg>", "</msg>\r\n", "<GetSerial>", "<AddTrack>", "<SetMeasID>", "<", ">"};
        QByteArray noise;
        while (noise.size() < 200000) {
            if (random.chance(0.2)) {
                noise += pieces.at(int(random.below(quint64(pieces.size()))));
            } else {
                const int n = 1 + int(random.below(64));
                for (int i = 0; i < n; ++i)
                    noise.append(char(random.next()));
            }
        }
        for (int i = 0; i < noise.size();) {
            const int chunk = 1 + int(random.below(300));
            bench.sensor.receive(noise.mid(i, chunk));
            bench.clock->advanceMs(1);
            bench.sensor.take();
            i += chunk;
        }
        bench.clock->advanceMs(100);
        bench.sensor.take();
        // A frame end flushes whatever half frame the noise left behind.
        bench.sensor.receive(QByteArray("</msg>\r\n"));
        bench.clock->advanceMs(100);
        bench.sensor.take();
        QCOMPARE(bench.exchange(request('Q', "<GetFirmware>")),
                 QByteArray("<msg>Q<SndFirmware>") + bytes({0x00, 0x2A}) + "</msg>\r\n");
    }

    void repliesGoBackOnThePortTheRequestCameIn_data()
    {
        QTest::addColumn<Port>("asked");
        QTest::newRow("cable") << Port::Cable;
        QTest::newRow("Bluetooth") << Port::Bluetooth;
    }

    void repliesGoBackOnThePortTheRequestCameIn()
    {
        QFETCH(Port, asked);
        const Port other = asked == Port::Cable ? Port::Bluetooth : Port::Cable;
        Bench bench;
        // Half a request on the other port neither completes nor spoils the
        // whole one that arrives on this port in between.
        const QByteArray serialRequest = request('2', "<GetSerial>");
        bench.sensor.receive(serialRequest.left(9), other);
        bench.sensor.receive(request('1', "<GetTopState>"), asked);
        QCOMPARE(bench.sensor.take(-1, asked), QByteArray("<msg>1<SndTopState>") + char(0) + "</msg>\r\n");
        QCOMPARE(bench.sensor.take(-1, other), QByteArray());
        bench.sensor.receive(serialRequest.mid(9), other);
        QCOMPARE(bench.sensor.take(-1, other), QByteArray("<msg>2<SndSerial>") + bytes({1, 2, 3, 4, 5, 6, 7, 8}) + "</msg>\r\n");
        QCOMPARE(bench.sensor.take(-1, asked), QByteArray());

        const QVector<RequestRecord>& log = bench.sensor.requestLog();
        QCOMPARE(bench.sensor.requestTokens(), (QList<QByteArray>{"<GetTopState>", "<GetSerial>"}));
        QCOMPARE(log.at(0).port, asked);
        QCOMPARE(log.at(1).port, other);
    }

    void requestLogKeepsArrivalOrderAndPayloads()
    {
        Bench bench;
        QVector<RequestRecord> observed;
        bench.sensor.setRequestObserver([&](const RequestRecord& r) { observed.append(r); });
        bench.exchange(request('1', "<SetFeature>", bytes({15, 1})));
        bench.clock->advanceMs(5);
        bench.exchange(request('2', "<Nonsense>") + request('3', "<GetSerial>"));
        const QVector<RequestRecord>& log = bench.sensor.requestLog();
        QCOMPARE(log.size(), 3);
        QCOMPARE(log.at(0).token, QByteArray("<SetFeature>"));
        QCOMPARE(log.at(0).payload, bytes({15, 1}));
        QCOMPARE(log.at(0).timeUs, qint64(0));
        QCOMPARE(log.at(0).outcome, RequestRecord::Answered);
        QCOMPARE(log.at(1).outcome, RequestRecord::Refused);
        QVERIFY(!log.at(1).injected);
        QCOMPARE(int(log.at(2).number), int('3'));
        QCOMPARE(log.at(2).timeUs, qint64(5000));
        QCOMPARE(observed.size(), 3);
        bench.sensor.clearRequestLog();
        QVERIFY(bench.sensor.requestLog().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSensorCommands)
#include "tst_sensorcommands.moc"
