#include "Application/Helper.h"
#include "Data/Track.h"
#include "Data/TrackList.h"

#include "RecordBytes.h"
#include "TemporaryStorage.h"
#include "TrackListFixture.h"

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>

#include <cstring>
#include <map>
#include <memory>
#include <random>

namespace {

bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Every public sample result of a track against a plain map.
QString trackDifferences(Track* track, const std::map<quint32, double>& model)
{
    if (track->numberOfSamples() != int(model.size()))
        return QString("%1 samples, expected %2").arg(track->numberOfSamples()).arg(model.size());
    QList<double> values;
    QList<quint32> numbers;
    QList<double> numbersDouble;
    for (const auto& entry : model) {
        numbers.append(entry.first);
        numbersDouble.append(double(entry.first));
        values.append(entry.second);
    }
    const QList<double>& gotValues = track->getScalarSamples();
    for (int i = 0; i < values.size(); ++i) {
        if (!sameBits(gotValues.at(i), values.at(i)))
            return QString("value %1 at %2, expected %3").arg(gotValues.at(i)).arg(i).arg(values.at(i));
    }
    if (track->getScalarSampleNumbers() != numbers)
        return "sample numbers differ";
    if (track->getScalarSampleNumbersDouble() != numbersDouble)
        return "sample numbers as doubles differ";
    for (quint32 n : { 0u, 1u, 3u, 50u, 4999u, 100000u }) {
        const int c = values.size();
        const int start = qMax(c - 1 - int(qMin<quint32>(n, 1u << 30)), 0);
        if (track->getScalarSamplesFromEnd(n) != values.mid(start, c - 1))
            return QString("value window %1").arg(n);
        if (track->getScalarSampleNumbersFromEnd(n) != numbers.mid(start, c - 1))
            return QString("number window %1").arg(n);
        if (track->getScalarSampleNumbersDoubleFromEnd(n) != numbersDouble.mid(start, c - 1))
            return QString("double number window %1").arg(n);
    }
    return QString();
}

// The record as the former store wrote it: the attributes, then the sample
// maps in the standard map form (a QMap written by QDataStream).
void writeLegacyTrack(QDataStream& stream, Track* t, const std::map<quint32, double>& scalars,
                      const std::map<quint32, QList<double>>& vectors)
{
    QMap<quint32, double> scalarMap;
    for (const auto& entry : scalars)
        scalarMap.insert(entry.first, entry.second);
    QMap<quint32, QList<double>> vectorMap;
    for (const auto& entry : vectors)
        vectorMap.insert(entry.first, entry.second);
    stream << qint64(20140409) << qint8(t->getType()) << qint32(t->getTrackId())
           << qint16(t->getDownSamplingFactor()) << t->isSigned() << qint8(t->getTrackWidth())
           << qint8(t->getConfigIndex()) << t->getScaleFactor() << t->getUnit() << t->getLabel() << t->getVarName()
           << t->getMinY() << t->getMaxY() << scalarMap << vectorMap;
}

QByteArray legacyRecord(TrackList& list, std::map<quint16, std::map<quint32, double>>& scalars,
                        std::map<quint16, std::map<quint32, QList<double>>>& vectors)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream << qint64(20140409) << qint64(list.getDeviceSerial()) << qint64(list.getMeasurementId());
    const QList<Track*> tracks = list.getAllTracks();
    stream << qint32(tracks.size());
    for (int i = tracks.size() - 1; i >= 0; --i) {
        const auto id = quint16(tracks.at(i)->getTrackId());
        stream << qint16(id);
        writeLegacyTrack(stream, tracks.at(i), scalars[id], vectors[id]);
    }
    stream << qint32(list.getTrackOrder().size());
    for (quint16 id : list.getTrackOrder())
        stream << qint16(id);
    return bytes;
}

std::unique_ptr<TrackList> readList(const QByteArray& bytes)
{
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QDataStream stream(&buffer);
    auto list = std::make_unique<TrackList>(nullptr, 0, 0);
    list->readRecord(stream);
    if (stream.status() != QDataStream::Ok)
        return nullptr;
    return list;
}

QByteArray recordOf(TrackList& list)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    list.saveToStream(stream);
    return bytes;
}

Track* trackOf(int id)
{
    return Track::constructFromID(static_cast<Track::TrackIDs>(id));
}

// A list as the stream header builds it: ids announced out of id order.
std::unique_ptr<TrackList> announcedList(quint64 serial = 0xab12, quint64 measurement = 0x5f00d)
{
    auto list = std::make_unique<TrackList>(nullptr, serial, measurement);
    list->AddTrack(0x0112, 1, 2, 5);
    list->AddTrack(0x0110, 1, 2, 6);
    list->AddTrack(0x0140, 0, 16, 7);
    list->AddTrack(0x0111, 3, 2, 8);
    for (quint32 n = 10; n < 15; ++n) {
        for (Track* track : list->getAllTracks()) {
            track->setCurrentSampleNumber(n);
            if (track->getType() == 0)
                track->AddScalarSample(n * 0.25 + track->getTrackId());
            else
                track->AddVectorSample({ double(n), 0.5, -0.5, 1 });
        }
    }
    return list;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

// Serves bytes as a stream whose length is unknown to its reader.
class SequentialBytes : public QIODevice
{
public:
    explicit SequentialBytes(QByteArray bytes)
        : m_bytes(std::move(bytes))
    {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const qint64 n = qMin<qint64>(maxSize, m_bytes.size() - m_position);
        memcpy(data, m_bytes.constData() + m_position, size_t(n));
        m_position += n;
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_bytes;
    qint64 m_position = 0;
};

} // namespace

class TestTrackList : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void indexOrderIsAnnouncementOrderWhileIdOrderIsAscending()
    {
        TrackList list(nullptr, 1, 2);
        list.AddTrack(trackOf(0x0112));
        list.AddTrack(trackOf(0x0110));
        list.AddTrack(trackOf(0x0111));
        QCOMPARE(list.getTrackOrder(), (QList<quint16> { 0x0112, 0x0110, 0x0111 }));
        QCOMPARE(list.getTrackByIndex(0)->getTrackId(), 0x0112);
        QCOMPARE(list.getTrackByIndex(2)->getTrackId(), 0x0111);
        QList<int> ids;
        for (Track* track : list.getAllTracks())
            ids.append(track->getTrackId());
        QCOMPARE(ids, (QList<int> { 0x0110, 0x0111, 0x0112 }));

        // Re-adding the same object moves it to the end and keeps it.
        Track* z = list.getTrackById(0x0112);
        list.AddTrack(z);
        QCOMPARE(list.getTrackOrder(), (QList<quint16> { 0x0110, 0x0111, 0x0112 }));
        QCOMPARE(list.getTrackById(0x0112), z);
        QCOMPARE(list.numberOfTracks(), 3);
        QCOMPARE(list.getNumberOfTracks(), 3);
    }

    void addingAnAnnouncedIdAgainChangesNothing()
    {
        TrackList list(nullptr, 1, 2);
        list.AddTrack(0x0110, 2, 2, 3);
        list.AddTrack(0x0111, 0, 2, 3);
        list.AddTrack(0x0110, 4, 2, 4);
        Track* x = list.getTrackById(0x0110);
        QCOMPARE(int(x->getDownSamplingFactor()), 2);
        QCOMPARE(int(x->getConfigIndex()), 3);
        QCOMPARE(int(x->getTrackWidth()), 2);
        QCOMPARE(list.getTrackOrder(), (QList<quint16> { 0x0110, 0x0111 }));
    }

    void aReplacedTrackStaysValidAndStopsForwarding()
    {
        TrackList list(nullptr, 1, 2);
        list.AddTrack(0x0110, 0, 2, 0);
        QPointer<Track> old = list.getTrackById(0x0110);
        Track* replacement = trackOf(0x0110);
        list.AddTrack(replacement);
        QCOMPARE(list.getTrackById(0x0110), replacement);
        QVERIFY(!old.isNull());
        QSignalSpy spy(&list, &TrackList::newLiveValue);
        Q_EMIT old->newLiveValue(0x0110, 1.0);
        QCOMPARE(spy.count(), 0);
        Q_EMIT replacement->newLiveValue(0x0110, 2.0);
        QCOMPARE(spy.count(), 1);
    }

    void liveValuesAreForwardedOncePerTrack()
    {
        TrackList list(nullptr, 1, 2);
        Track* track = trackOf(0x0120);
        list.AddTrack(track);
        list.AddTrack(track);
        track->setTrackWidth(2);
        track->setDoEmitUpdates(true);
        QSignalSpy spy(&list, &TrackList::newLiveValue);
        quint64 position = 0;
        track->parseAndStoreSample(QByteArray("\x00\x0A", 2), position);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toUInt(), 0x0120u);
    }

    void lookUpsOfUnknownIdsAndIndicesLogAndGiveNothing()
    {
        auto list = announcedList();
        QTest::ignoreMessage(QtDebugMsg, " Warning, Track:  1234  not found, returning NULL.");
        QVERIFY(list->getTrackById(0x1234) == nullptr);
        // Only the low 16 bits name the track.
        QVERIFY(list->getTrackById(0x10110) == list->getTrackById(0x0110));
        QTest::ignoreMessage(QtDebugMsg, "TrackList was asked for non existing index:  4");
        QCOMPARE(list->getTrackIdByIndex(4), quint16(0));
        QTest::ignoreMessage(QtDebugMsg, "TrackList was asked for non existing index:  200");
        QVERIFY(list->getTrackByIndex(200) == nullptr);
        QTest::ignoreMessage(QtDebugMsg, " Requested SampleVector for unknown Track:  beef");
        QVERIFY(list->GetScalarSamples(0xbeef) == nullptr);
        QCOMPARE(list->GetScalarSamples(0x0110)->size(), 5);
        QCOMPARE(list->GetVectorSamples(0x0140).size(), 5);
        QVERIFY(list->GetVectorSamples(0x0110).isEmpty());
    }

    void scalarSamplesGoOnlyToKnownTracks()
    {
        TrackList list(nullptr, 1, 2);
        list.AddTrack(0x0110, 0, 2, 0);
        list.getTrackById(0x0110)->setCurrentSampleNumber(4);
        list.AddScalarSample(0x0110, 3.5);
        list.AddScalarSample(0x0111, 1.0);
        QCOMPARE(list.getTrackById(0x0110)->getScalarSamples(), QList<double> { 3.5 });
        QCOMPARE(list.numberOfTracks(), 1);
    }

    void storageNamesFollowMeasurementAndDevice()
    {
        TemporaryStorage storage;
        TrackList list(nullptr, 0xAB12, 0x5F00D);
        QCOMPARE(list.entityName(), QString("Tracklist"));
        QCOMPARE(list.fileEnding(), QString("ktt"));
        QCOMPARE(list.generateFileName(), QString("5f00d_ab12"));
        QCOMPARE(list.storagePath(), Helper::getDataPath() + "/5f00d");
        QCOMPARE(list.fullPath(), Helper::getDataPath() + "/5f00d/5f00d_ab12.ktt");
    }

    void trackListRecordMatchesTheLayout()
    {
        TrackList list(nullptr, 0x8000000000000001ull, 0x42);
        list.AddTrack(0x0111, 2, 2, 1);
        list.AddTrack(0x0110, 0, 1, 0);
        list.getTrackById(0x0110)->setCurrentSampleNumber(10);
        list.getTrackById(0x0110)->AddScalarSample(0.5);

        QByteArray written;
        {
            QDataStream stream(&written, QIODevice::WriteOnly);
            QTest::ignoreMessage(QtDebugMsg, " wrote tracklist to stream, number of tracks:  2");
            list.saveToStream(stream);
        }

        auto accHeader = [](RecordBytes& r, int id, const char* label, const char* tag, int factor, int width,
                            int config) {
            r.i64(20140409).i8(0).i32(id).i16(qint16(factor)).boolean(true).i8(qint8(width)).i8(qint8(config))
                .f64(0.00048828125).string("g").string(label).string(tag).f64(-17).f64(17);
        };
        RecordBytes expected;
        expected.i64(20140409).u64(0x8000000000000001ull).u64(0x42).i32(2);
        // Highest id first.
        expected.u16(0x0111);
        accHeader(expected, 0x0111, "Acc. Y", "AccY", 2, 2, 1);
        expected.u32(0).u32(0);
        expected.u16(0x0110);
        accHeader(expected, 0x0110, "Acc. X", "AccX", 0, 1, 0);
        expected.u32(1).u32(10).f64(0.5).u32(0);
        // Then the index order.
        expected.i32(2).u16(0x0111).u16(0x0110);
        QCOMPARE(written.toHex(), expected.bytes().toHex());
    }

    void aRecordOfTheFormerStoreReadsBackEqualAndIsWrittenAgainByteForByte()
    {
        // Written by the store that kept a number and a double per sample.
        QFile file(QStringLiteral(KORVEX_SOURCE_DIR "/tests/data/fixtures/tracklist-main.ktt"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray fixture = file.readAll();
        QVERIFY(!fixture.isEmpty());

        TrackListFixture expected;
        std::unique_ptr<TrackList> built = expected.build();
        std::unique_ptr<TrackList> loaded = readList(fixture);
        QVERIFY(loaded != nullptr);
        QCOMPARE(loaded->getDeviceSerial(), TrackListFixture::kSerial);
        QCOMPARE(loaded->getMeasurementId(), TrackListFixture::kMeasurement);
        QCOMPARE(loaded->getTrackOrder(), built->getTrackOrder());
        for (const auto& entry : expected.scalars) {
            Track* track = loaded->getTrackById(entry.first);
            QVERIFY(track != nullptr);
            const QString fault = trackDifferences(track, entry.second);
            QVERIFY2(fault.isEmpty(), qPrintable(QString::number(entry.first, 16) + ": " + fault));
        }
        // Raw where the values are what the sensor sent, doubles where not.
        QCOMPARE(loaded->getTrackById(0x0110)->scalarSampleStore().encoding(), ScalarSampleStore::Int16);
        QCOMPARE(loaded->getTrackById(0x0120)->scalarSampleStore().encoding(), ScalarSampleStore::Int16);
        QCOMPARE(loaded->getTrackById(0x0210)->scalarSampleStore().encoding(), ScalarSampleStore::Int32);
        QCOMPARE(loaded->getTrackById(0x8004)->scalarSampleStore().encoding(), ScalarSampleStore::Doubles);
        QCOMPARE(loaded->getTrackById(0x8019)->scalarSampleStore().encoding(), ScalarSampleStore::Doubles);
        // Read straight into the store: it holds the raw integers and the
        // runs, and no room beyond them.
        for (quint16 id : { 0x0110, 0x0112, 0x0120 }) {
            const ScalarSampleStore& store = loaded->getTrackById(id)->scalarSampleStore();
            QVERIFY2(store.bytes() <= std::size_t(store.size()) * 2
                         + store.numberRuns().runs().size() * sizeof(SampleNumberRuns::Run),
                     qPrintable(QString::number(store.bytes())));
        }
        Track* fusion = loaded->getTrackById(0x0141);
        QVERIFY(fusion->vectorSampleStore().isRaw());
        const auto& quaternions = expected.vectors[0x0141];
        QCOMPARE(fusion->numberOfVectorSamples(), int(quaternions.size()));
        int i = 0;
        for (const auto& entry : quaternions) {
            QCOMPARE(fusion->vectorSampleStore().numberAt(i), entry.first);
            QCOMPARE(fusion->vectorSampleStore().sampleAt(i), entry.second);
            ++i;
        }

        // Written again, and written from the live-filled list: the same bytes.
        QCOMPARE(recordOf(*loaded).toHex(), fixture.toHex());
        QCOMPARE(recordOf(*built).toHex(), fixture.toHex());
    }

    void randomStreamsGiveTheMapsResultsAndTheFormerRecord_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<double>("lost");
        QTest::addColumn<double>("late");
        QTest::addColumn<double>("repeated");
        QTest::newRow("in order") << 1u << 0.0 << 0.0 << 0.0;
        QTest::newRow("lost packets") << 2u << 0.02 << 0.0 << 0.0;
        QTest::newRow("late pages") << 3u << 0.01 << 0.05 << 0.0;
        QTest::newRow("repeated numbers") << 4u << 0.0 << 0.0 << 0.05;
        QTest::newRow("everything") << 5u << 0.05 << 0.05 << 0.05;
        QTest::newRow("everything, often") << 6u << 0.2 << 0.2 << 0.2;
    }

    void randomStreamsGiveTheMapsResultsAndTheFormerRecord()
    {
        QFETCH(quint32, seed);
        QFETCH(double, lost);
        QFETCH(double, late);
        QFETCH(double, repeated);
        std::mt19937 random(seed);
        std::uniform_real_distribution<double> chance(0, 1);
        std::uniform_int_distribution<int> raw16(-32768, 32767);
        std::uniform_int_distribution<qint32> raw32(std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max());

        TrackList list(nullptr, 0x77, 0x99);
        // id, down-sampling step, width
        const struct { quint16 id; quint16 step; quint8 width; } channels[] = {
            { 0x0110, 0, 2 }, { 0x0121, 0, 2 }, { 0x0130, 4, 2 }, { 0x0211, 50, 4 }, { 0x0310, 250, 1 },
            { 0x8014, 250, 2 }, { 0x0140, 0, 16 },
        };
        for (const auto& c : channels)
            list.AddTrack(c.id, c.step, c.width, 0);
        std::map<quint16, std::map<quint32, double>> scalars;
        std::map<quint16, std::map<quint32, QList<double>>> vectors;
        for (quint32 n = 1000; n < 6000; ++n) {
            if (chance(random) < lost)
                continue;
            for (const auto& c : channels) {
                if (c.step > 1 && n % c.step != 0)
                    continue;
                quint32 number = n;
                if (chance(random) < late)
                    number = n - std::uniform_int_distribution<quint32>(1, 500)(random);
                else if (chance(random) < repeated)
                    number = n - (c.step > 1 ? c.step : 1);
                Track* track = list.getTrackById(c.id);
                track->setCurrentSampleNumber(number);
                if (c.id == 0x0140) {
                    const QList<double> q { double(raw32(random)), double(raw32(random)), double(raw32(random)),
                                            double(raw32(random)) };
                    track->AddVectorSample(q);
                    vectors[c.id][number] = q;
                    continue;
                }
                double value = 0;
                if (c.width == 4)
                    value = double(raw32(random)) * track->getScaleFactor();
                else if (c.width == 1)
                    value = double(qint8(raw16(random))) * track->getScaleFactor();
                else
                    value = double(raw16(random)) * track->getScaleFactor();
                // A processor's value now and then: the track stays exact.
                if (c.id == 0x8014 && chance(random) < 0.1)
                    value = 123.456;
                track->AddScalarSample(value);
                scalars[c.id][number] = value;
            }
        }
        for (const auto& c : channels) {
            if (c.id == 0x0140)
                continue;
            const QString fault = trackDifferences(list.getTrackById(c.id), scalars[c.id]);
            QVERIFY2(fault.isEmpty(), qPrintable(QString::number(c.id, 16) + ": " + fault));
        }
        QVERIFY(list.getTrackById(0x0110)->scalarSampleStore().encoding() == ScalarSampleStore::Int16);
        QVERIFY(list.getTrackById(0x0211)->scalarSampleStore().encoding() == ScalarSampleStore::Int32);

        const QByteArray former = legacyRecord(list, scalars, vectors);
        QCOMPARE(recordOf(list).toHex(), former.toHex());
        std::unique_ptr<TrackList> loaded = readList(former);
        QVERIFY(loaded != nullptr);
        for (const auto& c : channels) {
            if (c.id == 0x0140)
                continue;
            const QString fault = trackDifferences(loaded->getTrackById(c.id), scalars[c.id]);
            QVERIFY2(fault.isEmpty(), qPrintable(QString::number(c.id, 16) + " loaded: " + fault));
        }
        QCOMPARE(loaded->getTrackById(0x0140)->numberOfVectorSamples(), int(vectors[0x0140].size()));
        QCOMPARE(recordOf(*loaded).toHex(), former.toHex());
    }

    void saveScanAndFullLoadGiveTheSameList()
    {
        TemporaryStorage storage;
        auto list = announcedList();
        QVERIFY(list->saveToDisk());

        TrackList prototype(nullptr, 0, 0x5f00d);
        QList<TrackList*> loaded;
        connect(&prototype, &TrackList::loadedTrackListFromDisk, this,
                [&loaded](TrackList* l) { loaded.append(l); });
        prototype.scanForFilesAndLoad();
        QCOMPARE(loaded.size(), 1);
        std::unique_ptr<TrackList> copy(loaded.first());

        QCOMPARE(copy->getDeviceSerial(), quint64(0xab12));
        QCOMPARE(copy->getMeasurementId(), quint64(0x5f00d));
        QCOMPARE(copy->getTrackOrder(), list->getTrackOrder());
        QCOMPARE(copy->numberOfTracks(), 4);
        for (quint8 i = 0; i < 4; ++i) {
            Track* a = list->getTrackByIndex(i);
            Track* b = copy->getTrackByIndex(i);
            QCOMPARE(b->getTrackId(), a->getTrackId());
            QCOMPARE(b->getType(), a->getType());
            QCOMPARE(b->getLabel(), a->getLabel());
            QCOMPARE(b->getVarName(), a->getVarName());
            QCOMPARE(b->getUnit(), a->getUnit());
            QCOMPARE(b->getScaleFactor(), a->getScaleFactor());
            QCOMPARE(b->getMinY(), a->getMinY());
            QCOMPARE(b->getMaxY(), a->getMaxY());
            QCOMPARE(b->getDownSamplingFactor(), a->getDownSamplingFactor());
            QCOMPARE(b->getTrackWidth(), a->getTrackWidth());
            QCOMPARE(b->getConfigIndex(), a->getConfigIndex());
            QCOMPARE(b->getScalarSampleNumbers(), a->getScalarSampleNumbers());
            QCOMPARE(b->getScalarSamples(), a->getScalarSamples());
            QCOMPARE(b->getVectorSampleNumbers(), a->getVectorSampleNumbers());
            QCOMPARE(*b->getVectorSamples(), *a->getVectorSamples());
            // Components come from the catalogue; live updates are not part
            // of the record.
            QCOMPARE(b->getComponents().size(), a->getComponents().size());
            QVERIFY(!b->doEmitUpdates());
        }
        QCOMPARE(copy->getTrackById(0x0140)->numberOfVectorSamples(), 5);
    }

    void headerLoadStopsBeforeTheTracks()
    {
        TemporaryStorage storage;
        auto list = announcedList(0x77, 0x99);
        QVERIFY(list->saveToDisk());

        TrackList prototype(nullptr, 0x77, 0x99);
        QTest::ignoreMessage(QtDebugMsg, "Loadmode for  \"Tracklist\"  set to  0");
        prototype.setLoadMode(Storable::LoadHeader);
        QList<TrackList*> loaded;
        connect(&prototype, &TrackList::loadedTrackListFromDisk, this,
                [&loaded](TrackList* l) { loaded.append(l); });
        QVERIFY(prototype.loadSelfFromDisk());
        QCOMPARE(loaded.size(), 1);
        std::unique_ptr<TrackList> header(loaded.takeFirst());
        QCOMPARE(header->getLoadMode(), Storable::LoadHeader);
        QCOMPARE(header->getDeviceSerial(), quint64(0x77));
        QCOMPARE(header->getMeasurementId(), quint64(0x99));
        QCOMPARE(header->numberOfTracks(), 0);
        QVERIFY(header->getTrackOrder().isEmpty());

        // The header-only list loads its full self from the same file.
        connect(header.get(), &TrackList::loadedTrackListFromDisk, this,
                [&loaded](TrackList* l) { loaded.append(l); });
        header->setLoadMode(Storable::LoadFull);
        QVERIFY(header->loadSelfFromDisk());
        QCOMPARE(loaded.size(), 1);
        std::unique_ptr<TrackList> full(loaded.takeFirst());
        QCOMPARE(full->numberOfTracks(), 4);
        QCOMPARE(full->getTrackById(0x0112)->numberOfSamples(), 5);
    }

    void streamOperatorReadsAWholeList()
    {
        auto list = announcedList();
        QByteArray bytes;
        {
            QDataStream out(&bytes, QIODevice::WriteOnly);
            out << *list;
        }
        QDataStream in(bytes);
        TrackList* read = nullptr;
        in >> read;
        std::unique_ptr<TrackList> owner(read);
        QVERIFY(read != nullptr);
        QCOMPARE(read->numberOfTracks(), 4);
        QVERIFY(in.atEnd());
    }

    void everyTruncationOfARecordLoadsNothing()
    {
        TemporaryStorage storage;
        auto list = announcedList(0x1, 0x2);
        QVERIFY(list->saveToDisk());
        const QString path = list->fullPath();
        const QByteArray whole = fileBytes(path);
        QVERIFY(whole.size() > 100);

        TrackList prototype(nullptr, 0x1, 0x2);
        QSignalSpy spy(&prototype, &TrackList::loadedTrackListFromDisk);
        for (int length = 0; length < whole.size(); ++length) {
            writeBytes(path, whole.left(length));
            QVERIFY2(!prototype.loadFileFromDisk(path), qPrintable(QString::number(length)));
        }
        QCOMPARE(spy.count(), 0);
        writeBytes(path, whole);
        QVERIFY(prototype.loadFileFromDisk(path));
        QCOMPARE(spy.count(), 1);
        delete spy.at(0).at(0).value<TrackList*>();
    }

    void randomAndCorruptFilesLoadNothing_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("mode");

        QRandomGenerator random(20140409);
        for (int i = 0; i < 20; ++i) {
            QByteArray bytes(int(random.bounded(1, 4000)), Qt::Uninitialized);
            for (char& b : bytes)
                b = char(random.bounded(256));
            QTest::newRow(qPrintable(QString("random %1").arg(i))) << bytes << int(Storable::LoadHeader);
            QTest::newRow(qPrintable(QString("random full %1").arg(i))) << bytes << int(Storable::LoadFull);
        }
        QTest::newRow("empty") << QByteArray() << int(Storable::LoadHeader);

        RecordBytes header;
        header.i64(20140409).u64(1).u64(2);
        QTest::newRow("huge track count") << RecordBytes(header).i32(-1).bytes() << int(Storable::LoadFull);

        RecordBytes track(header);
        track.i32(1).u16(0x0110).i64(20140409).i8(0).i32(0x0110).i16(0).boolean(true).i8(2).i8(0).f64(1)
            .string("g").string("Acc. X").string("AccX").f64(-17).f64(17);
        QTest::newRow("huge sample count") << RecordBytes(track).u32(0x7FFFFFFF).u32(1).f64(1).bytes()
                                           << int(Storable::LoadFull);
        QTest::newRow("huge vector count") << RecordBytes(track).u32(0).u32(0xFFFFFFFF).bytes()
                                           << int(Storable::LoadFull);
        QTest::newRow("huge component count")
            << RecordBytes(track).u32(0).u32(1).u32(5).u32(0xFFFFFFF0).f64(1).bytes() << int(Storable::LoadFull);
        QTest::newRow("huge string") << RecordBytes(header).i32(1).u16(0x0110).i64(20140409).i8(0).i32(0x0110)
                                            .i16(0).boolean(true).i8(2).i8(0).f64(1).u32(0xFFFFFFFE).bytes()
                                     << int(Storable::LoadFull);
        QTest::newRow("odd string length") << RecordBytes(header).i32(1).u16(0x0110).i64(20140409).i8(0)
                                                  .i32(0x0110).i16(0).boolean(true).i8(2).i8(0).f64(1).u32(3)
                                                  .raw("abc").bytes()
                                           << int(Storable::LoadFull);
        QTest::newRow("huge order count")
            << RecordBytes(header).i32(0).i32(0x7FFFFFFF).u16(1).bytes() << int(Storable::LoadFull);
        QTest::newRow("version from the future") << RecordBytes().i64(20991231).u64(1).u64(2).i32(0).i32(0).bytes()
                                                 << int(Storable::LoadFull);
        QTest::newRow("negative version") << RecordBytes().i64(-5).u64(1).u64(2).bytes()
                                          << int(Storable::LoadHeader);
    }

    void randomAndCorruptFilesLoadNothing()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, mode);
        TemporaryStorage storage;
        TrackList prototype(nullptr, 1, 2);
        prototype.setLoadMode(Storable::LoadModes(mode));
        QSignalSpy spy(&prototype, &TrackList::loadedTrackListFromDisk);
        writeBytes(prototype.fullPath(), bytes);
        QVERIFY(!prototype.loadSelfFromDisk());
        QCOMPARE(spy.count(), 0);

        // Without a known length the reader still stops at the end of data.
        SequentialBytes device(bytes);
        QDataStream stream(&device);
        QVERIFY(!prototype.tryLoadFromStream(stream));
        QCOMPARE(spy.count(), 0);
    }

    void aRecordWithAnOldTailBehindItStillLoads()
    {
        // Files written in place by earlier versions may carry the tail of a
        // longer record; readers stop at the end of their own record.
        TemporaryStorage storage;
        auto list = announcedList(0x1, 0x2);
        QByteArray bytes;
        {
            QDataStream out(&bytes, QIODevice::WriteOnly);
            out << *list;
        }
        TrackList prototype(nullptr, 0x1, 0x2);
        writeBytes(prototype.fullPath(), bytes + QByteArray(300, '\x5a'));
        QSignalSpy spy(&prototype, &TrackList::loadedTrackListFromDisk);
        QVERIFY(prototype.loadSelfFromDisk());
        QCOMPARE(spy.count(), 1);
        std::unique_ptr<TrackList> loaded(spy.at(0).at(0).value<TrackList*>());
        QCOMPARE(loaded->numberOfTracks(), 4);
    }

    void otherExtensionsAreNotScanned()
    {
        TemporaryStorage storage;
        auto list = announcedList(0x1, 0x2);
        QVERIFY(list->saveToDisk());
        const QByteArray bytes = fileBytes(list->fullPath());
        writeBytes(list->storagePath() + "/copy.KTT", bytes);
        writeBytes(list->storagePath() + "/copy.ktt.bak", bytes);
        writeBytes(list->storagePath() + "/copy", bytes);

        TrackList prototype(nullptr, 0, 0x2);
        QSignalSpy spy(&prototype, &TrackList::loadedTrackListFromDisk);
        prototype.scanForFilesAndLoad();
        QCOMPARE(spy.count(), 1);
        delete spy.at(0).at(0).value<TrackList*>();
    }
};

QTEST_GUILESS_MAIN(TestTrackList)
#include "tst_tracklist.moc"
