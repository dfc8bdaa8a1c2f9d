#include "Application/Helper.h"
#include "Data/AlignedMatWriter.h"
#include "Data/AlignedTable.h"
#include "Data/QualityFile.h"
#include "Data/Measurement.h"
#include "Data/Track.h"
#include "Data/TrackList.h"
#include "Protocol/FlashAddress.h"

#include "LogCapture.h"
#include "RecordBytes.h"
#include "StorageFiles.h"
#include "MatFile.h"
#include "TemporaryStorage.h"

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

#include <matio.h>

#include <cmath>
#include <memory>

namespace {

const QDateTime kStart(QDate(2015, 5, 13), QTime(7, 8, 56), Qt::LocalTime);

std::unique_ptr<Measurement> namedMeasurement(quint64 id = 0x1f)
{
    auto measurement = std::make_unique<Measurement>(nullptr, id);
    measurement->setStartTime(kStart);
    measurement->setAppName("Sprint");
    measurement->setSetupName("Two sensors");
    measurement->setUserName("Anna");
    return measurement;
}

void addScalar(TrackList* list, int id, const QList<QPair<quint32, double>>& samples)
{
    list->AddTrack(quint16(id), 1, 2, 0);
    Track* track = list->getTrackById(quint16(id));
    for (const auto& sample : samples) {
        track->setCurrentSampleNumber(sample.first);
        track->AddScalarSample(sample.second);
    }
}

QByteArray recordOf(Measurement& measurement)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QDataStream stream(&buffer);
    measurement.saveToStream(stream);
    return bytes;
}

// Loads one record file through a prototype; null when nothing was announced.
std::unique_ptr<Measurement> loadFile(const QString& path)
{
    Measurement prototype(nullptr, 0);
    QSignalSpy spy(&prototype, &Measurement::loadedMeasurementFromDisk);
    prototype.loadFileFromDisk(path);
    if (spy.count() != 1)
        return nullptr;
    return std::unique_ptr<Measurement>(spy.at(0).at(0).value<Measurement*>());
}

QString exportFolder(const QString& name)
{
    return Helper::geExportPath() + "/" + name + "/";
}

QList<double> doubles(matvar_t* field)
{
    QList<double> values;
    if (field == nullptr || field->class_type != MAT_C_DOUBLE || field->rank != 2 || field->dims[0] != 1)
        return { -12345.0 };
    for (size_t i = 0; i < field->dims[1]; ++i)
        values.append(static_cast<const double*>(field->data)[i]);
    return values;
}

QString chars(matvar_t* field)
{
    if (field == nullptr || field->class_type != MAT_C_CHAR || field->dims[0] != 1)
        return "<not text>";
    return QString::fromLatin1(static_cast<const char*>(field->data), int(field->dims[1]));
}

void addVector(TrackList* list, int id, const QList<QPair<quint32, QList<double>>>& samples)
{
    list->AddTrack(quint16(id), 0, 16, 0);
    Track* track = list->getTrackById(quint16(id));
    for (const auto& sample : samples) {
        track->setCurrentSampleNumber(sample.first);
        track->AddVectorSample(sample.second);
    }
}

// A column vector of doubles as text, "nan" for NaN, so that a comparison
// failure shows the whole column.
QString column(matvar_t* field)
{
    if (field == nullptr || field->class_type != MAT_C_DOUBLE || field->rank != 2 || field->dims[1] != 1)
        return "<not a column>";
    QStringList values;
    for (size_t i = 0; i < field->dims[0]; ++i) {
        const double value = static_cast<const double*>(field->data)[i];
        values << (std::isnan(value) ? QString("nan") : QString::number(value));
    }
    return values.join(' ');
}

} // namespace

class TestMeasurement : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void recordMatchesTheLayout()
    {
        auto measurement = namedMeasurement(0x8000000000001f2aull);
        measurement->setStartAddress(0xab, 0x10);
        measurement->setStartAddress(0x2, 0x01000000);
        measurement->setStopAddress(0xab, 0x20);
        measurement->setSamplingRate(0xffff);
        measurement->setLastUploadAddress(0x2, 5);
        measurement->getTrackList(0x2);

        const QByteArray expected = RecordBytes()
                                        .i64(20140409)
                                        .u64(0x8000000000001f2aull)
                                        // maps: count, then the highest serial first
                                        .u32(2).u64(0xab).u32(0x10).u64(0x2).u32(0x01000000)
                                        .u32(1).u64(0xab).u32(0x20)
                                        .string("Sprint").string("Two sensors").string("Anna")
                                        // local date and time: julian day, ms of the day, time spec
                                        .i64(QDate(2015, 5, 13).toJulianDay())
                                        .u32((7 * 3600 + 8 * 60 + 56) * 1000)
                                        .i8(0)
                                        .i16(-1)
                                        .u32(1).u64(0x2).u32(5)
                                        .bytes();
        LogCapture log;
        QCOMPARE(recordOf(*measurement).toHex(), expected.toHex());
        QVERIFY(log.contains(" saving DeviceTrackMap to stream. number of devices:  1"));
    }

    void recordWithoutStartTimeOrAddresses()
    {
        Measurement measurement(nullptr, 0x1f);
        const QByteArray expected = RecordBytes()
                                        .i64(20140409)
                                        .u64(0x1f)
                                        .u32(0)
                                        .u32(0)
                                        // names never set are null strings
                                        .nullString().nullString().nullString()
                                        .i64(std::numeric_limits<qint64>::min())
                                        .u32(0xffffffffu)
                                        .i8(0)
                                        .i16(0)
                                        .u32(0)
                                        .bytes();
        QCOMPARE(recordOf(measurement).toHex(), expected.toHex());
    }

    void fileNameJoinsTimeNamesAndId_data()
    {
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<QString>("app");
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("user");
        QTest::addColumn<quint64>("id");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("id only") << QDateTime() << "" << "" << "" << quint64(0x1f) << "____1f";
        QTest::newRow("all fields") << kStart << "Sprint" << "Two sensors" << "Anna" << quint64(0xabc)
                                    << "2015_05_13_07_08_56_Sprint_Two_sensors_Anna_abc";
        QTest::newRow("punctuation dropped") << kStart << "Squat-Jump!" << "a/b" << "Max Muster-1"
                                             << quint64(0x8000000000000000ull)
                                             << "2015_05_13_07_08_56_SquatJump_ab_Max_Muster1_8000000000000000";
    }

    void fileNameJoinsTimeNamesAndId()
    {
        QFETCH(QDateTime, start);
        QFETCH(QString, app);
        QFETCH(QString, setup);
        QFETCH(QString, user);
        QFETCH(quint64, id);
        QFETCH(QString, fileName);
        TemporaryStorage storage;
        Measurement measurement(nullptr, id);
        measurement.setStartTime(start);
        measurement.setAppName(app);
        measurement.setSetupName(setup);
        measurement.setUserName(user);
        QCOMPARE(measurement.generateFileName(), fileName);
        QCOMPARE(measurement.fullPath(), Helper::getDataPath() + "/" + fileName + ".ktm");
        QCOMPARE(measurement.trackListFolder(), Helper::getDataPath() + "/" + QString::number(id, 16));
        QVERIFY(measurement.saveToDisk());
        QVERIFY(QFile::exists(Helper::getDataPath() + "/" + fileName + ".ktm"));
    }

    void savedMeasurementComesBackWithTrackListHeadersThenFullLists()
    {
        TemporaryStorage storage;
        auto measurement = namedMeasurement(0x5f00d);
        measurement->setStartAddress(0x12, 0x00000100);
        measurement->setStopAddress(0x12, 0x00000400);
        measurement->setLastUploadAddress(0x12, 0x00000200);
        measurement->setSamplingRate(400);
        addScalar(measurement->getTrackList(0x12), 0x0110, { { 10, 0.5 }, { 11, 2 } });
        addScalar(measurement->getTrackList(0x3), 0x0211, { { 1, 21.5 } });
        measurement->saveAllTrackLists();
        QVERIFY(measurement->saveToDisk());
        // A stray file in the data folder of the measurement is no track list.
        QVERIFY(StorageFiles::write(measurement->trackListFolder() + "/notes.txt", "x"));

        std::unique_ptr<Measurement> loaded = loadFile(measurement->fullPath());
        QVERIFY(loaded);
        QCOMPARE(loaded->getMeasurementID(), quint64(0x5f00d));
        QCOMPARE(loaded->getUserName(), QString("Anna"));
        QCOMPARE(loaded->getAppName(), QString("Sprint"));
        QCOMPARE(loaded->getSetupName(), QString("Two sensors"));
        QCOMPARE(loaded->getStartTime(), kStart);
        QCOMPARE(loaded->getSamplingRate(), quint16(400));
        QCOMPARE(loaded->getStartAddress(0x12), quint32(0x100));
        QCOMPARE(loaded->getStopAddress(0x12), quint32(0x400));
        QCOMPARE(loaded->getStopAddress(0x99), quint32(0));
        QCOMPARE(loaded->getLastUploadAddress(0x12), quint32(0x200));
        QCOMPARE(loaded->generateFileName(), measurement->generateFileName());

        // Headers only: both lists are known, neither holds tracks yet.
        QCOMPARE(loaded->getDevicesInMeasurement(), (QList<quint64> { 0x3, 0x12 }));
        QPointer<TrackList> header = loaded->getTrackList(0x12);
        QCOMPARE(header->getNumberOfTracks(), 0);
        QCOMPARE(header->getMeasurementId(), quint64(0x5f00d));
        QCOMPARE(header->parent(), loaded.get());

        loaded->loadMeasurementDataFromDisk();
        TrackList* full = loaded->getTrackList(0x12);
        QVERIFY(full != header);
        QCOMPARE(full->parent(), loaded.get());
        QCOMPARE(full->getTrackById(0x0110)->getScalarSamples(), (QList<double> { 0.5, 2 }));
        QCOMPARE(loaded->getTrackList(0x3)->getTrackById(0x0211)->getScalarSamples(), (QList<double> { 21.5 }));
        // The header list stays valid for whoever still holds it.
        QVERIFY(!header.isNull());

        // Loading again gives the same data again, not twice the data.
        loaded->loadMeasurementDataFromDisk();
        QCOMPARE(loaded->getTrackList(0x12)->getTrackById(0x0110)->getScalarSamples(), (QList<double> { 0.5, 2 }));
    }

    void unreadableRecordsAnnounceNothing_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        Measurement measurement(nullptr, 0x77);
        measurement.setStartTime(kStart);
        measurement.setStartAddress(1, 2);
        measurement.setLastUploadAddress(1, 3);
        const QByteArray record = recordOf(measurement);
        for (int length = 0; length < record.size(); ++length)
            QTest::addRow("cut at %d", length) << record.left(length);
        QTest::newRow("huge address count")
            << RecordBytes().i64(20140409).u64(1).u32(0x7fffffff).u64(1).u32(1).bytes();
        QTest::newRow("version from the future") << RecordBytes().i64(20990101).raw(record.mid(8)).bytes();
        QTest::newRow("random") << QByteArray::fromHex("e3a1ff0192837465aabbccddeeff00112233445566778899aabbccdd");
    }

    void unreadableRecordsAnnounceNothing()
    {
        QFETCH(QByteArray, bytes);
        TemporaryStorage storage;
        const QString path = Helper::getDataPath() + "/bad.ktm";
        QVERIFY(StorageFiles::write(path, bytes));
        QVERIFY(!loadFile(path));
    }

    void scanSkipsCorruptFilesAndLoadsTheRest()
    {
        TemporaryStorage storage;
        auto good = namedMeasurement(0x10);
        QVERIFY(good->saveToDisk());
        QVERIFY(StorageFiles::write(Helper::getDataPath() + "/broken.ktm", recordOf(*good).left(30)));
        QVERIFY(StorageFiles::write(Helper::getDataPath() + "/other.KTM", recordOf(*good)));

        Measurement prototype(nullptr, 0);
        QSignalSpy spy(&prototype, &Measurement::loadedMeasurementFromDisk);
        LogCapture log;
        prototype.scanForFilesAndLoad();
        QCOMPARE(spy.count(), 1);
        std::unique_ptr<Measurement> loaded(spy.at(0).at(0).value<Measurement*>());
        QCOMPARE(loaded->getMeasurementID(), quint64(0x10));
        QCOMPARE(log.count("Potential  \"Measurement\""), 2);
        QVERIFY(log.contains("broken.ktm"));
    }

    void uploadCompletenessFollowsTheLastUploadedPage_data()
    {
        QTest::addColumn<bool>("hasStop");
        QTest::addColumn<bool>("hasProgress");
        QTest::addColumn<quint32>("last");
        QTest::addColumn<bool>("complete");
        QTest::addColumn<QString>("line");
        const quint32 stop = FlashAddress(0, 12, 5).toQuint32();
        const quint32 pageBelow = FlashAddress(0, 12, 4).toQuint32();
        const quint32 blockBelow = FlashAddress(0, 11, 63).toQuint32();
        const quint32 beyond = FlashAddress(1, 0, 0).toQuint32();
        QTest::newRow("at the stop address") << true << true << stop << true
                                             << QString(" Measurement  1f  complete for device:  ab , last uploaded page:  c05");
        QTest::newRow("one page short") << true << true << pageBelow << false
                                        << QString(" Measurement  1f  incomplete for device:  ab , last uploaded page:  c04");
        QTest::newRow("one block short") << true << true << blockBelow << false
                                         << QString(" Measurement  1f  incomplete for device:  ab , last uploaded page:  b3f");
        QTest::newRow("beyond the stop address") << true << true << beyond << true
                                                 << QString(" Measurement  1f  complete for device:  ab , last uploaded page:  1000000");
        QTest::newRow("no page stored") << true << false << 0u << false
                                        << QString(" Measurement  1f  incomplete for device:  ab , no progress information found. ");
        QTest::newRow("no stop address") << false << true << 0u << true
                                         << QString(" Measurement  1f  complete for device:  ab , last uploaded page:  0");
    }

    void uploadCompletenessFollowsTheLastUploadedPage()
    {
        QFETCH(bool, hasStop);
        QFETCH(bool, hasProgress);
        QFETCH(quint32, last);
        QFETCH(bool, complete);
        QFETCH(QString, line);
        Measurement measurement(nullptr, 0x1f);
        if (hasStop)
            measurement.setStopAddress(0xab, FlashAddress(0, 12, 5).toQuint32());
        if (hasProgress)
            measurement.setLastUploadAddress(0xab, last);
        // Another sensor's progress does not count for this one.
        measurement.setLastUploadAddress(0xcd, FlashAddress(1, 4095, 63).toQuint32());
        LogCapture log;
        QCOMPARE(measurement.uploadFromDeviceComplete(0xab), complete);
        QCOMPARE(log.lines(), QStringList { line });
    }

    void trackListsAreCreatedOnceAndReplacedByDevice()
    {
        Measurement measurement(nullptr, 0x42);
        LogCapture log;
        TrackList* created = measurement.getTrackList(0x9);
        QCOMPARE(measurement.getTrackList(0x9), created);
        QCOMPARE(log.count(" Tracklist was not found in trackmap, created new tracklist "), 1);
        QCOMPARE(created->getDeviceSerial(), quint64(0x9));
        QCOMPARE(created->getMeasurementId(), quint64(0x42));
        QCOMPARE(created->parent(), &measurement);

        auto* replacement = new TrackList(nullptr, 0x9, 0x42);
        QPointer<TrackList> replaced = created;
        measurement.setDeviceTrackList(replacement);
        QCOMPARE(measurement.getTrackList(0x9), replacement);
        QCOMPARE(replacement->parent(), &measurement);
        QVERIFY(!replaced.isNull());

        measurement.setDeviceTrackList(new TrackList(nullptr, 0x1, 0x42));
        measurement.setDeviceTrackList(nullptr);
        QCOMPARE(measurement.getDevicesInMeasurement(), (QList<quint64> { 0x1, 0x9 }));
    }

    void savingADeviceWithoutListSavesAnEmptyOne()
    {
        TemporaryStorage storage;
        Measurement measurement(nullptr, 0x42);
        QVERIFY(measurement.saveSingleTrackList(0x7));
        QVERIFY(QFile::exists(measurement.trackListFolder() + "/42_7.ktt"));
        QCOMPARE(measurement.getDevicesInMeasurement(), QList<quint64> { 0x7 });
    }

    void exportWritesEveryDeviceIntoTheFolderNamedAfterTheFile()
    {
        TemporaryStorage storage;
        auto measurement = namedMeasurement(0x1f);
        addScalar(measurement->getTrackList(0xab), 0x0110, { { 10, 0.5 }, { 11, 2 } });
        TrackList* second = measurement->getTrackList(0x3);
        addScalar(second, 0x0211, { { 4, 21.25 } });
        second->AddTrack(0x0140, 0, 16, 0);
        Track* quaternion = second->getTrackById(0x0140);
        quaternion->setCurrentSampleNumber(4);
        quaternion->AddVectorSample({ 1, 0, 0, 0 });
        measurement->getTrackList(0x5); // a list without tracks

        const QString name = "2015_05_13_07_08_56_Sprint_Two_sensors_Anna_1f";
        QVERIFY(StorageFiles::write(exportFolder(name) + "old/stale.csv", "stale"));

        LogCapture log;
        measurement->Export();
        QStringList expectedLines { QString(" Measurement, export:  \"%1\"").arg(name) };
        for (int device = 0; device < 3; ++device)
            expectedLines << " Measurement, exported Tracklist to CSV. " << " Measurement, exported Tracklist to MAT. ";
        expectedLines << QString(" Measurement, export done:  \"%1\"").arg(name);
        QStringList measurementLines;
        for (const QString& line : log.lines()) {
            if (line.startsWith(" Measurement, "))
                measurementLines << line;
        }
        QCOMPARE(measurementLines, expectedLines);

        QVERIFY(!QFile::exists(exportFolder(name) + "old/stale.csv"));
        QCOMPARE(StorageFiles::read(exportFolder(name) + "ab/Acc. X.csv"), QByteArray("10,0.5\r\n11,2\r\n"));
        QCOMPARE(StorageFiles::read(exportFolder(name) + "3/Temperature.csv"), QByteArray("4,21.25\r\n"));
        QCOMPARE(StorageFiles::read(exportFolder(name) + "3/Fusion raw DMP.csv"), QByteArray("4,1,0,0,0,\r\n"));
        QVERIFY(!QDir(exportFolder(name) + "5").exists());
        QCOMPARE(QDir(exportFolder(name)).entryList(QStringList { "*.mat" }, QDir::Files),
                 (QStringList { name + "_aligned.mat", "3.mat", "5.mat", "ab.mat" }));

        MatFile empty(exportFolder(name) + "5.mat");
        QVERIFY(empty.variable != nullptr);
        QCOMPARE(empty.variable->class_type, MAT_C_STRUCT);
        QCOMPARE(int(empty.variable->dims[0]), 0);
        QCOMPARE(int(empty.variable->dims[1]), 1);
        QCOMPARE(Mat_VarGetNumberOfFields(empty.variable), 5u);
    }

    void exportOfAStoredMeasurementReadsItsDataFirst()
    {
        TemporaryStorage storage;
        {
            auto measurement = namedMeasurement(0x2e);
            TrackList* list = measurement->getTrackList(0xab);
            addScalar(list, 0x0112, { { 10, 0.5 }, { 11, 2 } });
            addScalar(list, 0x0110, { { 7, -1 } });
            measurement->saveAllTrackLists();
            QVERIFY(measurement->saveToDisk());
        }
        const QString name = "2015_05_13_07_08_56_Sprint_Two_sensors_Anna_2e";
        std::unique_ptr<Measurement> loaded = loadFile(Helper::getDataPath() + "/" + name + ".ktm");
        QVERIFY(loaded);

        // As loaded at start-up the lists are headers only; the export reads
        // the samples before it writes anything.
        QVERIFY(loaded->Export());
        const QByteArray csv = StorageFiles::read(exportFolder(name) + "ab/Acc. Z.csv");
        QCOMPARE(csv, QByteArray("10,0.5\r\n11,2\r\n"));
        MatFile mat(exportFolder(name) + "ab.mat");
        QVERIFY(mat.variable != nullptr);
        QCOMPARE(int(mat.variable->dims[0]), 2);
        QCOMPARE(int(mat.variable->dims[1]), 1);
        // Elements in the order the sensor announced its tracks.
        const QList<quint32> ids { 0x0112, 0x0110 };
        const QList<QList<double>> numbers { { 10, 11 }, { 7 } };
        const QList<QList<double>> values { { 0.5, 2 }, { -1 } };
        const QStringList labels { "Acc. Z", "Acc. X" };
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(doubles(Mat_VarGetStructFieldByName(mat.variable, "samplenumber", size_t(i))), numbers.at(i));
            QCOMPARE(doubles(Mat_VarGetStructFieldByName(mat.variable, "values", size_t(i))), values.at(i));
            QCOMPARE(chars(Mat_VarGetStructFieldByName(mat.variable, "label", size_t(i))), labels.at(i));
            QCOMPARE(chars(Mat_VarGetStructFieldByName(mat.variable, "unit", size_t(i))), QString("g"));
            matvar_t* id = Mat_VarGetStructFieldByName(mat.variable, "trackID", size_t(i));
            QVERIFY(id != nullptr);
            QCOMPARE(id->class_type, MAT_C_UINT32);
            QCOMPARE(*static_cast<const quint32*>(id->data), ids.at(i));
        }

        // And a second export gives the same CSV bytes.
        QVERIFY(loaded->Export());
        QCOMPARE(StorageFiles::read(exportFolder(name) + "ab/Acc. Z.csv"), csv);

        // Samples that can no longer be read leave the good export alone.
        std::unique_ptr<Measurement> again = loadFile(Helper::getDataPath() + "/" + name + ".ktm");
        QVERIFY(again);
        const QString listFile = Helper::getDataPath() + "/2e/2e_ab.ktt";
        QVERIFY(StorageFiles::write(listFile, StorageFiles::read(listFile).left(40)));
        QVERIFY(!again->Export());
        QCOMPARE(StorageFiles::read(exportFolder(name) + "ab/Acc. Z.csv"), csv);
    }

    // Two sensors at 100 Hz: the first with a channel at every sample and
    // one at every second, and two samples lost (12 and 13); the second
    // with a channel and the quaternion, starting a sample later.
    void analysisFilesPutEveryChannelOnOneTimeBase()
    {
        TemporaryStorage storage;
        auto measurement = namedMeasurement(0x3c);
        measurement->setSamplingRate(100);
        TrackList* left = measurement->getTrackList(0xa1);
        addScalar(left, 0x0110, { { 10, 0.5 }, { 11, 1.5 }, { 14, -2 }, { 15, 3 } });
        addScalar(left, 0x0111, { { 10, 0.25 }, { 14, 7 } });
        left->getTrackById(0x0111)->setDownSamplingFactor(2);
        TrackList* right = measurement->getTrackList(0xb2);
        addScalar(right, 0x0110, { { 11, 9 }, { 12, 8 } });
        addVector(right, 0x0140, { { 11, { 1, 0, 0, 0 } }, { 12, { 0.5, 0.5, 0.5, -0.5 } } });
        // Steps of both feet (contact ms, step start ms); the left foot is
        // the lower serial.
        addScalar(left, 0x8014, { { 1, 120 }, { 2, 120 }, { 3, 130 } });
        addScalar(left, 0x8016, { { 1, 500 }, { 2, 500 }, { 3, 1100 } });
        addScalar(right, 0x8014, { { 1, 110 }, { 2, 115 } });
        addScalar(right, 0x8016, { { 1, 700 }, { 2, 1300 } });
        QVERIFY(measurement->Export());

        const QString name = "2015_05_13_07_08_56_Sprint_Two_sensors_Anna_3c";
        const QString base = exportFolder(name) + name;
        // Each channel in announcement order; the step channels start at
        // sample 1, so the table starts there.
        const QByteArray csv = StorageFiles::read(base + "_aligned.csv");
        const QList<QByteArray> lines = csv.split('\n');
        QCOMPARE(lines.value(0),
                 QByteArray("time_s,a1:Acc. X [g],a1:Acc. Y [g],a1:Ground Contact Time [ms],"
                            "a1:Ground Contact Time Time [ms],b2:Acc. X [g],b2:Fusion raw DMP alpha [Quaternion],"
                            "b2:Fusion raw DMP x [Quaternion],b2:Fusion raw DMP y [Quaternion],"
                            "b2:Fusion raw DMP z [Quaternion],b2:Ground Contact Time [ms],"
                            "b2:Ground Contact Time Time [ms]"));
        const QList<QByteArray> rows {
            "0,,,120,500,,,,,,110,700",
            "0.01,,,120,500,,,,,,115,1300",
            "0.02,,,130,1100,,,,,,,",
            "0.09,0.5,0.25,,,,,,,,,",
            "0.1,1.5,,,,9,1,0,0,0,,",
            "0.11,,,,,8,0.5,0.5,0.5,-0.5,,",
            "0.13,-2,7,,,,,,,,,",
            "0.14,3,,,,,,,,,,",
            "",
        };
        QCOMPARE(lines.mid(1), rows);

        MatFile mat(base + "_aligned.mat");
        QVERIFY(mat.mat != nullptr);
        matvar_t* aligned = Mat_VarRead(mat.mat, "aligned");
        QVERIFY(aligned != nullptr);
        const auto field = [&](const char* name) { return column(Mat_VarGetStructFieldByName(aligned, name, 0)); };
        QCOMPARE(field("time_s"), QString("0 0.01 0.02 0.09 0.1 0.11 0.13 0.14"));
        QCOMPARE(field("sa1_Acc_X"), QString("nan nan nan 0.5 1.5 nan -2 3"));
        QCOMPARE(field("sa1_Acc_Y"), QString("nan nan nan 0.25 nan nan 7 nan"));
        QCOMPARE(field("sb2_Fusion_raw_DMP_z"), QString("nan nan nan nan 0 -0.5 nan nan"));
        QCOMPARE(field("sb2_Ground_Contact_Time_Time"), QString("700 1300 nan nan nan nan nan nan"));
        QCOMPARE(Mat_VarGetNumberOfFields(aligned), 12u);
        Mat_VarFree(aligned);
        matvar_t* names = Mat_VarRead(mat.mat, "column_names");
        QVERIFY(names != nullptr);
        QCOMPARE(names->class_type, MAT_C_CELL);
        matvar_t* fifth = Mat_VarGetCell(names, 5);
        QVERIFY(fifth != nullptr && fifth->class_type == MAT_C_CHAR);
        QCOMPARE(QString::fromUtf8(static_cast<const char*>(fifth->data), int(fifth->nbytes)),
                 QString("b2:Fusion raw DMP alpha [Quaternion]"));
        Mat_VarFree(names);
        Mat_Close(mat.mat);
        mat.mat = nullptr;
        // A table past what one struct may hold is left to the CSV; a file
        // that cannot be written leaves nothing; a new export replaces the
        // file whole.
        AlignedTable table(measurement.get(), 100);
        QCOMPARE(AlignedMatWriter::write(table, base + "_small.mat", 1000), AlignedMatWriter::TooLarge);
        QCOMPARE(AlignedMatWriter::write(table, base + "_none/x.mat"), AlignedMatWriter::Failed);
        QCOMPARE(AlignedMatWriter::write(table, base + "_aligned.mat"), AlignedMatWriter::Written);
        QCOMPARE(QDir(exportFolder(name)).entryList({ "*.part", "*_small.mat", "*_none" }), QStringList());
        MatFile again(base + "_aligned.mat");
        aligned = Mat_VarRead(again.mat, "aligned");
        QVERIFY(aligned != nullptr);
        QCOMPARE(column(Mat_VarGetStructFieldByName(aligned, "sb2_Fusion_raw_DMP_z", 0)), QString("nan nan nan nan 0 -0.5 nan nan"));
        Mat_VarFree(aligned);

        QCOMPARE(StorageFiles::read(base + "_steps.csv"),
                 QByteArray("foot,sensor,step_time_s,contact_ms\n"
                            "left,a1,0.5,120\n"
                            "right,b2,0.7,110\n"
                            "left,a1,1.1,130\n"
                            "right,b2,1.3,115\n"));

        // a1 should hold samples 1..15 in its three channels at every sample
        // and the even ones in Acc. Y: 3 * 15 + 7; it holds 4 + 2 + 3 + 3.
        // Its densest channel, Acc. X, lost 12 and 13. b2 should hold 1..12
        // in its four channels and holds 2 samples in each.
        const QMap<quint64, DataQuality> quality = QualityFile::read(0x3c);
        const DataQuality a1 = quality.value(0xa1);
        QCOMPARE((QList<qint64> { a1.expected, a1.stored, a1.gaps, a1.longestGap }), (QList<qint64> { 52, 12, 1, 2 }));
        const DataQuality b2 = quality.value(0xb2);
        QCOMPARE((QList<qint64> { b2.expected, b2.stored, b2.gaps, b2.longestGap }), (QList<qint64> { 48, 8, 0, 0 }));
        QCOMPARE(a1.describe(100), QString("12 of 52 samples (23.08 %)\n1 gap, 20 ms long"));

        // An imported series has line numbers for step times: none in the table.
        auto imported = namedMeasurement(0x3d);
        imported->setSetupName("GCT import");
        addScalar(imported->getTrackList(0xa1), 0x8014, { { 1, 120 }, { 2, 125 } });
        addScalar(imported->getTrackList(0xa1), 0x8016, { { 1, 1 }, { 2, 2 } });
        QVERIFY(imported->Export());
        const QString importName = "2015_05_13_07_08_56_Sprint_GCT_import_Anna_3d";
        QCOMPARE(StorageFiles::read(exportFolder(importName) + importName + "_steps.csv"),
                 QByteArray("foot,sensor,step_time_s,contact_ms\nleft,a1,,120\nleft,a1,,125\n"));

        const QString info = QString::fromUtf8(StorageFiles::read(exportFolder(name) + "info.txt"));
        for (const QString& line : { QString("Athlete: Anna"), QString("App: Sprint"), QString("Setup: Two sensors"),
                                     QString("Start time: 2015-05-13 07:08:56"), QString("Base frequency: 100 Hz"),
                                     QString("  A1  4 channels, left foot"), QString("  B2  4 channels, right foot"),
                                     QString("  A1: poor"), QString("  B2: poor") })
            QVERIFY2(info.split('\n').contains(line), qPrintable(line + "\n---\n" + info));
    }

    // Gaps are runs of missing numbers in the densest channel, wherever the
    // store keeps them: between its runs or inside a run spaced too wide.
    void qualityCountsTheGapsOfTheDensestChannel_data()
    {
        QTest::addColumn<QList<quint32>>("numbers");
        QTest::addColumn<QList<qint64>>("figures"); // expected, stored, gaps, longest
        QTest::newRow("none lost") << QList<quint32> { 1, 2, 3, 4 } << QList<qint64> { 4, 4, 0, 0 };
        QTest::newRow("every other lost") << QList<quint32> { 1, 3, 5, 7 } << QList<qint64> { 7, 4, 3, 1 };
        QTest::newRow("one long gap") << QList<quint32> { 1, 2, 10, 11 } << QList<qint64> { 11, 4, 1, 7 };
        QTest::newRow("both kinds") << QList<quint32> { 1, 3, 4, 10 } << QList<qint64> { 10, 4, 2, 5 };
        QTest::newRow("a late sample") << QList<quint32> { 1, 2, 5, 3 } << QList<qint64> { 5, 4, 1, 1 };
    }

    void qualityCountsTheGapsOfTheDensestChannel()
    {
        QFETCH(QList<quint32>, numbers);
        QFETCH(QList<qint64>, figures);
        TrackList list(nullptr, 0xa1, 0x1);
        QList<QPair<quint32, double>> samples;
        for (quint32 number : numbers)
            samples.append({ number, 0.5 });
        addScalar(&list, 0x0110, samples);
        const DataQuality quality = DataQuality::measure(&list);
        QCOMPARE((QList<qint64> { quality.expected, quality.stored, quality.gaps, quality.longestGap }), figures);
    }

    // Struct field names are valid for MATLAB: a letter first, letters,
    // digits and underscores, at most 63 characters, none twice.
    void alignedFieldNamesAreValidAndUnique_data()
    {
        QTest::addColumn<QStringList>("columns");
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("unit dropped, dots and spaces")
            << QStringList { "1234abcd:Acc. X [g]" } << QStringList { "s1234abcd_Acc_X" };
        QTest::newRow("the same name twice")
            << QStringList { "a1:Acc. X [g]", "a1:Acc  X [m/s]", "a1:Acc_X" }
            << QStringList { "sa1_Acc_X", "sa1_Acc_X_2", "sa1_Acc_X_3" };
        QTest::newRow("not ASCII, brackets")
            << QStringList { "b2:Kraft (links) – Σ° [N]" } << QStringList { "sb2_Kraft_links" };
        QTest::newRow("too long, and too long twice")
            << QStringList { "c3:" + QString(80, 'n'), "c3:" + QString(90, 'n') }
            << QStringList { "sc3_" + QString(59, 'n'), "sc3_" + QString(57, 'n') + "_2" };
    }

    void alignedFieldNamesAreValidAndUnique()
    {
        QFETCH(QStringList, columns);
        QFETCH(QStringList, fields);
        QCOMPARE(AlignedMatWriter::fieldNames(columns), fields);
    }

    void exportIntoAFolderThatCannotBeCreatedLogsAndReturns()
    {
        TemporaryStorage storage;
        auto measurement = namedMeasurement(0x1f);
        addScalar(measurement->getTrackList(0xab), 0x0110, { { 1, 1 } });
        // A file where the export folder should be.
        const QString exports = Helper::getBasePath() + "/Exports";
        QVERIFY(StorageFiles::write(exports, "not a folder"));
        LogCapture log;
        measurement->Export();
        QCOMPARE(log.count(" Could not create export directoy: "), 2);
        QVERIFY(log.contains(" Measurement, export done: "));
        QCOMPARE(StorageFiles::read(exports), QByteArray("not a folder"));
    }

    void erasingRemovesTheRecordAndTheTrackListFolder()
    {
        TemporaryStorage storage;
        auto measurement = namedMeasurement(0x31);
        addScalar(measurement->getTrackList(0x1), 0x0110, { { 1, 1 } });
        measurement->saveAllTrackLists();
        QVERIFY(measurement->saveToDisk());
        Measurement neighbour(nullptr, 0x32);
        QVERIFY(neighbour.saveSingleTrackList(0x1));
        QVERIFY(QDir(measurement->trackListFolder()).exists());

        QVERIFY(measurement->eraseFromDisk());
        QVERIFY(!QFile::exists(measurement->fullPath()));
        QVERIFY(!QDir(measurement->trackListFolder()).exists());
        QVERIFY(QDir(neighbour.trackListFolder()).exists());

        // Nothing left to erase: the folder counts as gone, the file fails.
        QVERIFY(!measurement->eraseFromDisk());
    }
};

QTEST_GUILESS_MAIN(TestMeasurement)
#include "tst_measurement.moc"
