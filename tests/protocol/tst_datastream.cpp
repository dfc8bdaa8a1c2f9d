#include "Data/Track.h"
#include "Data/TrackList.h"
#include "Protocol/ParseLiveStream.h"
#include "Protocol/ReplyTimeEstimate.h"
#include "Protocol/UploadDataPage.h"
#include "Protocol/UploadDataPages.h"

#include "LogCapture.h"
#include "WireBytes.h"

#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using namespace WireBytes;

namespace {

constexpr quint64 kDevice = 0xA1;
constexpr quint64 kMeasurement = 0x77;

// Acc. X (2 bytes, 1/2048 g per step) and Pressure (4 bytes, scale 1).
std::unique_ptr<TrackList> twoTrackList()
{
    auto list = std::make_unique<TrackList>(nullptr, kDevice, kMeasurement);
    list->AddTrack(Track::AccX, 1, 2, 0);
    list->AddTrack(Track::Pressure, 1, 4, 0);
    return list;
}

// One group for the two-track list: both samples.
QByteArray fullGroup(quint32 number, qint16 acc, qint32 pressure)
{
    return sampleGroup(0x0003, number, u16(quint16(acc)) + u32(quint32(pressure)));
}

// Sample number -> value of a track, for compact comparisons.
QMap<quint32, double> samplesOf(TrackList& list, quint16 id)
{
    QMap<quint32, double> result;
    Track* track = list.getTrackById(id);
    if (!track)
        return result;
    const QList<quint32> numbers = track->getScalarSampleNumbers();
    const QList<double> values = track->getScalarSamples();
    for (int i = 0; i < numbers.size(); ++i)
        result.insert(numbers.at(i), values.at(i));
    return result;
}

QByteArray pageOf(const QByteArray& groups)
{
    return groups + QByteArray(2048 - groups.size(), '\xFF');
}

QByteArray composeAs(Message& message, quint8 number)
{
    Message::messageNumberGlobal = number;
    return message.Compose();
}


// Counts every sample the parser stores, through the forwarded live values.
struct StoredCounter {
    explicit StoredCounter(ParseDataStream& parser, TrackList& list)
    {
        for (Track* track : list.getAllTracks())
            track->setDoEmitUpdates(true);
        QObject::connect(&parser, &ParseDataStream::newLiveValue, [this](quint32, double) { ++count; });
    }
    int count = 0;
};

} // namespace

class TestDataStream : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { m_log = std::make_unique<LogCapture>(); }
    void cleanup() { m_log.reset(); }

    void onlyTheListOfItsOwnDeviceAndMeasurementIsAdopted()
    {
        auto list = twoTrackList();
        ParseLiveStream parser(kDevice, kMeasurement);
        parser.DeviceTrackListChanged(kDevice + 1, kMeasurement, list.get());
        parser.DeviceTrackListChanged(kDevice, kMeasurement + 1, list.get());
        QVERIFY(parser.getTrackList() == nullptr);
        QVERIFY(!parser.ParsePacket(fullGroup(1, 1, 1), 0, 10));
        QVERIFY(!m_log->contains("CheckB"));

        parser.DeviceTrackListChanged(kDevice, kMeasurement, list.get());
        QCOMPARE(parser.getTrackList(), list.get());
        QCOMPARE(m_log->count("CheckB"), 1);

        // Live values of the list reach the parser's listeners, once each
        // even when the list is announced again.
        parser.DeviceTrackListChanged(kDevice, kMeasurement, list.get());
        QSignalSpy live(&parser, &ParseDataStream::newLiveValue);
        Q_EMIT list->newLiveValue(0x0110, 2.5);
        QCOMPARE(live.count(), 1);
        QCOMPARE(live.first().at(1).toDouble(), 2.5);
    }

    void groupsAreStoredUnderTheirSampleNumbers()
    {
        auto list = twoTrackList();
        ParseLiveStream parser(kDevice, kMeasurement);
        parser.DeviceTrackListChanged(kDevice, kMeasurement, list.get());
        const QByteArray groups = fullGroup(10, 2048, -5) + fullGroup(11, -1024, 70000);
        QVERIFY(parser.ParsePacket(groups, 0, groups.size()));
        QCOMPARE(samplesOf(*list, Track::AccX), (QMap<quint32, double>{{10, 1.0}, {11, -0.5}}));
        QCOMPARE(samplesOf(*list, Track::Pressure), (QMap<quint32, double>{{10, -5.0}, {11, 70000.0}}));
        QCOMPARE(parser.getLastParsedPosition(), quint64(groups.size()));
    }

    void maskBitWithoutTrackConsumesNothing()
    {
        auto list = twoTrackList();
        ParseLiveStream parser(kDevice, kMeasurement);
        parser.DeviceTrackListChanged(kDevice, kMeasurement, list.get());
        // Mask 0x0005: bit 0 is Acc. X, bit 2 has no track. The group is
        // 2 + 2 + 4 + 2 bytes; the next group must be found right behind it.
        const QByteArray first = sampleGroup(0x0005, 20, u16(4096));
        QCOMPARE(first.size(), 10);
        const QByteArray groups = first + fullGroup(21, 2048, 9);
        QVERIFY(parser.ParsePacket(groups, 0, groups.size()));
        QCOMPARE(samplesOf(*list, Track::AccX), (QMap<quint32, double>{{20, 2.0}, {21, 1.0}}));
        QCOMPARE(samplesOf(*list, Track::Pressure), (QMap<quint32, double>{{21, 9.0}}));
        QVERIFY(!m_log->contains("non existing index"));
    }

    void badGroupsEndThePacket_data()
    {
        QTest::addColumn<QByteArray>("window");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("stored");
        QTest::addColumn<int>("accSamples");
        QTest::addColumn<int>("pressureSamples");
        QTest::addColumn<int>("maskFailures");

        const QByteArray good = fullGroup(1, 100, 200);
        QByteArray badCrc = fullGroup(2, 100, 200);
        badCrc[3] = char(badCrc[3] ^ 0x01);
        QTest::newRow("mask CRC broken in the second group") << good + badCrc + good << 0 << 30 << true << 1 << 1 << 1;
        QTest::newRow("length zero") << good << 0 << 0 << false << 0 << 0 << 0;
        QTest::newRow("packet ends inside the group header") << good << 0 << 6 << false << 0 << 0 << 0;
        // The packet ends two bytes into the Pressure sample; the bytes after
        // the packet must not be read as the rest of it.
        QTest::newRow("packet ends inside a sample") << good + bytes({0xBB, 0x66}) << 0 << 12 << true << 1 << 0 << 0;
        QTest::newRow("window ends inside a sample") << good.left(11) << 0 << 200 << true << 1 << 0 << 0;
        QTest::newRow("start beyond the window") << good << 50 << 10 << false << 0 << 0 << 0;
        QTest::newRow("length byte in front") << QByteArray(1, char(good.size())) + good << 0 << -1 << true << 1 << 1 << 0;
        QTest::newRow("length byte says less") << QByteArray(1, char(6)) + good << 0 << -1 << false << 0 << 0 << 0;
        QTest::newRow("erased flash after the last group") << good + QByteArray(40, char(0xFF)) << 0 << 50 << true << 1 << 1 << 0;
        // A page whose last group leaves two or three bytes: erased, not broken.
        QTest::newRow("two erased bytes end the page") << good + QByteArray(2, char(0xFF)) << 0 << 16 << true << 1 << 1 << 0;
        QTest::newRow("three erased bytes end the page") << good + QByteArray(3, char(0xFF)) << 0 << 17 << true << 1 << 1 << 0;
        QTest::newRow("a broken mask in the last three bytes")
            << good + bytes({0xFF, 0xFE, 0xFF}) << 0 << 17 << true << 1 << 1 << 1;
        QTest::newRow("length byte missing") << QByteArray() << 0 << -1 << false << 0 << 0 << 0;
    }

    void badGroupsEndThePacket()
    {
        QFETCH(QByteArray, window);
        QFETCH(int, start);
        QFETCH(int, length);
        QFETCH(bool, stored);
        QFETCH(int, accSamples);
        QFETCH(int, pressureSamples);
        QFETCH(int, maskFailures);

        auto list = twoTrackList();
        ParseLiveStream parser(kDevice, kMeasurement);
        parser.DeviceTrackListChanged(kDevice, kMeasurement, list.get());
        QCOMPARE(parser.ParsePacket(window, quint64(start), length), stored);
        QCOMPARE(list->getTrackById(Track::AccX)->numberOfSamples(), accSamples);
        QCOMPARE(list->getTrackById(Track::Pressure)->numberOfSamples(), pressureSamples);
        QCOMPARE(parser.maskFailures(), maskFailures);
    }

    void vectorSamplesKeepTheGroupInStep()
    {
        TrackList list(nullptr, kDevice, kMeasurement);
        list.AddTrack(Track::FusionWithMagDmp, 1, 16, 0);
        list.AddTrack(Track::AccX, 1, 2, 0);
        ParseLiveStream parser(kDevice, kMeasurement);
        parser.DeviceTrackListChanged(kDevice, kMeasurement, &list);
        const QByteArray quaternion = u32(1) + u32(2) + u32(3) + u32(4);
        const QByteArray groups = sampleGroup(0x0003, 5, quaternion + u16(2048)) + sampleGroup(0x0002, 6, u16(1024));
        QVERIFY(parser.ParsePacket(groups, 0, groups.size()));
        QCOMPARE(samplesOf(list, Track::AccX), (QMap<quint32, double>{{5, 1.0}, {6, 0.5}}));
    }

    void liveStreamParsesEachPacketOnce()
    {
        auto list = twoTrackList();
        ParseLiveStream parser(kDevice, kMeasurement);
        parser.DeviceTrackListChanged(kDevice, kMeasurement, list.get());
        StoredCounter stored(parser, *list);

        const QByteArray window = QByteArray("<msg>1<OK></msg>\r\n") + packet(fullGroup(1, 1, 1))
            + packet(fullGroup(2, 2, 2) + fullGroup(3, 3, 3));
        QVERIFY(!parser.tryToParse(window, 0));
        QCOMPARE(stored.count, 6);
        QVERIFY(!parser.tryToParse(window, 0));
        QCOMPARE(stored.count, 6);
        QCOMPARE(samplesOf(*list, Track::Pressure).keys(), (QList<quint32>{1, 2, 3}));
    }

    // Two links of one sensor, both streaming, their windows offered in
    // turn: each link is read from where it stopped, so no packet is
    // skipped and none is read twice, whatever the two positions are.
    void liveStreamKeepsItsPlacePerLink()
    {
        auto list = twoTrackList();
        ParseLiveStream parser(kDevice, kMeasurement);
        parser.DeviceTrackListChanged(kDevice, kMeasurement, list.get());
        StoredCounter stored(parser, *list);

        QByteArray cable = packet(fullGroup(1, 1, 1));
        QByteArray bluetooth = QByteArray(40, 'x') + packet(fullGroup(101, 1, 1));
        const quint64 bluetoothOffset = 5000; // a link opened later starts further on
        parser.offerWindow("ttyUSB0", cable, 0);
        parser.offerWindow("rfcomm0", bluetooth, bluetoothOffset);
        cable += packet(fullGroup(2, 2, 2));
        bluetooth += packet(fullGroup(102, 2, 2));
        parser.offerWindow("ttyUSB0", cable, 0);
        parser.offerWindow("rfcomm0", bluetooth, bluetoothOffset);
        parser.offerWindow("ttyUSB0", cable, 0); // nothing new
        QCOMPARE(samplesOf(*list, Track::AccX).keys(), (QList<quint32>{1, 2, 101, 102}));
        QCOMPARE(stored.count, 8);
    }

    void liveStreamResumesAfterTheDroppedFront()
    {
        auto list = twoTrackList();
        ParseLiveStream parser(kDevice, kMeasurement);
        parser.DeviceTrackListChanged(kDevice, kMeasurement, list.get());
        StoredCounter stored(parser, *list);

        const QByteArray p1 = packet(fullGroup(1, 1, 1));
        const QByteArray p2 = packet(fullGroup(2, 2, 2));
        const QByteArray p3 = packet(fullGroup(3, 3, 3));
        QByteArray stream = QByteArray(7, 'x') + p1 + p2;
        parser.tryToParse(stream, 0);
        QCOMPARE(stored.count, 4);

        // The link kept only the newest bytes: the front up to the middle of
        // p2 is gone, p3 has arrived.
        stream += p3;
        const int dropped = 7 + p1.size() + 5;
        parser.tryToParse(stream.mid(dropped), quint64(dropped));
        QCOMPARE(stored.count, 6);
        QCOMPARE(samplesOf(*list, Track::AccX).keys(), (QList<quint32>{1, 2, 3}));
        QCOMPARE(parser.getLastParsedPosition(), quint64(stream.size() - 2));

        // Everything older than the window: the scan starts at its front.
        const QByteArray p4 = packet(fullGroup(4, 4, 4));
        parser.tryToParse(p4, quint64(stream.size() + 100));
        QCOMPARE(stored.count, 8);
    }

    void packetIsParsedOnceItsEndHasArrived()
    {
        auto list = twoTrackList();
        ParseLiveStream parser(kDevice, kMeasurement);
        parser.DeviceTrackListChanged(kDevice, kMeasurement, list.get());
        StoredCounter stored(parser, *list);
        const QByteArray stream = packet(fullGroup(1, 1, 1)) + packet(fullGroup(2, 2, 2));
        for (int cut = 1; cut < stream.size(); ++cut)
            parser.tryToParse(stream.left(cut), 0);
        QCOMPARE(stored.count, 2);
        parser.tryToParse(stream, 0);
        QCOMPARE(stored.count, 4);
    }

    void packetsWithBrokenMarkersAreSkipped()
    {
        auto list = twoTrackList();
        ParseLiveStream parser(kDevice, kMeasurement);
        parser.DeviceTrackListChanged(kDevice, kMeasurement, list.get());
        QByteArray wrongEnd = packet(fullGroup(1, 1, 1));
        wrongEnd[wrongEnd.size() - 1] = char(0x67);
        const QByteArray window = wrongEnd + packet(QByteArray()) + packet(fullGroup(2, 2, 2));
        parser.tryToParse(window, 0);
        QCOMPARE(samplesOf(*list, Track::AccX).keys(), (QList<quint32>{2}));
    }

    void packetsBeforeTheTrackListAreParsedOnceItIsKnown()
    {
        auto list = twoTrackList();
        ParseLiveStream parser(kDevice, kMeasurement);
        const QByteArray window = packet(fullGroup(1, 1, 1));
        parser.tryToParse(window, 0);
        QCOMPARE(parser.getLastParsedPosition(), quint64(0));
        parser.DeviceTrackListChanged(kDevice, kMeasurement, list.get());
        parser.tryToParse(window, 0);
        QCOMPARE(list->getTrackById(Track::AccX)->numberOfSamples(), 1);
    }

    void listThatGoesAwayIsNoLongerUsed()
    {
        auto list = twoTrackList();
        ParseLiveStream parser(kDevice, kMeasurement);
        parser.DeviceTrackListChanged(kDevice, kMeasurement, list.get());
        list.reset();
        QVERIFY(parser.getTrackList() == nullptr);
        parser.tryToParse(packet(fullGroup(1, 1, 1)), 0);
        QCOMPARE(parser.getLastParsedPosition(), quint64(0));
    }

    void liveListenerIsNeverCompletedByFrames()
    {
        ParseLiveStream parser(kDevice, kMeasurement);
        QCOMPARE(parser.getCommand(), QByteArray("<ParseLiveStream>"));
        QVERIFY(!parser.tryToParse(frame(parser.getMessageNumber(), "<ParseLiveStream>"), 0));
        QVERIFY(!parser.done());
    }

    // What a page reply without samples means depends on where it lies: at
    // or before the stop address it is a fault, asked for again and then
    // given up on; behind it, or in a recording without a stop address, it
    // is the end.
    void pageWithoutSamples_data()
    {
        QTest::addColumn<bool>("openEnded");
        QTest::addColumn<bool>("beyondStop");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<bool>("failed");
        QTest::newRow("before the stop: asked again, then given up")
            << false << false << QStringList{"again", "again", "empty 0/4/5", "failed"} << true;
        QTest::newRow("no stop address: the end") << true << false << QStringList{"message done", "upload done"}
                                                  << false;
        QTest::newRow("behind the stop: the end") << false << true << QStringList{"message done", "upload done"}
                                                  << false;
    }

    void pageWithoutSamples()
    {
        QFETCH(bool, openEnded);
        QFETCH(bool, beyondStop);
        QFETCH(QStringList, events);
        QFETCH(bool, failed);
        auto list = twoTrackList();
        const FlashAddress page(0, 4, 5);
        UploadDataPage upload(kDevice, kMeasurement, page, beyondStop ? FlashAddress(0, 4, 4) : FlashAddress(0, 4, 9));
        upload.setOpenEnded(openEnded);
        upload.DeviceTrackListChanged(kDevice, kMeasurement, list.get());
        QStringList seen;
        connect(&upload, &UploadDataPage::uploadPageDone, this, [&] { seen << "page"; });
        connect(&upload, &UploadDataPage::uploadDone, this, [&] { seen << "upload done"; });
        connect(&upload, &Message::messageDone, this, [&] { seen << "message done"; });
        connect(&upload, &Message::messageFailed, this, [&] { seen << "failed"; });
        connect(&upload, &UploadDataPage::uploadPageEmpty, this, [&](quint64, quint64, quint32 address) {
            const FlashAddress at(address);
            seen << QStringLiteral("empty %1/%2/%3").arg(at.getLun()).arg(at.getBlock()).arg(at.getPage());
        });
        for (quint8 number = 0x20; number < 0x24 && !upload.done() && !upload.failed(); ++number) {
            // Always the same page, never one further on.
            QCOMPARE(composeAs(upload, number), request(number, "<GetFlashPage>", bytes({0, 0, 4, 5})));
            QVERIFY(upload.tryToParse(frame(number, "<SndFlashPage>", pageOf({})), 0));
            if (upload.reschedule())
                seen << "again";
        }
        QCOMPARE(seen, events);
        QCOMPARE(upload.failed(), failed);
        QCOMPARE(upload.isComplete(), !failed);
        QCOMPARE(upload.getPagesStored(), quint32(0));
    }

    // A page that arrives after an empty one was asked for again is stored
    // and the walk goes on.
    void anEmptyPageAskedAgainThatArrivesIsStored()
    {
        auto list = twoTrackList();
        UploadDataPage upload(kDevice, kMeasurement, FlashAddress(0, 4, 63), FlashAddress(0, 5, 0));
        upload.DeviceTrackListChanged(kDevice, kMeasurement, list.get());
        QSignalSpy pageDone(&upload, &UploadDataPage::uploadPageDone);
        QSignalSpy uploadDone(&upload, &UploadDataPage::uploadDone);
        composeAs(upload, 0x30);
        QVERIFY(upload.tryToParse(frame(0x30, "<SndFlashPage>", pageOf({})), 0));
        QVERIFY(upload.reschedule());
        QCOMPARE(composeAs(upload, 0x31), request(0x31, "<GetFlashPage>", bytes({0, 0, 4, 63})));
        QVERIFY(upload.tryToParse(frame(0x31, "<SndFlashPage>", pageOf(fullGroup(1, 1, 1))), 0));
        // The next request asks for the next page, across the block boundary.
        QCOMPARE(composeAs(upload, 0x32), request(0x32, "<GetFlashPage>", bytes({0, 0, 5, 0})));
        QVERIFY(upload.tryToParse(frame(0x32, "<SndFlashPage>", pageOf(fullGroup(2, 1, 1))), 0));
        QCOMPARE(pageDone.count(), 2);
        QCOMPARE(pageDone.last().at(2).toUInt(), quint32(5 * 256));
        QCOMPARE(uploadDone.count(), 1);
        QCOMPARE(uploadDone.first(), (QList<QVariant>{kDevice, kMeasurement}));

        // The last frame stays in the window for a while; it ends nothing twice.
        const QByteArray window = frame(0x32, "<SndFlashPage>", pageOf(fullGroup(2, 1, 1)));
        for (int poll = 0; poll < 3; ++poll)
            QVERIFY(!upload.tryToParse(window, 0));
        QCOMPARE(uploadDone.count(), 1);
        QCOMPARE(pageDone.count(), 2);
    }

    // A resumed upload reads the page of its stored progress first. When
    // that page adds samples, what is stored is older than its progress,
    // and the reader goes back to the first page before anything else.
    void resumeCheck_data()
    {
        QTest::addColumn<bool>("alreadyStored");
        QTest::addColumn<QByteArray>("next");
        QTest::newRow("page stored: go on") << true << bytes({0, 0, 4, 11, 0, 0, 4, 19});
        QTest::newRow("page not stored: back to the first") << false << bytes({0, 0, 4, 1, 0, 0, 4, 9});
    }

    void resumeCheck()
    {
        QFETCH(bool, alreadyStored);
        QFETCH(QByteArray, next);
        auto list = twoTrackList();
        if (alreadyStored) {
            list->getTrackById(Track::AccX)->setCurrentSampleNumber(10);
            list->getTrackById(Track::AccX)->AddScalarSample(1.0 / 2048);
            list->getTrackById(Track::Pressure)->setCurrentSampleNumber(10);
            list->getTrackById(Track::Pressure)->AddScalarSample(1);
        }
        UploadDataPage upload(kDevice, kMeasurement, FlashAddress(0, 4, 10), FlashAddress(0, 4, 30));
        upload.setPagesPerRequest(8);
        upload.setResumeCheck(FlashAddress(0, 4, 1));
        upload.DeviceTrackListChanged(kDevice, kMeasurement, list.get());
        QSignalSpy rewound(&upload, &UploadDataPage::uploadRewound);
        QSignalSpy pageDone(&upload, &UploadDataPage::uploadPageDone);
        // The checked page goes alone, not in a run.
        QCOMPARE(composeAs(upload, 0x40), request(0x40, "<GetFlashPage>", bytes({0, 0, 4, 10})));
        QVERIFY(upload.tryToParse(frame(0x40, "<SndFlashPage>", pageOf(fullGroup(10, 1, 1))), 0));
        QVERIFY(upload.reschedule());
        QCOMPARE(rewound.count(), alreadyStored ? 0 : 1);
        QCOMPARE(pageDone.count(), alreadyStored ? 1 : 0);
        // Then runs again, from the page after it or from the first page.
        QCOMPARE(composeAs(upload, 0x41), request(0x41, "<GetFlashPages>", next));
    }

    // A run lost as a whole halves the run length; complete runs bring it
    // back, so a few losses do not leave a link at one page per round trip.
    void runLengthShrinksOnLossAndGrowsBack()
    {
        auto list = twoTrackList();
        UploadDataPage upload(kDevice, kMeasurement, FlashAddress(0, 8, 0), FlashAddress(0, 20, 0));
        upload.setPagesPerRequest(8);
        upload.DeviceTrackListChanged(kDevice, kMeasurement, list.get());
        const auto pagesNamed = [](const QByteArray& request) {
            const QByteArray range = request.mid(5 + 1 + 15, 8);
            return int(quint8(range[7])) - int(quint8(range[3]));
        };
        QList<int> runs;
        quint8 number = 0x10;
        quint32 sample = 0;
        runs << pagesNamed(composeAs(upload, number));
        upload.timedOut(); // nothing of that run arrived
        for (int request = 0; request < 6; ++request) {
            number = quint8(number + 16);
            const int pages = pagesNamed(composeAs(upload, number));
            runs << pages;
            for (int page = 0; page < pages; ++page)
                QVERIFY(upload.tryToParse(frame(quint8(number + page), "<SndFlashPage>",
                                                pageOf(fullGroup(sample++, 1, 1))), 0));
            QVERIFY(upload.reschedule());
        }
        QCOMPARE(runs, (QList<int>{8, 4, 4, 4, 4, 8, 8}));
        QCOMPARE(upload.getPagesPerRequest(), 8);
        QCOMPARE(upload.getCurrentAddress(), FlashAddress(0, 8, 32));
    }

    // The wait for a page is learnt from the link: short on a quick one,
    // as long as a slow or uneven one needs, longer after each loss.
    void pageWaitFollowsTheLink_data()
    {
        QTest::addColumn<QList<int>>("samplesMs");
        QTest::addColumn<int>("losses");
        QTest::addColumn<int>("waitMs");
        QTest::newRow("nothing measured yet") << QList<int>{} << 0 << 300;
        QTest::newRow("a quick cable") << QVector<int>(10, 2).toList() << 0 << ReplyTimeEstimate::kMinMs;
        QTest::newRow("a steady 40 ms") << QVector<int>(10, 40).toList() << 0 << 57;
        QTest::newRow("after a loss") << QVector<int>(10, 40).toList() << 1 << 113;
        QTest::newRow("after three losses") << QVector<int>(10, 40).toList() << 3 << ReplyTimeEstimate::kMaxMs;
        const QList<int> burst {26, 0, 27, 1, 26, 0, 25};
        QTest::newRow("pages that come in bursts") << burst + burst + burst << 0 << 78;
    }

    void pageWaitFollowsTheLink()
    {
        QFETCH(QList<int>, samplesMs);
        QFETCH(int, losses);
        QFETCH(int, waitMs);
        ReplyTimeEstimate estimate;
        for (const int sample : samplesMs)
            estimate.addSample(sample);
        for (int loss = 0; loss < losses; ++loss)
            estimate.backOff();
        QCOMPARE(estimate.timeoutMs(), waitMs);
        // A new sample ends the back-off.
        if (losses > 0) {
            estimate.addSample(40);
            QCOMPARE(estimate.timeoutMs(), 55); // the deviation shrinks a little more
        }
    }

    void uploadEndsAtTheStopAddress()
    {
        auto list = twoTrackList();
        UploadDataPage upload(kDevice, kMeasurement);
        upload.setStartAddress(quint32(0x0300));
        upload.setStopAddress(quint32(0x0302));
        QVERIFY(m_log->contains(" UploadDataPage start and current Address: "));
        upload.DeviceTrackListChanged(kDevice, kMeasurement, list.get());
        QSignalSpy pageDone(&upload, &UploadDataPage::uploadPageDone);
        QSignalSpy uploadDone(&upload, &UploadDataPage::uploadDone);
        for (int i = 0; i < 5 && !upload.done(); ++i) {
            const QByteArray sent = composeAs(upload, quint8(0x40 + i));
            QCOMPARE(int(sent.at(23)), i); // page byte of the address
            upload.tryToParse(frame(quint8(0x40 + i), "<SndFlashPage>", pageOf(fullGroup(quint32(i), 1, 1))), 0);
        }
        QVERIFY(upload.done());
        QCOMPARE(pageDone.count(), 3);
        QCOMPARE(uploadDone.count(), 1);
        QCOMPARE(list->getTrackById(Track::AccX)->numberOfSamples(), 3);
    }

    void pageReplyDataEndsBeforeTheFrameEnd()
    {
        // A group cut by the page end must not take the frame's end token
        // as sample bytes.
        auto list = twoTrackList();
        UploadDataPage upload(kDevice, kMeasurement, FlashAddress(0, 1, 1), FlashAddress(0, 1, 1));
        upload.DeviceTrackListChanged(kDevice, kMeasurement, list.get());
        // Empty groups (mask 0 has CRC 00 00) fill the page up to the last ten bytes.
        QByteArray data = fullGroup(1, 1, 1);
        data += QByteArray(2048 - 10 - data.size(), '\0');
        data += sampleGroup(0x0003, 99, u16(7)); // Acc. X fits, Pressure is cut off
        QCOMPARE(data.size(), 2048);
        composeAs(upload, 0x50);
        upload.tryToParse(frame(0x50, "<SndFlashPage>", data), 0);
        QVERIFY(!samplesOf(*list, Track::Pressure).contains(99));
        QCOMPARE(samplesOf(*list, Track::AccX).value(99), 7.0 / 2048);
    }

    void uploadDisposalReportsAbortedUnlessDone()
    {
        auto* upload = new UploadDataPage(kDevice, kMeasurement);
        QPointer<UploadDataPage> guard(upload);
        QSignalSpy aborted(upload, &Message::messageAborted);
        QSignalSpy uploadAborted(upload, &UploadDataPage::uploadAborted);
        upload->Compose();
        upload->disposalHook();
        QCOMPARE(aborted.count(), 1);
        QCOMPARE(uploadAborted.count(), 1);
        QCOMPARE(uploadAborted.first(), (QList<QVariant>{kDevice, kMeasurement}));
        QVERIFY(m_log->contains(" Upload datapage was aborted: "));
        QTRY_VERIFY(guard.isNull());

        // A recording without data pages ends at the first page behind its header.
        auto* finished = new UploadDataPage(kDevice, kMeasurement, FlashAddress(0, 1, 2), FlashAddress(0, 1, 1));
        QSignalSpy finishedAborted(finished, &UploadDataPage::uploadAborted);
        composeAs(*finished, 0x60);
        finished->tryToParse(frame(0x60, "<SndFlashPage>", pageOf({})), 0);
        QVERIFY(finished->done());
        finished->disposalHook();
        QCOMPARE(finishedAborted.count(), 0);
    }

    void tenPageReadExpectsConsecutiveNumbers()
    {
        auto list = twoTrackList();
        UploadDataPages upload(kDevice, kMeasurement, FlashAddress(0, 2, 0), FlashAddress(0, 2, 40));
        upload.DeviceTrackListChanged(kDevice, kMeasurement, list.get());
        QCOMPARE(composeAs(upload, 0x70),
                 request(0x70, "<GetFlashPages>", bytes({0, 0, 2, 0, 0, 0, 2, 10})));
        for (int i = 0; i < 10; ++i) {
            const quint8 number = quint8(0x70 + i);
            // A page under the previous number is not taken again.
            if (i > 0)
                QVERIFY(!upload.tryToParse(frame(quint8(number - 1), "<SndFlashPage>", pageOf(fullGroup(0, 1, 1))), 0));
            QVERIFY(upload.tryToParse(frame(number, "<SndFlashPage>", pageOf(fullGroup(quint32(i), 1, 1))), 0));
            QCOMPARE(int(upload.getPagesReceived()), i + 1);
            QCOMPARE(upload.reschedule(), i == 9);
        }
        QVERIFY(!upload.done());
        QCOMPARE(upload.getCurrentAddress().toQuint32(), quint32(2 * 256 + 10));
        QCOMPARE(list->getTrackById(Track::AccX)->numberOfSamples(), 10);
        // The next request starts where the last one ended.
        QCOMPARE(composeAs(upload, 0x10), request(0x10, "<GetFlashPages>", bytes({0, 0, 2, 10, 0, 0, 2, 20})));
    }

    void tenPageReadStopsAtAnEmptyPage()
    {
        auto list = twoTrackList();
        UploadDataPages upload(kDevice, kMeasurement, FlashAddress(0, 2, 0), FlashAddress(0, 2, 40));
        upload.DeviceTrackListChanged(kDevice, kMeasurement, list.get());
        QSignalSpy messageDone(&upload, &Message::messageDone);
        composeAs(upload, 0x80);
        QVERIFY(upload.tryToParse(frame(0x80, "<SndFlashPage>", pageOf(fullGroup(1, 1, 1))), 0));
        QVERIFY(!upload.done());
        QVERIFY(upload.tryToParse(frame(0x81, "<SndFlashPage>", pageOf({})), 0));
        QVERIFY(upload.done());
        QVERIFY(!upload.reschedule());
        QCOMPARE(messageDone.count(), 0);
    }

private:
    std::unique_ptr<LogCapture> m_log;
};

QTEST_GUILESS_MAIN(TestDataStream)
#include "tst_datastream.moc"
