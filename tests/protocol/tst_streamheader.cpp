#include "Protocol/LiveStreamParseHeader.h"
#include "Protocol/UploadHeader.h"

#include "LogCapture.h"
#include "WireBytes.h"

#include <QSignalSpy>
#include <QtTest>

using namespace WireBytes;

namespace {

constexpr quint64 kMeasurement = 0x1122334455667788ULL;

// The header of the tests: device 0xA1 with three tracks, device 0xB2 with two.
QByteArray twoDeviceHeader(quint64 measurement = kMeasurement)
{
    return staticHeader(2, measurement)
        + deviceHeader(0xA1, {trackEntry(0x0110, 2, 1, 0), trackEntry(0x0111, 2, 1, 0), trackEntry(0x0112, 2, 4, 1)})
        + deviceHeader(0xB2, {trackEntry(0x0310, 2, 100, 0), trackEntry(0x0141, 16, 2, 3)});
}

// Every announcement of a header parser, as text, in the order emitted.
class Recorder : public QObject
{
public:
    explicit Recorder(ParseHeader* parser)
    {
        connect(parser, &ParseHeader::DeviceTrackFound, this,
                [this](quint64 serial, quint64 measurement, quint16 id, quint16 width, quint16 ds, quint8 config) {
                    events << QStringLiteral("track %1 %2 %3 %4 %5 %6")
                                  .arg(serial, 0, 16)
                                  .arg(measurement, 0, 16)
                                  .arg(id, 0, 16)
                                  .arg(width)
                                  .arg(ds)
                                  .arg(config);
                });
        connect(parser, &ParseHeader::DeviceTracksParsed, this, [this](quint64 serial, quint64 measurement) {
            events << QStringLiteral("device %1 %2").arg(serial, 0, 16).arg(measurement, 0, 16);
        });
    }
    QStringList events;
};

const QStringList kTwoDeviceEvents{
    "track a1 1122334455667788 110 2 1 0", "track a1 1122334455667788 111 2 1 0",
    "track a1 1122334455667788 112 2 4 1", "device a1 1122334455667788",
    "track b2 1122334455667788 310 2 100 0", "track b2 1122334455667788 141 16 2 3",
    "device b2 1122334455667788"};

} // namespace

class TestStreamHeader : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void headersAreFoundWhereverTheyLie_data()
    {
        QTest::addColumn<QByteArray>("window");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QStringList>("events");

        const QByteArray header = twoDeviceHeader();
        QTest::newRow("alone") << header << true << kTwoDeviceEvents;
        QTest::newRow("behind a stray DD 88")
            << bytes({0x00, 0xDD, 0x88, 0x00, 0x02, 0xDD, 0x88}) + header << true << kTwoDeviceEvents;
        QTest::newRow("behind a header start whose CRC fails")
            << staticHeader(2, 7).left(19) + header + QByteArray("tail") << true << kTwoDeviceEvents;
        QByteArray swapped = header;
        swapped[18] = header[19];
        swapped[19] = header[18];
        QTest::newRow("CRC bytes swapped") << swapped << false << QStringList();
        QByteArray wrongMagic = header;
        wrongMagic[1] = char(0x89);
        QTest::newRow("wrong magic") << wrongMagic << false << QStringList();
        QTest::newRow("no device headers") << staticHeader(0, 5) + QByteArray(30, '\0') << false << QStringList();
        QTest::newRow("sixteen bytes are never scanned") << header.left(16) << false << QStringList();
        QTest::newRow("empty") << QByteArray() << false << QStringList();
        QTest::newRow("cut inside a track entry") << header.left(header.size() - 1) << false << QStringList();
        QTest::newRow("cut inside a device header")
            << header.left(20 + 10 + 18 + 5) << false << QStringList();
        QTest::newRow("device count far beyond the window")
            << staticHeader(65535, 5) + QByteArray(200, '\0') << false << QStringList();
        QTest::newRow("track count far beyond the window")
            << staticHeader(1, 5) + u64(1) + u16(65535) + QByteArray(100, '\x01') << false << QStringList();
        QTest::newRow("device without tracks")
            << staticHeader(1, 9) + deviceHeader(0xC3, {}) << true << QStringList{"device c3 9"};
    }

    void headersAreFoundWhereverTheyLie()
    {
        QFETCH(QByteArray, window);
        QFETCH(bool, found);
        QFETCH(QStringList, events);

        LogCapture log;
        ParseHeader parser(0xA1);
        Recorder recorder(&parser);
        QCOMPARE(parser.FindAndParseStaticHeaders(window), found);
        QCOMPARE(recorder.events, events);
    }

    void twoHeadersInOneWindowAreBothAnnounced()
    {
        LogCapture log;
        ParseHeader parser(1);
        Recorder recorder(&parser);
        const QByteArray window = staticHeader(1, 0x10) + deviceHeader(5, {trackEntry(0x0210, 4, 1, 0)})
            + QByteArray("\x00\xFF", 2) + staticHeader(1, 0x20) + deviceHeader(6, {});
        QVERIFY(parser.FindAndParseStaticHeaders(window));
        QCOMPARE(recorder.events, (QStringList{"track 5 10 210 4 1 0", "device 5 10", "device 6 20"}));
        QCOMPARE(log.count("Track: "), 1);
    }

    void liveListenerIsDoneWithTheFirstCompleteHeader()
    {
        LogCapture log;
        LiveStreamParseHeader listener(0xA1);
        Recorder recorder(&listener);
        QSignalSpy done(&listener, &Message::messageDone);
        const QByteArray before = QByteArray("<msg>1<OK></msg>\r\n") + bytes({0xAA, 0x55, 0x00, 0xBB, 0x66});
        const QByteArray header = twoDeviceHeader();

        QVERIFY(!listener.tryToParse(before + header.left(40), 0));
        QVERIFY(!listener.done());
        QVERIFY(recorder.events.isEmpty());

        QVERIFY(listener.tryToParse(before + header, 0));
        QVERIFY(listener.done());
        QCOMPARE(recorder.events, kTwoDeviceEvents);
        QCOMPARE(done.count(), 0); // its scheduler drops it quietly
        QCOMPARE(log.count(" Stream header parsed successfully"), 1);
    }

    void liveListenerIgnoresFramedReplies()
    {
        LiveStreamParseHeader listener(1);
        QCOMPARE(listener.getCommand(), QByteArray("<LiveStreamParseHeader>"));
        QVERIFY(!listener.tryToParse(frame(listener.getMessageNumber(), "<LiveStreamParseHeader>"), 0));
        QVERIFY(!listener.done());
    }

    void headerPageReadAnnouncesTheTracks()
    {
        LogCapture log;
        UploadHeader read(0xA1, FlashAddress(0, 0x0203, 4));
        Recorder recorder(&read);
        QSignalSpy done(&read, &Message::messageDone);
        Message::messageNumberGlobal = 0x70;
        QCOMPARE(read.Compose(), QByteArray("<msg>\x70<GetFlashPage>\x00\x02\x03\x04</msg>\r\n", 32));

        QByteArray page = twoDeviceHeader();
        page += QByteArray(2048 - page.size(), '\xFF');
        QVERIFY(!read.tryToParse(frame(0x70, "<NOK>"), 0));
        QVERIFY(read.tryToParse(frame(0x70, "<SndFlashPage>", page), 0));
        QVERIFY(read.done());
        QCOMPARE(done.count(), 1);
        QCOMPARE(recorder.events, kTwoDeviceEvents);
    }

    void headerPageWithoutHeaderEndsAsFailed()
    {
        LogCapture log;
        UploadHeader read(0xA1, FlashAddress(0, 5, 0));
        Recorder recorder(&read);
        QSignalSpy failed(&read, &Message::messageFailed);
        QSignalSpy done(&read, &Message::messageDone);
        Message::messageNumberGlobal = 0x71;
        read.Compose();
        const QByteArray reply = frame(0x71, "<SndFlashPage>", QByteArray(2048, '\xFF'));
        QVERIFY(!read.tryToParse(reply, 0));
        QVERIFY(read.failed());
        QVERIFY(!read.done());
        QVERIFY(!read.isWaitingForReply());
        QCOMPARE(failed.count(), 1);
        QCOMPARE(done.count(), 0);
        QVERIFY(recorder.events.isEmpty());
    }

    void headerPageReadAlsoReportsAHeaderStillInTheWindow()
    {
        LogCapture log;
        QByteArray oldPage = staticHeader(1, 0x0AA) + deviceHeader(1, {trackEntry(0x0110, 2, 1, 0)});
        oldPage += QByteArray(2048 - oldPage.size(), '\xFF');
        QByteArray newPage = staticHeader(1, 0x0BB) + deviceHeader(1, {trackEntry(0x0120, 2, 1, 0)});
        newPage += QByteArray(2048 - newPage.size(), '\xFF');

        UploadHeader read(1, FlashAddress(0, 6, 0));
        Recorder recorder(&read);
        Message::messageNumberGlobal = 0x72;
        read.Compose();
        QVERIFY(read.tryToParse(frame(0x60, "<SndFlashPage>", oldPage) + frame(0x72, "<SndFlashPage>", newPage), 0));
        QCOMPARE(recorder.events,
                 (QStringList{"track 1 aa 110 2 1 0", "device 1 aa", "track 1 bb 120 2 1 0", "device 1 bb"}));
    }
};

QTEST_GUILESS_MAIN(TestStreamHeader)
#include "tst_streamheader.moc"
