#include "Protocol/AddTrack.h"
#include "Protocol/GetFirmware.h"
#include "Protocol/GetSerial.h"
#include "Protocol/GetTopState.h"
#include "Protocol/ResetTracks.h"
#include "Protocol/SetBaseFreq.h"
#include "Protocol/SetDeviceColor.h"
#include "Protocol/SetFeature.h"
#include "Protocol/SetMeasurementId.h"
#include "Protocol/StoreSettings.h"

#include "LogCapture.h"
#include "WireBytes.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(std::shared_ptr<Message>)

using WireBytes::bytes;
using WireBytes::frame;

namespace {


template <typename T, typename... Args>
std::shared_ptr<Message> make(Args&&... args)
{
    return std::make_shared<T>(std::forward<Args>(args)...);
}

// Composes with a known number so the expected frame can be written out.
QByteArray composeAs(Message& message, quint8 number)
{
    Message::messageNumberGlobal = number;
    return message.Compose();
}

} // namespace

class TestCommands : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void requestFrames_data()
    {
        QTest::addColumn<std::shared_ptr<Message>>("message");
        QTest::addColumn<QByteArray>("token");
        QTest::addColumn<QByteArray>("payload");

        QTest::newRow("serial") << make<GetSerial>(QStringLiteral("ttyUSB3")) << QByteArray("<GetSerial>")
                                << QByteArray();
        QTest::newRow("firmware") << make<GetFirmware>(1) << QByteArray("<GetFirmware>") << QByteArray();
        QTest::newRow("top state") << make<GetTopState>(1) << QByteArray("<GetTopState>") << QByteArray();
        QTest::newRow("colour red 255 green 128 blue 0")
            << make<SetDeviceColor>(1, 0x00FF8000u) << QByteArray("<SetDeviceColor>") << bytes({0x00, 0xFF, 0x80, 0x00});
        QTest::newRow("colour top byte is never sent")
            << make<SetDeviceColor>(1, 0xAB123456u) << QByteArray("<SetDeviceColor>") << bytes({0x00, 0x12, 0x34, 0x56});
        QTest::newRow("feature 15 on")
            << make<SetFeature>(1, SetFeature::ConfigurationMode, true) << QByteArray("<SetFeature>")
            << bytes({0x0F, 0x01});
        QTest::newRow("feature 4 off") << make<SetFeature>(1, SetFeature::LiveStreamUsb, false)
                                       << QByteArray("<SetFeature>") << bytes({0x04, 0x00});
        QTest::newRow("feature by number") << make<SetFeature>(1, SetFeature::DeviceFeatures(0xC8), true)
                                           << QByteArray("<SetFeature>") << bytes({0xC8, 0x01});
        QTest::newRow("base frequency 100") << make<SetBaseFreq>(1, 100) << QByteArray("<SetBaseFreq>")
                                            << bytes({0x00, 0x64});
        QTest::newRow("base frequency 70000 keeps the low 16 bits")
            << make<SetBaseFreq>(1, 70000) << QByteArray("<SetBaseFreq>") << bytes({0x11, 0x70});
        QTest::newRow("base frequency -1") << make<SetBaseFreq>(1, -1) << QByteArray("<SetBaseFreq>")
                                           << bytes({0xFF, 0xFF});
        QTest::newRow("reset tracks") << make<ResetTracks>(1) << QByteArray("<ResetTracks>") << QByteArray();
        QTest::newRow("add track")
            << make<AddTrack>(258, Track::TrackIDs(16), 4, 1, 0) << QByteArray("<AddTrack>")
            << bytes({0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x02, 0x00, 0x10, 0x00, 0x04, 0x01, 0x00});
        QTest::newRow("add track, every field wide")
            << make<AddTrack>(0x8877665544332211ULL, Track::TrackIDs(0xA1B2), 0xC3D4, 0xE5, 0xF6) << QByteArray("<AddTrack>")
            << bytes({0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11, 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6});
        QTest::newRow("measurement id") << make<SetMeasurementId>(1, 0x0102030405060708ULL)
                                        << QByteArray("<SetMeasID>") << bytes({1, 2, 3, 4, 5, 6, 7, 8});
        QTest::newRow("store settings") << make<StoreSettings>(1) << QByteArray("<StoreSettings>") << QByteArray();
    }

    void requestFrames()
    {
        QFETCH(std::shared_ptr<Message>, message);
        QFETCH(QByteArray, token);
        QFETCH(QByteArray, payload);

        const QByteArray expected = QByteArray("<msg>") + char(0x35) + token + payload + QByteArray("</msg>\r\n");
        QCOMPARE(composeAs(*message, 0x35), expected);
        // Every transmission builds the same request again.
        const QByteArray again = composeAs(*message, 0x36);
        QCOMPARE(again.mid(6), expected.mid(6));
    }

    void acknowledgedCommandsAreDoneOnOk_data()
    {
        QTest::addColumn<std::shared_ptr<Message>>("message");
        QTest::newRow("colour") << make<SetDeviceColor>(7, 0x123456u);
        QTest::newRow("feature") << make<SetFeature>(7, SetFeature::RecordToFlash, true);
        QTest::newRow("frequency") << make<SetBaseFreq>(7, 200);
        QTest::newRow("reset") << make<ResetTracks>(7);
        QTest::newRow("add track") << make<AddTrack>(7, Track::AccX, 1, 1, 1);
        QTest::newRow("measurement id") << make<SetMeasurementId>(7, 99);
        QTest::newRow("store") << make<StoreSettings>(7);
    }

    void acknowledgedCommandsAreDoneOnOk()
    {
        QFETCH(std::shared_ptr<Message>, message);
        QSignalSpy doneSpy(message.get(), &Message::messageDone);
        QSignalSpy failedSpy(message.get(), &Message::messageFailed);
        composeAs(*message, 0x80);

        QVERIFY(!message->tryToParse(frame(0x80, "<NOK>"), 0));
        QCOMPARE(failedSpy.count(), 1);
        QVERIFY(!message->tryToParse(frame(0x80, "<OK>", "x"), 0)); // an acknowledgement carries no data
        QVERIFY(message->tryToParse(frame(0x80, "<NOK>") + frame(0x80, "<OK>"), 0));
        QVERIFY(message->done());
        QCOMPARE(doneSpy.count(), 1);
        QCOMPARE(doneSpy.first().first().toULongLong(), quint64(7));
    }

    void serialQueryNeedsExactlyEightBytes_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<quint64>("serial");
        QTest::newRow("eight bytes") << bytes({0, 0, 0, 0, 0, 0, 0, 0xAB}) << true << quint64(171);
        QTest::newRow("top bit set") << bytes({0x80, 0, 0, 0, 0, 0, 0x12, 0x34}) << true
                                     << quint64(0x8000000000001234ULL);
        QTest::newRow("seven bytes") << bytes({0, 0, 0, 0, 0, 0, 0xAB}) << false << quint64(0);
        QTest::newRow("nine bytes") << bytes({0, 0, 0, 0, 0, 0, 0, 0xAB, 0}) << false << quint64(0);
    }

    void serialQueryNeedsExactlyEightBytes()
    {
        QFETCH(QByteArray, data);
        QFETCH(bool, accepted);
        QFETCH(quint64, serial);

        LogCapture log;
        GetSerial query(QStringLiteral("ttyACM0"));
        composeAs(query, 0x90);
        QCOMPARE(query.tryToParse(frame(0x90, "<SndSerial>", data), 0), accepted);
        QCOMPARE(query.done(), accepted);
        QCOMPARE(query.receivedSerial, serial);
        QCOMPARE(query.getReceivedSerial(), serial);
        if (accepted)
            QCOMPARE(log.count(QStringLiteral("Got serialnumber: ") + " \"" + QString::number(serial, 16) + "\""), 1);
        else
            QVERIFY(!log.contains("Got serialnumber"));
    }

    void serialQueryByIndexBehavesTheSame()
    {
        GetSerial query(2, 0x1FF);
        QCOMPARE(int(query.getMessageNumber()), 0xFF);
        const QByteArray request = composeAs(query, 0x0A);
        QCOMPARE(request, QByteArray("<msg>\x0A<GetSerial></msg>\r\n"));
        QVERIFY(query.tryToParse(frame(0x0A, "<SndSerial>", bytes({0, 0, 0, 0, 0, 0, 1, 2})), 0));
        QCOMPARE(query.receivedSerial, quint64(258));
    }

    void firmwareQueryReportsTheRevision()
    {
        LogCapture log;
        GetFirmware query(0xC0FFEE);
        QSignalSpy revisionSpy(&query, &GetFirmware::gotFirmwareRevision);
        QCOMPARE(composeAs(query, 0x35), QByteArray("<msg>5<GetFirmware></msg>\r\n"));

        // Wrong length first: neither accepted nor reported.
        QVERIFY(!query.tryToParse(frame(0x35, "<SndFirmware>", bytes({0x2A})), 0));
        QCOMPARE(revisionSpy.count(), 0);

        QVERIFY(query.tryToParse(frame(0x35, "<SndFirmware>", bytes({0x00, 0x2A})), 0));
        QCOMPARE(revisionSpy.count(), 1);
        QCOMPARE(revisionSpy.first().at(0).toULongLong(), quint64(0xC0FFEE));
        QCOMPARE(revisionSpy.first().at(1).toUInt(), 42u);
        QCOMPARE(int(query.getFirmwareRevision()), 42);
        QVERIFY(query.done());
        QCOMPARE(log.count("Got FirmwareRevision a: "), 1);
    }

    void stateQueryPassesEveryValueUnchanged()
    {
        for (int value = 0; value <= 255; ++value) {
            GetTopState query(5);
            QSignalSpy stateSpy(&query, &GetTopState::gotState);
            const quint8 number = quint8(value ^ 0x5A);
            composeAs(query, number);
            QVERIFY(query.tryToParse(frame(number, "<SndTopState>", bytes({value})), 0));
            QCOMPARE(stateSpy.count(), 1);
            QCOMPARE(stateSpy.first().at(0).toULongLong(), quint64(5));
            QCOMPARE(int(stateSpy.first().at(1).value<quint8>()), value);
            QCOMPARE(int(query.getState()), value);
        }
    }

    void rejectedQueryReportsNoValue()
    {
        GetTopState query(5);
        QSignalSpy stateSpy(&query, &GetTopState::gotState);
        QSignalSpy failedSpy(&query, &Message::messageFailed);
        composeAs(query, 0x44);
        QVERIFY(!query.tryToParse(frame(0x44, "<NOK>"), 0));
        QVERIFY(!query.tryToParse(frame(0x44, "<SndTopState>"), 0));
        QVERIFY(!query.tryToParse(frame(0x43, "<SndTopState>", "\x01"), 0));
        QCOMPARE(stateSpy.count(), 0);
        QCOMPARE(failedSpy.count(), 1);
        QVERIFY(!query.done());
        QVERIFY(query.isWaitingForReply());
    }

    void addTrackLogsItsEntry()
    {
        LogCapture log;
        AddTrack entry(1, Track::GyrX, 4, 1, 2);
        QCOMPARE(log.count("TrackID:"), 1);
        QVERIFY(log.lines().constFirst().contains(" DSF: "));
        QVERIFY(log.lines().constFirst().contains(" configID "));
    }
};

QTEST_GUILESS_MAIN(TestCommands)
#include "tst_commands.moc"
