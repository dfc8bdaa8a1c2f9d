#include "Protocol/FlashAddress.h"
#include "Protocol/GetSerial.h"
#include "Protocol/Message.h"

#include "LogCapture.h"
#include "WireBytes.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

using WireBytes::bytes;
using WireBytes::frame;

namespace {


// A message whose command, reply token, reply length and parse verdict the
// test chooses.
class Probe : public Message
{
public:
    explicit Probe(quint64 serial = 0x1234)
        : Message(serial)
    {
    }

    void BeforeComposeHook() override
    {
        command = token;
        okToken = reply;
        expectedLength = length;
    }

    bool tryToParseResponseData(const QByteArray& window, int dataStart, int endIndex) override
    {
        ++parseCalls;
        seenData = window.mid(dataStart, endIndex - dataStart);
        return accept;
    }

    bool expectsMoreResponses() override { return more; }

    void requestReschedule(bool on) { rescheduleRequested = on; }

    QByteArray token = "<Probe>";
    QByteArray reply = "<OK>";
    int length = 0;
    bool accept = true;
    bool more = false;
    int parseCalls = 0;
    QByteArray seenData;
};

// Ends itself as done when its reply data is refused, as a reader that
// treats an empty answer as the end of its work would.
class EndsQuietlyOnRefusal : public Probe
{
public:
    void failedToParseHook() override
    {
        isDone = true;
        ++refusals;
    }
    int refusals = 0;
};

// Composes a probe so that its frame carries exactly `number`.
void composeWithNumber(Message& message, quint8 number)
{
    Message::messageNumberGlobal = number;
    message.Compose();
    QCOMPARE(int(message.getMessageNumber()), int(number));
}

} // namespace

class TestMessage : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Must stay the first test: it needs a counter that nobody has used yet.
    void initTestCase()
    {
        QCOMPARE(int(Message::messageNumberGlobal), 0x31);
        GetSerial probe(QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(int(Message::messageNumberGlobal), 0x31);
        const QByteArray expected = QByteArray("<msg>") + char(0x31) + QByteArray("<GetSerial></msg>\r\n");
        QCOMPARE(probe.Compose(), expected);
        QCOMPARE(int(Message::messageNumberGlobal), 0x32);
    }

    void everyTransmissionTakesTheNextNumber()
    {
        Message::messageNumberGlobal = 0x40;
        Probe probe; // uses up 0x40
        QCOMPARE(int(Message::messageNumberGlobal), 0x41);
        const QByteArray first = probe.Compose();
        const QByteArray second = probe.Compose();
        QCOMPARE(int(quint8(first.at(5))), 0x41);
        QCOMPARE(int(quint8(second.at(5))), 0x42);
        QCOMPARE(int(probe.getMessageNumber()), 0x42);
    }

    void numbersWrapAfter0xFF()
    {
        Message::messageNumberGlobal = 0xFD;
        Probe probe; // 0xFD
        QList<int> seen;
        for (int i = 0; i < 3; ++i)
            seen << int(quint8(probe.Compose().at(5)));
        QCOMPARE(seen, (QList<int>{0xFE, 0xFF, 0x00}));
        QCOMPARE(int(Message::messageNumberGlobal), 0x01);
    }

    void constructorsStoreTheirAddressing()
    {
        Message::messageNumberGlobal = 0x50;
        GetSerial byIndex(3, 0x1234);
        QCOMPARE(int(byIndex.getMessageNumber()), 0x34);
        QCOMPARE(byIndex.getDeviceIndex(), 3);
        QCOMPARE(byIndex.getDeviceSerial(), quint64(0));
        QCOMPARE(int(Message::messageNumberGlobal), 0x50);

        GetSerial byLink(QStringLiteral("rfcomm0"));
        QCOMPARE(byLink.getInterfaceIdentifier(), QStringLiteral("rfcomm0"));
        QCOMPARE(byLink.getDeviceSerial(), quint64(0));

        Probe bySerial(0xFEDCBA9876543210ULL);
        QCOMPARE(bySerial.getDeviceSerial(), 0xFEDCBA9876543210ULL);
        bySerial.setSerial(5);
        QCOMPARE(bySerial.getDeviceSerial(), quint64(5));
    }

    void frameCarriesPayloadBytesUntouched()
    {
        Probe probe;
        probe.token = "<Cmd>";
        int position = 0;
        probe.composeUInt8(0, position);
        probe.composeUInt64(0x3C2F6D73673E0D0AULL, position); // "</msg>" and CR LF inside the payload
        const QByteArray payload = bytes({0x00, 0x3C, 0x2F, 0x6D, 0x73, 0x67, 0x3E, 0x0D, 0x0A});
        QCOMPARE(probe.getPayload(), payload);
        Message::messageNumberGlobal = 0x60;
        const QByteArray expected = QByteArray("<msg>") + char(0x60) + "<Cmd>" + payload + QByteArray("</msg>\r\n");
        QCOMPARE(probe.Compose(), expected);
        QVERIFY(probe.isWaitingForReply());
        QVERIFY(!probe.wantsToRetry());
    }

    void replyRecognition_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("length");
        QTest::addColumn<QByteArray>("window");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QByteArray>("data");

        const quint8 n = 0x50;
        const QByteArray ok("<OK>");
        const QByteArray snd("<SndX>");
        QTest::newRow("acknowledgement alone") << int(n) << ok << 0 << frame(n, ok) << true << QByteArray();
        QTest::newRow("oldest of three frames")
            << int(n) << ok << 0 << frame(n, ok) + frame(n + 1, ok) + frame(n + 2, snd, "ab") << true << QByteArray();
        QTest::newRow("between garbage")
            << int(n) << snd << 2 << QByteArray("xx<msg\xFF", 7) + frame(n, snd, "cd") + QByteArray("\0</msg", 6)
            << true << QByteArray("cd");
        QTest::newRow("followed by half a frame")
            << int(n) << ok << 0 << frame(n, ok) + QByteArray("<msg>") + char(n + 1) + QByteArray("<O") << true
            << QByteArray();
        QTest::newRow("number byte is <") << 0x3C << snd << 1 << frame(0x3C, snd, "z") << true << QByteArray("z");
        QTest::newRow("number byte is >") << 0x3E << ok << 0 << frame(0x3E, ok) << true << QByteArray();
        QTest::newRow("number byte is carriage return") << 0x0D << ok << 0 << frame(0x0D, ok) << true << QByteArray();
        QTest::newRow("data holds an OK token")
            << int(n) << snd << 4 << frame(n, snd, "<OK>") << true << QByteArray("<OK>");
        QTest::newRow("newest of two matching frames")
            << int(n) << snd << 1 << frame(n, snd, "A") + frame(n, snd, "B") << true << QByteArray("B");
        QTest::newRow("only other numbers")
            << int(n) << ok << 0 << frame(n + 1, ok) + frame(n - 1, ok) << false << QByteArray();
        QTest::newRow("end token missing") << int(n) << ok << 0 << frame(n, ok).chopped(3) << false << QByteArray();
        QTest::newRow("start token missing") << int(n) << ok << 0 << frame(n, ok).mid(2) << false << QByteArray();
        QTest::newRow("data one byte short") << int(n) << snd << 2 << frame(n, snd, "a") << false << QByteArray();
        QTest::newRow("data one byte long") << int(n) << snd << 2 << frame(n, snd, "abc") << false << QByteArray();
        QTest::newRow("other reply token, ours in a later frame")
            << int(n) << snd << 2 << frame(n, "<SndY>", "ab") + frame(n + 1, snd, "ab") << false << QByteArray();
        QTest::newRow("empty window") << int(n) << ok << 0 << QByteArray() << false << QByteArray();
        QTest::newRow("tokens only") << int(n) << ok << 0 << QByteArray("</msg>\r\n<msg>") << false << QByteArray();
        QTest::newRow("empty frame") << int(n) << ok << 0 << QByteArray("<msg></msg>\r\n") << false << QByteArray();
    }

    void replyRecognition()
    {
        QFETCH(int, number);
        QFETCH(QByteArray, reply);
        QFETCH(int, length);
        QFETCH(QByteArray, window);
        QFETCH(bool, accepted);
        QFETCH(QByteArray, data);

        Probe probe(77);
        probe.reply = reply;
        probe.length = length;
        composeWithNumber(probe, quint8(number));
        QSignalSpy doneSpy(&probe, &Message::messageDone);

        QCOMPARE(probe.tryToParse(window, 0), accepted);
        QCOMPARE(probe.done(), accepted);
        QCOMPARE(probe.isWaitingForReply(), !accepted);
        QCOMPARE(doneSpy.count(), accepted ? 1 : 0);
        QVERIFY(!probe.failed());
        if (accepted) {
            QCOMPARE(doneSpy.first().first().toULongLong(), quint64(77));
            QCOMPARE(probe.seenData, data);
        } else {
            QCOMPARE(probe.parseCalls, 0);
        }
    }

    void eachMessageFindsItsOwnFrameInAnyOrder()
    {
        Probe a, b, c;
        QList<Probe*> probes{&a, &b, &c};
        for (int i = 0; i < probes.size(); ++i) {
            probes[i]->reply = "<SndV>";
            probes[i]->length = 1;
            composeWithNumber(*probes[i], quint8(0x70 + i));
        }
        const QByteArray window = QByteArray("noise") + frame(0x72, "<SndV>", "c") + frame(0x70, "<SndV>", "a")
            + QByteArray("\xAA\x55", 2) + frame(0x71, "<SndV>", "b");
        for (Probe* probe : probes)
            QVERIFY(probe->tryToParse(window, 0));
        QCOMPARE(a.seenData, QByteArray("a"));
        QCOMPARE(b.seenData, QByteArray("b"));
        QCOMPARE(c.seenData, QByteArray("c"));
    }

    void truncatedFrameIsRecognisedOnceComplete()
    {
        Probe probe;
        probe.reply = "<SndX>";
        probe.length = 3;
        composeWithNumber(probe, 0x44);
        const QByteArray whole = QByteArray("older bytes") + frame(0x44, "<SndX>", "xyz");
        for (int cut = whole.size() - 1; cut > 0; cut -= 4)
            QVERIFY2(!probe.tryToParse(whole.left(cut), 0), qPrintable(QString::number(cut)));
        QVERIFY(!probe.done());
        QVERIFY(probe.tryToParse(whole, 0));
        QVERIFY(probe.done());
        QCOMPARE(probe.seenData, QByteArray("xyz"));
    }

    void staleReplyWithOldNumberIsIgnored()
    {
        Probe probe;
        composeWithNumber(probe, 0x20);
        probe.timedOut();
        QVERIFY(probe.wantsToRetry());
        probe.Compose(); // 0x21
        QCOMPARE(int(probe.getMessageNumber()), 0x21);

        const QByteArray stale = frame(0x20, "<OK>");
        QVERIFY(!probe.tryToParse(stale, 0));
        QVERIFY(!probe.done());
        QVERIFY(probe.isWaitingForReply());

        QVERIFY(probe.tryToParse(stale + frame(0x21, "<OK>"), 0));
        QVERIFY(probe.done());
    }

    void rejectionReportsFailureButStaysActive()
    {
        LogCapture log;
        Probe probe(0xAB);
        composeWithNumber(probe, 0x33);
        QSignalSpy failedSpy(&probe, &Message::messageFailed);
        QSignalSpy doneSpy(&probe, &Message::messageDone);

        QVERIFY(!probe.tryToParse(frame(0x34, "<NOK>"), 0)); // someone else's rejection
        QCOMPARE(failedSpy.count(), 0);

        QVERIFY(!probe.tryToParse(frame(0x33, "<NOK>"), 0));
        QCOMPARE(failedSpy.count(), 1);
        QCOMPARE(failedSpy.first().first().toULongLong(), quint64(0xAB));
        QVERIFY(!probe.failed());
        QVERIFY(!probe.done());
        QVERIFY(probe.isWaitingForReply());
        QCOMPARE(probe.parseCalls, 0);
        QVERIFY(log.contains(" Nr: "));

        // The next time-out asks for the request again, under a new number.
        probe.timedOut();
        QVERIFY(probe.wantsToRetry());
        probe.Compose();
        QCOMPARE(int(probe.getMessageNumber()), 0x34);
        QVERIFY(probe.tryToParse(frame(0x33, "<NOK>") + frame(0x34, "<OK>"), 0));
        QVERIFY(probe.done());
        QCOMPARE(doneSpy.count(), 1);
        QCOMPARE(failedSpy.count(), 1);
    }

    void unansweredMessageIsSentTwentyTimesThenFails()
    {
        LogCapture log;
        Probe probe(0x99);
        QSignalSpy timeoutSpy(&probe, &Message::messageTimeout);
        QSignalSpy failedSpy(&probe, &Message::messageFailed);

        int transmissions = 0;
        QSet<int> numbers;
        probe.Compose();
        ++transmissions;
        numbers << probe.getMessageNumber();
        while (true) {
            probe.timedOut();
            if (!probe.wantsToRetry())
                break;
            QVERIFY(!probe.failed());
            probe.Compose();
            ++transmissions;
            numbers << probe.getMessageNumber();
            QVERIFY(!probe.wantsToRetry());
            QVERIFY(transmissions <= 25);
        }
        QCOMPARE(transmissions, 20);
        QCOMPARE(numbers.size(), 20);
        QCOMPARE(int(probe.getTimeoutCount()), 20);
        QCOMPARE(timeoutSpy.count(), 19);
        QCOMPARE(timeoutSpy.last().first().toULongLong(), quint64(0x99));
        QVERIFY(probe.failed());
        QVERIFY(!probe.isWaitingForReply());
        QCOMPARE(failedSpy.count(), 1);
        QCOMPARE(failedSpy.first().first().toULongLong(), quint64(0x99));
        QCOMPARE(log.count(" timed out  "), 19);
        QCOMPARE(log.count(" failed, no more retries.  "), 1);

        // A late answer to the last transmission changes nothing any more.
        QVERIFY(!probe.tryToParse(frame(probe.getMessageNumber(), "<OK>"), 0));
        QVERIFY(!probe.done());
    }

    void timerFiresAfterAboutThreeHundredMillisecondsOnce()
    {
        Probe probe;
        probe.reset();
        probe.reset(); // must not connect the timer a second time
        QSignalSpy timeoutSpy(&probe, &Message::messageTimeout);
        QElapsedTimer clock;
        clock.start();
        probe.Compose();
        QVERIFY(timeoutSpy.wait(2000));
        QVERIFY2(clock.elapsed() >= 250, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(int(probe.getTimeoutCount()), 1);
        QCOMPARE(timeoutSpy.count(), 1);
        QVERIFY(probe.wantsToRetry());
        QVERIFY(probe.isWaitingForReply()); // keeps running until the next Compose() restarts it
    }

    void resetStartsTheExchangeAfresh()
    {
        Probe probe;
        probe.accept = false;
        composeWithNumber(probe, 0x10);
        probe.tryToParse(frame(0x10, "<OK>"), 0);
        QVERIFY(probe.failed());
        probe.timedOut();
        probe.reset();
        QVERIFY(!probe.failed());
        QVERIFY(!probe.done());
        QVERIFY(!probe.wantsToRetry());
        QCOMPARE(int(probe.getTimeoutCount()), 0);
        QCOMPARE(int(probe.getMessageNumber()), 0x10); // reset does not take a number
        probe.accept = true;
        composeWithNumber(probe, 0x11);
        QVERIFY(probe.tryToParse(frame(0x11, "<OK>"), 0));
        QVERIFY(probe.done());
    }

    void refusedReplyDataEndsTheMessageAsFailed()
    {
        Probe probe(0x42);
        probe.reply = "<SndX>";
        probe.length = 2;
        probe.accept = false;
        composeWithNumber(probe, 0x61);
        QSignalSpy failedSpy(&probe, &Message::messageFailed);
        QSignalSpy doneSpy(&probe, &Message::messageDone);

        const QByteArray window = frame(0x61, "<SndX>", "??");
        QVERIFY(!probe.tryToParse(window, 0));
        QCOMPARE(probe.parseCalls, 1);
        QVERIFY(probe.failed());
        QVERIFY(!probe.done());
        QVERIFY(!probe.wantsToRetry());
        QVERIFY(!probe.isWaitingForReply());
        QCOMPARE(failedSpy.count(), 1);
        QCOMPARE(failedSpy.first().first().toULongLong(), quint64(0x42));

        // The same frame stays in the window and is offered again.
        QVERIFY(!probe.tryToParse(window + "more", 0));
        QCOMPARE(probe.parseCalls, 1);
        QCOMPARE(failedSpy.count(), 1);
        QCOMPARE(doneSpy.count(), 0);
    }

    void subclassKeepsItsOwnReactionToRefusedData()
    {
        EndsQuietlyOnRefusal probe;
        probe.accept = false;
        composeWithNumber(probe, 0x62);
        QSignalSpy failedSpy(&probe, &Message::messageFailed);
        QVERIFY(!probe.tryToParse(frame(0x62, "<OK>"), 0));
        QCOMPARE(probe.refusals, 1);
        QVERIFY(probe.done());
        QVERIFY(!probe.failed());
        QCOMPARE(failedSpy.count(), 0);
    }

    void multiStepMessagesAreNeitherDoneNorRescheduledWhileMoreIsExpected()
    {
        Probe probe;
        probe.more = true;
        probe.requestReschedule(true);
        QVERIFY(!probe.reschedule());
        composeWithNumber(probe, 0x63);
        QSignalSpy doneSpy(&probe, &Message::messageDone);
        QVERIFY(probe.tryToParse(frame(0x63, "<OK>"), 0));
        QVERIFY(!probe.done());
        QCOMPARE(doneSpy.count(), 0);

        probe.more = false;
        QVERIFY(probe.reschedule());
        probe.requestReschedule(false);
        QVERIFY(!probe.reschedule());
        QCOMPARE(probe.iterationsNeeded(), 1);
        QCOMPARE(probe.iterationsLeft(), 1);
    }

    void disposalReportsAbortedUnlessDoneAndDeletesLater()
    {
        LogCapture log;
        auto* waiting = new Probe(0x5);
        auto* finished = new Probe(0x6);
        auto* failed = new Probe(0x7);
        QPointer<Probe> waitingGuard(waiting), finishedGuard(finished), failedGuard(failed);
        QSignalSpy waitingAborted(waiting, &Message::messageAborted);
        QSignalSpy finishedAborted(finished, &Message::messageAborted);
        QSignalSpy failedAborted(failed, &Message::messageAborted);
        QSignalSpy failedFailed(failed, &Message::messageFailed);

        waiting->Compose();
        composeWithNumber(*finished, 0x01);
        QVERIFY(finished->tryToParse(frame(0x01, "<OK>"), 0));
        failed->Compose();
        for (int i = 0; i < 20; ++i)
            failed->timedOut();
        QVERIFY(failed->failed());

        for (Probe* probe : {waiting, finished, failed})
            probe->disposalHook();

        // Still valid until control returns to the event loop.
        QVERIFY(waitingGuard && finishedGuard && failedGuard);
        QVERIFY(!waiting->isWaitingForReply());
        QCOMPARE(waitingAborted.count(), 1);
        QCOMPARE(waitingAborted.first().first().toULongLong(), quint64(0x5));
        QCOMPARE(finishedAborted.count(), 0);
        QCOMPARE(failedFailed.count(), 1);
        QCOMPARE(failedAborted.count(), 1);
        QCOMPARE(log.count(" Message was aborted: "), 2);

        QTRY_VERIFY(waitingGuard.isNull() && finishedGuard.isNull() && failedGuard.isNull());
    }

    void readersAreBigEndianAndStopAtTheEnd_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<quint64>("value");

        const QByteArray d = bytes({0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0xF9});
        QTest::newRow("u8") << d << 8 << 1 << true << quint64(0xF9);
        QTest::newRow("u16") << d << 1 << 2 << true << quint64(0x0203);
        QTest::newRow("u32") << d << 5 << 4 << true << quint64(0x060708F9);
        QTest::newRow("u64") << d << 0 << 8 << true << quint64(0x0102030405060708ULL);
        QTest::newRow("u64 to the last byte") << d << 1 << 8 << true << quint64(0x02030405060708F9ULL);
        QTest::newRow("u8 at the end") << d << 9 << 1 << false << quint64(0);
        QTest::newRow("u16 crossing the end") << d << 8 << 2 << false << quint64(0);
        QTest::newRow("u32 three before the end") << d << 6 << 4 << false << quint64(0);
        QTest::newRow("u64 one short") << d << 2 << 8 << false << quint64(0);
        QTest::newRow("far beyond") << d << 100000 << 4 << false << quint64(0);
        QTest::newRow("empty data") << QByteArray() << 0 << 1 << false << quint64(0);
    }

    void readersAreBigEndianAndStopAtTheEnd()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, position);
        QFETCH(int, width);
        QFETCH(bool, ok);
        QFETCH(quint64, value);

        quint64 at = quint64(position);
        bool flag = !ok;
        quint64 got = 0;
        switch (width) {
        case 1: got = Message::parseUInt8(data, at, &flag); break;
        case 2: got = Message::parseUInt16(data, at, &flag); break;
        case 4: got = Message::parseUInt32(data, at, &flag); break;
        case 8: got = Message::parseUInt64(data, at, &flag); break;
        }
        QCOMPARE(flag, ok);
        QCOMPARE(got, value);
        QCOMPARE(at, quint64(position + (ok ? width : 0)));

        // The flag is optional.
        quint64 again = quint64(position);
        Message::parseUInt32(data, again, nullptr);
    }

    void readersSurviveAPositionNearTheTopOfTheRange()
    {
        const QByteArray data(16, 'x');
        quint64 position = ~quint64(0) - 1;
        bool ok = true;
        QCOMPARE(Message::parseUInt64(data, position, &ok), quint64(0));
        QVERIFY(!ok);
        QCOMPARE(position, ~quint64(0) - 1);
    }

    void scalarValues_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("isSigned");
        QTest::addColumn<double>("scale");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("okState"); // 1 true, 0 false, -1 left alone
        QTest::addColumn<int>("advance");

        QTest::newRow("2 signed half") << 2 << true << 0.5 << bytes({0xFF, 0xFE}) << -1.0 << 1 << 2;
        QTest::newRow("2 unsigned") << 2 << false << 1.0 << bytes({0xFF, 0xFE}) << 65534.0 << 1 << 2;
        QTest::newRow("1 signed") << 1 << true << 1.0 << bytes({0x80}) << -128.0 << 1 << 1;
        QTest::newRow("1 unsigned scaled") << 1 << false << 0.25 << bytes({0x80}) << 32.0 << 1 << 1;
        QTest::newRow("4 signed") << 4 << true << 2.0 << bytes({0xFF, 0xFF, 0xFF, 0xFF}) << -2.0 << 1 << 4;
        QTest::newRow("4 unsigned") << 4 << false << 1.0 << bytes({0x80, 0, 0, 0}) << 2147483648.0 << 1 << 4;
        QTest::newRow("8 signed") << 8 << true << 1.0 << QByteArray(8, '\xFF') << -1.0 << 1 << 8;
        QTest::newRow("8 unsigned full magnitude")
            << 8 << false << 1.0 << QByteArray(8, '\xFF') << 18446744073709551615.0 << 1 << 8;
        QTest::newRow("width 3 reads nothing") << 3 << true << 1.0 << bytes({1, 2, 3}) << 0.0 << -1 << 0;
        QTest::newRow("width 0 reads nothing") << 0 << false << 1.0 << bytes({1}) << 0.0 << -1 << 0;
        QTest::newRow("past the end") << 4 << true << 1.0 << bytes({1, 2, 3}) << 0.0 << 0 << 0;
    }

    void scalarValues()
    {
        QFETCH(int, width);
        QFETCH(bool, isSigned);
        QFETCH(double, scale);
        QFETCH(QByteArray, data);
        QFETCH(double, value);
        QFETCH(int, okState);
        QFETCH(int, advance);

        quint64 position = 0;
        // Start from the opposite of the expected flag, or from a marker
        // value when the flag must be left alone.
        bool ok = okState != 1;
        const bool before = ok;
        QCOMPARE(Message::parseScalarValue(quint8(width), isSigned, scale, data, position, &ok), value);
        if (okState < 0)
            QCOMPARE(ok, before);
        else
            QCOMPARE(ok, okState == 1);
        QCOMPARE(position, quint64(advance));
    }

    void crcCheck_data()
    {
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("valid");

        const QByteArray digits("123456789");
        QTest::newRow("digits with their CRC") << digits + bytes({0xBB, 0x3D}) << 0 << 9 << true;
        QTest::newRow("behind other bytes") << QByteArray("ab") + digits + bytes({0xBB, 0x3D, 0x00}) << 2 << 9 << true;
        QTest::newRow("abc") << QByteArray("abc") + bytes({0x97, 0x38}) << 0 << 3 << true;
        QTest::newRow("bytes swapped") << digits + bytes({0x3D, 0xBB}) << 0 << 9 << false;
        QTest::newRow("low byte missing") << digits + bytes({0xBB}) << 0 << 9 << false;
        QTest::newRow("block ends at the CRC") << digits << 0 << 9 << false;
        QTest::newRow("start beyond the block") << digits << 20 << 2 << false;
        QTest::newRow("empty block zero length") << bytes({0, 0}) << 0 << 0 << true;
    }

    void crcCheck()
    {
        QFETCH(QByteArray, block);
        QFETCH(int, start);
        QFETCH(int, length);
        QFETCH(bool, valid);
        QCOMPARE(Message::checkCRC(block, quint64(start), quint16(length)), valid);
    }

    void writersAreBigEndianAndGrowThePayload()
    {
        Probe probe;
        int position = 0;
        probe.composeUInt16(0xA1B2, position);
        probe.composeUInt8(0xC3, position);
        probe.composeUInt64(0x0102030405060708ULL, position);
        QCOMPARE(position, 11);
        QCOMPARE(probe.getPayload(), bytes({0xA1, 0xB2, 0xC3, 1, 2, 3, 4, 5, 6, 7, 8}));

        // Overwriting inside keeps the length.
        position = 1;
        probe.composeUInt8(0xEE, position);
        QCOMPARE(probe.getPayload().size(), 11);
        QCOMPARE(quint8(probe.getPayload().at(1)), quint8(0xEE));
    }

    void flashAddressesGoIntoThePayloadAsFourBytes()
    {
        Probe probe;
        FlashAddress address(1, 0x0A0B, 0x3F);
        probe.AddressToPayLoad(address);
        QCOMPARE(probe.getPayload(), bytes({0x01, 0x0A, 0x0B, 0x3F}));

        FlashAddress start(0, 1, 0);
        FlashAddress stop(1, 4095, 63);
        probe.AddressRangeToPayLoad(start, stop);
        QCOMPARE(probe.getPayload(), bytes({0x00, 0x00, 0x01, 0x00, 0x01, 0x0F, 0xFF, 0x3F}));

        // A shorter payload replaces a longer one completely.
        probe.AddressToPayLoad(start);
        QCOMPARE(probe.getPayload(), bytes({0x00, 0x00, 0x01, 0x00}));
    }
};

QTEST_GUILESS_MAIN(TestMessage)
#include "tst_message.moc"
