#include "Application/Helper.h"
#include "Data/Track.h"
#include "Data/TrackList.h"

#include "RecordBytes.h"
#include "TemporaryStorage.h"

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

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
