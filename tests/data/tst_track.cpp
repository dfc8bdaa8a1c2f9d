#include "Data/SquatJumpTrack.h"
#include "Data/Track.h"
#include "Data/TrackSettings.h"
#include "Data/VectorIndex.h"

#include "RecordBytes.h"

#include <QBuffer>
#include <QDataStream>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

std::unique_ptr<Track> fromId(int id)
{
    return std::unique_ptr<Track>(Track::constructFromID(static_cast<Track::TrackIDs>(id)));
}

std::unique_ptr<Track> withSamples(int count)
{
    auto track = fromId(Track::AccX);
    for (int i = 0; i < count; ++i) {
        track->setCurrentSampleNumber(quint32(100 + i));
        track->AddScalarSample(i * 0.5);
    }
    return track;
}

} // namespace

class TestTrack : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void catalogueRowsGiveTheirAttributes_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<double>("scale");
        QTest::addColumn<double>("minY");
        QTest::addColumn<double>("maxY");
        QTest::addColumn<int>("kind");

        QTest::newRow("accelerometer") << 0x0112 << "Acc. Z" << "AccZ" << "g" << 1.0 / 2048 << -17.0 << 17.0 << 0;
        QTest::newRow("gyroscope") << 0x0120 << "Gyr. X" << "GyrX" << "deg/s" << 0.06097560975609757 << -2000.0
                                   << 2000.0 << 0;
        QTest::newRow("magnetometer") << 0x0131 << "Mag. Y" << "MagY" << "uT" << 0.3 << -17.0 << 17.0 << 0;
        QTest::newRow("fusion raw") << 0x0140 << "Fusion raw DMP" << "UnkownTrack_320" << "Quaternion" << 0.0
                                    << -17.0 << 17.0 << 1;
        QTest::newRow("fusion with mag") << 0x0141 << "Fusion with mag DMP" << "UnkownTrack_321" << "Quaternion"
                                         << 0.0 << -17.0 << 17.0 << 1;
        QTest::newRow("barometer") << 0x0212 << "Altitude" << "altitude" << "m asl" << 1.0 << -17.0 << 17.0 << 0;
        QTest::newRow("power") << 0x0311 << "Charging State" << "chargeState" << "isCharging" << 1.0 << -17.0
                               << 17.0 << 0;
        QTest::newRow("analogue") << 0x0340 << "ADC Value Channel 4" << "ADCvalueCH4" << "value@3V3ref" << 1.0
                                  << -17.0 << 17.0 << 0;
        QTest::newRow("user algorithm scaled") << 0x8003 << "UserAlgo2" << "UsrAlgoChnl2" << "?" << 1.0 / 2048
                                               << -17.0 << 17.0 << 0;
        QTest::newRow("jump height") << 0x8004 << "Jump Height" << "JumpHeight" << "cm" << 1.0 << -17.0 << 17.0 << 0;
        QTest::newRow("ground contact time") << 0x8014 << "Ground Contact Time" << "GCT" << "ms" << 1.0 << 10.0
                                             << 300.0 << 0;
        QTest::newRow("gct time") << 0x8016 << "Ground Contact Time Time" << "GCTTime" << "s" << 1.0 << -17.0
                                  << 17.0 << 0;
        QTest::newRow("default row") << 0x1234 << "Unknown Track (ID=4660)" << "UnkownTrack_4660" << "-" << 1.0
                                     << -17.0 << 17.0 << 0;
        QTest::newRow("processor id unknown to the catalogue")
            << 0x8021 << "Unknown Track (ID=32801)" << "UnkownTrack_32801" << "-" << 1.0 << -17.0 << 17.0 << 0;
    }

    void catalogueRowsGiveTheirAttributes()
    {
        QFETCH(int, id);
        QFETCH(QString, label);
        QFETCH(QString, tag);
        QFETCH(QString, unit);
        QFETCH(double, scale);
        QFETCH(double, minY);
        QFETCH(double, maxY);
        QFETCH(int, kind);

        auto track = fromId(id);
        QCOMPARE(track->getTrackId(), id);
        QCOMPARE(track->getLabel(), label);
        QCOMPARE(track->getVarName(), tag);
        QCOMPARE(track->getUnit(), unit);
        QCOMPARE(track->getScaleFactor(), scale);
        QCOMPARE(track->getMinY(), minY);
        QCOMPARE(track->getMaxY(), maxY);
        QCOMPARE(track->getType(), kind);
        QVERIFY(track->isSigned());
        QCOMPARE(track->getDownSamplingFactor(), quint16(0));
        QVERIFY(!track->doEmitUpdates());
        QCOMPARE(track->getCurrentSampleNumber(), quint32(0));
        QCOMPARE(qobject_cast<SquatJumpTrack*>(track.get()) != nullptr, id == 0x8004);
        QCOMPARE(track->getComponents().size(), kind == 1 ? 4 : 0);
    }

    void fusionTracksHaveFourSignedFourByteComponents()
    {
        auto track = fromId(Track::FusionWithMagDmp);
        const QStringList names { "alpha", "x", "y", "z" };
        QCOMPARE(track->getComponents().size(), 4);
        for (int i = 0; i < 4; ++i) {
            const VectorIndex* component = track->getComponents().at(i);
            QCOMPARE(component->getName(), names.at(i));
            QCOMPARE(int(component->getDataWidth()), 4);
            QVERIFY(component->isSigned());
            QCOMPARE(component->getScaleFactor(), 1.0);
        }
    }

    void catalogueMarksStateChannelsInTheSettingsOnly()
    {
        for (int id : { 0x8004, 0x8005, 0x8015 }) {
            std::unique_ptr<TrackSettings> settings(Track::catalogueSettings(id));
            QVERIFY2(settings->special, qPrintable(QString::number(id, 16)));
        }
        std::unique_ptr<TrackSettings> plain(Track::catalogueSettings(0x8014));
        QVERIFY(!plain->special);
    }

    void settingsBuildIndependentTracks()
    {
        // A settings record may build several tracks and die first.
        auto settings = std::make_unique<TrackSettings>(0x0140);
        settings->type = 1;
        settings->components.append(new VectorIndex("a", 2, false, 0.5));
        auto first = std::make_unique<Track>(settings.get());
        auto second = std::make_unique<Track>(settings.get());
        settings.reset();
        QCOMPARE(first->getComponents().size(), 1);
        QVERIFY(first->getComponents().at(0) != second->getComponents().at(0));
        QCOMPARE(second->getComponents().at(0)->getScaleFactor(), 0.5);
    }

    void applyingSettingsKeepsWidthFactorAndConfigIndex()
    {
        auto track = fromId(Track::AccX);
        track->setTrackWidth(2);
        track->setDownSamplingFactor(7);
        track->setConfigIndex(3);
        TrackSettings settings(0x0210);
        settings.label = "Other";
        track->applyTrackSettings(&settings);
        QCOMPARE(track->getLabel(), QString("Other"));
        QCOMPARE(track->getTrackId(), 0x0210);
        QCOMPARE(int(track->getTrackWidth()), 2);
        QCOMPARE(int(track->getDownSamplingFactor()), 7);
        QCOMPARE(int(track->getConfigIndex()), 3);
    }

    void scalarSamplesAreReadScaledAndStored_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<int>("width");
        QTest::addColumn<QByteArray>("packet");
        QTest::addColumn<double>("value");
        // How the store keeps it: the raw integer, or the double where
        // post-processing made a value no raw integer gives.
        QTest::addColumn<int>("encoding");
        QTest::newRow("gyro -1 raw") << 0x0120 << 2 << QByteArray("\xFF\xFF", 2) << -0.06097560975609757 << int(ScalarSampleStore::Int16);
        QTest::newRow("acc 1 g") << 0x0110 << 2 << QByteArray("\x08\x00", 2) << 1.0 << int(ScalarSampleStore::Int16);
        QTest::newRow("battery 4 bytes") << 0x0310 << 4 << QByteArray("\x00\x00\x0F\xA0", 4) << 4000.0 << int(ScalarSampleStore::Int32);
        QTest::newRow("one byte signed") << 0x8005 << 1 << QByteArray("\x80", 1) << -128.0 << int(ScalarSampleStore::Int16);
        QTest::newRow("jump height from flight time") << 0x8004 << 2 << QByteArray("\x01\xF4", 2) << 30.65625 << int(ScalarSampleStore::Doubles);
    }

    void scalarSamplesAreReadScaledAndStored()
    {
        QFETCH(int, id);
        QFETCH(int, width);
        QFETCH(QByteArray, packet);
        QFETCH(double, value);
        QFETCH(int, encoding);
        auto track = fromId(id);
        track->setTrackWidth(quint8(width));
        track->setCurrentSampleNumber(42);
        quint64 position = 0;
        track->parseAndStoreSample(packet, position);
        QCOMPARE(position, quint64(width));
        QCOMPARE(track->getScalarSampleNumbers(), QList<quint32> { 42 });
        QCOMPARE(track->getScalarSamples().size(), 1);
        QCOMPARE(track->getScalarSamples().first(), value);
        QCOMPARE(int(track->scalarSampleStore().encoding()), encoding);
    }

    void aShortPacketOrOddWidthStoresNothing()
    {
        auto track = fromId(Track::AccX);
        track->setTrackWidth(4);
        quint64 position = 1;
        track->parseAndStoreSample(QByteArray("\x00\x01\x02\x03", 4), position);
        QCOMPARE(track->numberOfSamples(), 0);

        track->setTrackWidth(3);
        position = 0;
        track->parseAndStoreSample(QByteArray(8, '\x01'), position);
        QCOMPARE(position, quint64(0));
        QCOMPARE(track->numberOfSamples(), 0);
    }

    void liveUpdatesAreSignalledOnlyWhenAskedFor()
    {
        auto track = fromId(Track::AccY);
        track->setTrackWidth(2);
        QSignalSpy spy(track.get(), &Track::newLiveValue);
        quint64 position = 0;
        track->parseAndStoreSample(QByteArray("\x08\x00", 2), position);
        QCOMPARE(spy.count(), 0);

        track->setDoEmitUpdates(true);
        track->setCurrentSampleNumber(1);
        position = 0;
        track->parseAndStoreSample(QByteArray("\x10\x00", 2), position);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toUInt(), quint32(Track::AccY));
        QCOMPARE(spy.at(0).at(1).toDouble(), 2.0);
    }

    void vectorSamplesAreKeptPerSampleNumber()
    {
        auto track = fromId(Track::FusionRawDmp);
        const QByteArray packet = QByteArray::fromHex("00000001" "FFFFFFFF" "00000002" "7FFFFFFF"
                                                      "00000005");
        track->setCurrentSampleNumber(7);
        quint64 position = 0;
        track->parseAndStoreSample(packet, position);
        QCOMPARE(position, quint64(16));
        QCOMPARE(track->numberOfSamples(), 0);
        QCOMPARE(track->numberOfVectorSamples(), 1);
        QCOMPARE(track->getVectorSamples()->first(), (QList<double> { 1, -1, 2, 2147483647.0 }));
        QCOMPARE(track->getVectorSampleNumbers(), QList<quint32> { 7 });

        // The rest of the packet holds one component only.
        track->setCurrentSampleNumber(8);
        QTest::ignoreMessage(QtDebugMsg, "Tried to parse vector after end of stream.");
        track->parseAndStoreSample(packet, position);
        QCOMPARE(track->numberOfVectorSamples(), 1);
    }

    void repeatedSampleNumberKeepsTheSecondValue()
    {
        auto track = fromId(Track::AccX);
        track->setCurrentSampleNumber(5);
        track->AddScalarSample(1.0);
        track->AddScalarSample(2.0);
        QCOMPARE(track->numberOfSamples(), 1);
        QCOMPARE(track->getScalarSamples(), QList<double> { 2.0 });
    }

    void tailWindows_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("n");
        QTest::addColumn<QList<quint32>>("numbers");
        QTest::newRow("10 samples, n 3: the newest 4") << 10 << 3 << QList<quint32> { 106, 107, 108, 109 };
        QTest::newRow("3 samples, n 3: all but the newest") << 3 << 3 << QList<quint32> { 100, 101 };
        QTest::newRow("0 samples") << 0 << 3 << QList<quint32> {};
        QTest::newRow("5 samples, n 3: the newest 4") << 5 << 3 << QList<quint32> { 101, 102, 103, 104 };
        QTest::newRow("4 samples, n 3: all but the newest") << 4 << 3 << QList<quint32> { 100, 101, 102 };
        QTest::newRow("1 sample") << 1 << 3 << QList<quint32> {};
        QTest::newRow("n 0 gives the newest") << 10 << 0 << QList<quint32> { 109 };
        QTest::newRow("huge n") << 10 << int(0x7FFFFFFF) << QList<quint32> { 100, 101, 102, 103, 104, 105, 106, 107,
                                                                              108 };
    }

    void tailWindows()
    {
        QFETCH(int, count);
        QFETCH(int, n);
        QFETCH(QList<quint32>, numbers);
        auto track = withSamples(count);
        QCOMPARE(track->getScalarSampleNumbersFromEnd(quint32(n)), numbers);
        QList<double> numbersDouble;
        QList<double> values;
        for (quint32 number : numbers) {
            numbersDouble.append(number);
            values.append((number - 100) * 0.5);
        }
        QCOMPARE(track->getScalarSampleNumbersDoubleFromEnd(quint32(n)), numbersDouble);
        QCOMPARE(track->getScalarSamplesFromEnd(quint32(n)), values);

        // Vector samples follow the same rule.
        auto vector = fromId(Track::FusionRawDmp);
        for (int i = 0; i < count; ++i) {
            vector->setCurrentSampleNumber(quint32(100 + i));
            vector->AddVectorSample({ double(i), 1, 2, 3 });
        }
        const QList<QList<double>> tail = vector->getVectorSamplesFromEnd(quint32(n));
        QCOMPARE(tail.size(), numbers.size());
        for (int i = 0; i < tail.size(); ++i)
            QCOMPARE(tail.at(i).first(), double(numbers.at(i) - 100));
    }

    void wholeListsFollowAppendsAndOutOfOrderInserts()
    {
        auto track = withSamples(3);
        QList<double>& values = track->getScalarSamples();
        QCOMPARE(values, (QList<double> { 0, 0.5, 1.0 }));
        track->setCurrentSampleNumber(200);
        track->AddScalarSample(9);
        QCOMPARE(track->getScalarSamples(), (QList<double> { 0, 0.5, 1.0, 9 }));
        QCOMPARE(track->getScalarSampleNumbers(), (QList<quint32> { 100, 101, 102, 200 }));
        track->setCurrentSampleNumber(150);
        track->AddScalarSample(7);
        track->setCurrentSampleNumber(100);
        track->AddScalarSample(-1);
        QCOMPARE(track->getScalarSamples(), (QList<double> { -1, 0.5, 1.0, 7, 9 }));
        QCOMPARE(track->getScalarSampleNumbersDouble(), (QList<double> { 100, 101, 102, 150, 200 }));
        QCOMPARE(&track->getScalarSamples(), &values);

        track->releaseResultLists();
        QCOMPARE(track->getScalarSamples().size(), 5);
    }

    void trackRecordMatchesTheLayout()
    {
        auto track = fromId(Track::GyrZ);
        track->setDownSamplingFactor(0xFFFE);
        track->setTrackWidth(2);
        track->setConfigIndex(3);
        track->setCurrentSampleNumber(11);
        track->AddScalarSample(2.0);
        track->setCurrentSampleNumber(10);
        track->AddScalarSample(0.5);

        QByteArray written;
        {
            QDataStream stream(&written, QIODevice::WriteOnly);
            QTest::ignoreMessage(QtDebugMsg, "Streamed track:  \"Gyr. Z\"  with   2  samples.");
            stream << *track;
        }
        RecordBytes expected;
        expected.i64(20140409).i8(0).i32(0x0122).i16(qint16(0xFFFE)).boolean(true).i8(2).i8(3)
            .f64(0.06097560975609757).string("deg/s").string("Gyr. Z").string("GyrZ").f64(-2000).f64(2000)
            .u32(2).u32(11).f64(2.0).u32(10).f64(0.5)
            .u32(0);
        QCOMPARE(written.toHex(), expected.bytes().toHex());
    }

    void vectorTrackRecordHoldsItsSamples()
    {
        auto track = fromId(Track::FusionRawDmp);
        track->setTrackWidth(16);
        track->setCurrentSampleNumber(3);
        track->AddVectorSample({ 1, 2, 3, 4 });
        track->setCurrentSampleNumber(9);
        track->AddVectorSample({ -1, 0.5, 0, 1 });

        QByteArray written;
        {
            QDataStream stream(&written, QIODevice::WriteOnly);
            stream << *track;
        }
        RecordBytes expected;
        expected.i64(20140409).i8(1).i32(0x0140).i16(0).boolean(true).i8(16).i8(0).f64(0).string("Quaternion")
            .string("Fusion raw DMP").string("UnkownTrack_320").f64(-17).f64(17)
            .u32(0)
            .u32(2).u32(9).u32(4).f64(-1).f64(0.5).f64(0).f64(1).u32(3).u32(4).f64(1).f64(2).f64(3).f64(4);
        QCOMPARE(written.toHex(), expected.bytes().toHex());

        QDataStream reader(written);
        Track* loaded = nullptr;
        reader >> loaded;
        std::unique_ptr<Track> owner(loaded);
        QVERIFY(loaded != nullptr);
        QCOMPARE(loaded->getType(), 1);
        // Not in the record; the catalogue gives them back, so that later
        // samples of the track can be read.
        QCOMPARE(loaded->getComponents().size(), 4);
        QCOMPARE(loaded->getVectorSampleNumbers(), (QList<quint32> { 3, 9 }));
        QCOMPARE(loaded->getVectorSamplesFromEnd(5).last(), (QList<double> { 1, 2, 3, 4 }));
        QCOMPARE(*loaded->getVectorSamples(), (QList<QList<double>> { { 1, 2, 3, 4 }, { -1, 0.5, 0, 1 } }));
    }

    void trackRecordReadsBackEveryField()
    {
        auto track = fromId(Track::JumpHeight);
        track->setDownSamplingFactor(9);
        track->setTrackWidth(8);
        track->setConfigIndex(200);
        for (quint32 i = 0; i < 1000; ++i) {
            track->setCurrentSampleNumber(i * 3);
            track->AddScalarSample(i / 7.0);
        }
        QByteArray written;
        {
            QDataStream stream(&written, QIODevice::WriteOnly);
            stream << *track;
        }
        QDataStream reader(written);
        Track* loaded = nullptr;
        reader >> loaded;
        std::unique_ptr<Track> owner(loaded);
        QVERIFY(loaded != nullptr);
        QCOMPARE(reader.status(), QDataStream::Ok);
        QVERIFY(reader.atEnd());
        // A stored jump height is already a height; it is read as a plain track.
        QVERIFY(qobject_cast<SquatJumpTrack*>(loaded) == nullptr);
        QCOMPARE(loaded->getTrackId(), int(Track::JumpHeight));
        QCOMPARE(loaded->getLabel(), QString("Jump Height"));
        QCOMPARE(loaded->getVarName(), QString("JumpHeight"));
        QCOMPARE(loaded->getUnit(), QString("cm"));
        QCOMPARE(int(loaded->getDownSamplingFactor()), 9);
        QCOMPARE(int(loaded->getTrackWidth()), 8);
        QCOMPARE(int(loaded->getConfigIndex()), 200);
        QCOMPARE(loaded->getScaleFactor(), 1.0);
        QCOMPARE(loaded->getScalarSampleNumbers(), track->getScalarSampleNumbers());
        QCOMPARE(loaded->getScalarSamples(), track->getScalarSamples());
    }
};

QTEST_GUILESS_MAIN(TestTrack)
#include "tst_track.moc"
