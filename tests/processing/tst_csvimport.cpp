#include "Application/Helper.h"
#include "Data/Measurement.h"
#include "Data/MeasurementController.h"
#include "Data/Track.h"
#include "Data/TrackList.h"
#include "Processing/CsvImportProcessor.h"

#include "LogCapture.h"
#include "SprintRecordings.h"
#include "StorageFiles.h"
#include "TemporaryStorage.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QtTest>

#include <sys/stat.h>

namespace {

using Samples = QMap<quint32, double>;

QString offlineFile(const QString& name)
{
    return CsvImportProcessor::offlineDataPath() + "/" + name;
}

QStringList storedMeasurements()
{
    return QDir(Helper::getDataPath()).entryList({ "*.ktm" }, QDir::Files);
}

Track* trackOf(Measurement* measurement, int id)
{
    TrackList* list = measurement->getTrackList(CsvImportProcessor::kImportDeviceSerial);
    return list->getTrackOrder().contains(quint16(id)) ? list->getTrackById(quint64(id)) : nullptr;
}

// A file that changes on disk (or fails) as soon as it is first read from.
class ChangingFile : public QFile
{
public:
    enum Change { CutShort, Grows, Fails };

    ChangingFile(const QString& path, Change change)
        : QFile(path)
        , m_change(change)
    {
    }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        if (!m_changed) {
            m_changed = true;
            if (m_change == CutShort) {
                QFile::resize(fileName(), 5);
            } else if (m_change == Grows) {
                QFile other(fileName());
                if (other.open(QIODevice::Append))
                    other.write("3,190\n");
            } else {
                return -1;
            }
        }
        return QFile::readData(data, maxSize);
    }

private:
    Change m_change;
    bool m_changed = false;
};

} // namespace

class TestCsvImport : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void eachSeriesBecomesAStoredSprintMeasurement_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<Samples>("samples");
        QTest::newRow("two steps and a trailing empty line")
            << QByteArray("1,180\n2,175.5\n") << Samples { { 1, 180 }, { 2, 175.5 } };
        QTest::newRow("carriage returns and blanks around the fields")
            << QByteArray("1, 180\r\n\r\n 2 ,175.5 \r\n") << Samples { { 1, 180 }, { 2, 175.5 } };
        QTest::newRow("no line feed at the end") << QByteArray("7,200") << Samples { { 7, 200 } };
        QTest::newRow("a repeated sample number keeps its last line")
            << QByteArray("5,100\n3,90\n5,110\n") << Samples { { 3, 90 }, { 5, 110 } };
        QTest::newRow("the largest sample number")
            << QByteArray("4294967295,150\n") << Samples { { 4294967295u, 150 } };
        QTest::newRow("what follows a NUL byte is not text")
            << QByteArray("1,180\n", 6) + QByteArray(1, '\0') + QByteArray("rest") << Samples { { 1, 180 } };
    }

    void eachSeriesBecomesAStoredSprintMeasurement()
    {
        QFETCH(QByteArray, content);
        QFETCH(Samples, samples);
        TemporaryStorage storage;
        QVERIFY(StorageFiles::write(offlineFile("series.csv"), content));
        CsvImportProcessor processor;
        QSignalSpy created(&processor, &Processor::OutputMeasurementCreated);
        QSignalSpy complete(&processor, &Processor::OutputMeasurementComplete);
        LogCapture log;
        processor.startProcessing();

        QCOMPARE(log.count(" importing csv file : \"series.csv\""), 1);
        QCOMPARE(log.count("not imported"), 0);
        QCOMPARE(created.count(), 1);
        QCOMPARE(complete.count(), 1);
        auto* measurement = complete.at(0).at(0).value<Measurement*>();
        QCOMPARE(measurement->getAppName(), QString("Sprint"));
        QCOMPARE(measurement->getSetupName(), QString("GCT import "));
        QCOMPARE(measurement->getDevicesInMeasurement(), QList<quint64> { 789 });
        QCOMPARE(measurement->getTrackList(789)->getTrackOrder(), (QList<quint16> { 0x8014, 0x8016 }));

        // After a restart the series is on disk as it was read.
        MeasurementController controller;
        SprintRecordings::loadStored(controller);
        Measurement* stored = controller.getMeasurementOnHostById(measurement->getMeasurementID());
        QVERIFY(stored != nullptr);
        stored->loadMeasurementDataFromDisk();
        QCOMPARE(SprintRecordings::samplesOf(trackOf(stored, 0x8014)), samples);
        Samples numbers;
        for (quint32 number : samples.keys())
            numbers.insert(number, double(number));
        QCOMPARE(SprintRecordings::samplesOf(trackOf(stored, 0x8016)), numbers);
    }

    void badFilesGiveALogLineAndNoMeasurement_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("problem");
        QTest::newRow("three fields") << QByteArray("1,180\n2,175,3\n")
                                      << "line 2 has 3 fields, two expected (sample number, ground contact time)";
        QTest::newRow("one field") << QByteArray("1,180\r\n175\r\n") << "line 2 has 1 fields";
        QTest::newRow("a header line") << QByteArray("sample,gct\n1,180\n")
                                       << "line 1: the sample number is not a whole number";
        QTest::newRow("text for the time") << QByteArray("1,180\n\n3,fast\n")
                                           << "line 3: the ground contact time is not a number";
        QTest::newRow("empty time") << QByteArray("1,\n") << "line 1: the ground contact time is not a number";
        QTest::newRow("decimal comma") << QByteArray("1,180,5\n") << "line 1 has 3 fields";
        QTest::newRow("negative sample number") << QByteArray("-1,180\n")
                                                << "line 1: the sample number is not a whole number";
        QTest::newRow("fractional sample number") << QByteArray("1.5,180\n")
                                                  << "line 1: the sample number is not a whole number";
        QTest::newRow("sample number past 32 bits") << QByteArray("4294967296,180\n")
                                                    << "line 1: the sample number is not a whole number";
        QTest::newRow("not a number") << QByteArray("1,nan\n") << "line 1: the ground contact time is not a number";
        QTest::newRow("infinite") << QByteArray("1,inf\n") << "line 1: the ground contact time is not a number";
        QTest::newRow("bad line after good ones") << QByteArray("1,180\n2,181\n3;182\n") << "line 3 has 1 fields";
        QTest::newRow("empty file") << QByteArray() << "it holds no samples";
        QTest::newRow("blank lines only") << QByteArray("\n\r\n  \n") << "it holds no samples";
        QTest::newRow("binary") << QByteArray(64, '\0') << "it holds no samples";
    }

    void badFilesGiveALogLineAndNoMeasurement()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, problem);
        TemporaryStorage storage;
        QVERIFY(StorageFiles::write(offlineFile("bad.csv"), content));
        CsvImportProcessor processor;
        QSignalSpy created(&processor, &Processor::OutputMeasurementCreated);
        LogCapture log;
        processor.startProcessing();

        QCOMPARE(created.count(), 0);
        QCOMPARE(storedMeasurements(), QStringList());
        QCOMPARE(log.count(" csv file not imported:  \"bad.csv\" \"" + problem), 1);
    }

    void filesAboveTheSizeLimitAreNotRead()
    {
        TemporaryStorage storage;
        {
            // Sparse: a gigabyte that takes no room.
            QDir().mkpath(CsvImportProcessor::offlineDataPath());
            QFile huge(offlineFile("huge.csv"));
            QVERIFY(huge.open(QIODevice::WriteOnly));
            QVERIFY(huge.resize(qint64(1) << 30));
        }
        QVERIFY(StorageFiles::write(offlineFile("small.csv"), "1,180\n"));
        QVERIFY(StorageFiles::write(offlineFile("tight.csv"), "1,180\n2,182\n"));
        CsvImportProcessor processor;
        QSignalSpy complete(&processor, &Processor::OutputMeasurementComplete);
        LogCapture log;
        processor.startProcessing();
        QCOMPARE(log.lines().filter("not imported"),
                 QStringList { " csv file not imported:  \"huge.csv\" \"it holds 1073741824 bytes, more than the "
                               "16777216 an import takes\"" });
        QCOMPARE(complete.count(), 2);

        // A file as large as the limit is still taken.
        log.clear();
        processor.setMaximumFileSize(12);
        processor.startProcessing();
        QCOMPARE(log.count("not imported"), 1);
        QCOMPARE(complete.count(), 4);
        log.clear();
        processor.setMaximumFileSize(11);
        processor.startProcessing();
        QCOMPARE(log.count("not imported"), 2);
        QVERIFY(log.contains(" csv file not imported:  \"tight.csv\" \"it holds 12 bytes, more than the 11"));
        QCOMPARE(complete.count(), 5);
    }

    void filesThatChangeWhileBeingReadAreNotImported_data()
    {
        QTest::addColumn<int>("change");
        QTest::addColumn<QString>("problem");
        QTest::newRow("cut short") << int(ChangingFile::CutShort)
                                   << "it changed while being read (12 bytes expected, 5 read)";
        QTest::newRow("grown") << int(ChangingFile::Grows) << "it changed while being read (12 bytes expected, 18 read)";
        QTest::newRow("read error") << int(ChangingFile::Fails) << "it could not be read: ";
    }

    void filesThatChangeWhileBeingReadAreNotImported()
    {
        QFETCH(int, change);
        QFETCH(QString, problem);
        TemporaryStorage storage;
        QVERIFY(StorageFiles::write(offlineFile("live.csv"), "1,180\n2,182\n"));
        ChangingFile file(offlineFile("live.csv"), ChangingFile::Change(change));
        QVERIFY(file.open(QIODevice::ReadOnly));
        CsvImportProcessor processor;
        QSignalSpy created(&processor, &Processor::OutputMeasurementCreated);
        LogCapture log;
        QCOMPARE(processor.importSeries(file, "live.csv"), nullptr);
        QCOMPARE(created.count(), 0);
        QCOMPARE(storedMeasurements(), QStringList());
        QCOMPARE(log.count(" csv file not imported:  \"live.csv\" \"" + problem), 1);
    }

    void entriesThatAreNotFilesAreSkipped()
    {
        TemporaryStorage storage;
        QVERIFY(QDir().mkpath(offlineFile("folder.csv")));
        // Opening a pipe would wait for a writer for ever.
        QCOMPARE(::mkfifo(QFile::encodeName(offlineFile("pipe.csv")).constData(), 0600), 0);
        QVERIFY(StorageFiles::write(offlineFile("steps.csv"), "1,180\n"));
        QVERIFY(StorageFiles::write(offlineFile("notes.txt"), "1,180\n"));
        CsvImportProcessor processor;
        QSignalSpy complete(&processor, &Processor::OutputMeasurementComplete);
        LogCapture log;
        processor.startProcessing();
        QCOMPARE(complete.count(), 1);
        QVERIFY(log.contains(" csv file not imported:  \"folder.csv\" \"it is not a regular file\""));
        QCOMPARE(log.count("notes.txt"), 0);
    }

    void everyRunImportsEveryFileAgainInNameOrder()
    {
        TemporaryStorage storage;
        QVERIFY(StorageFiles::write(offlineFile("b.csv"), "1,170\n"));
        QVERIFY(StorageFiles::write(offlineFile("A.csv"), "1,160\n"));
        CsvImportProcessor processor;
        QSignalSpy complete(&processor, &Processor::OutputMeasurementComplete);
        processor.startProcessing();
        processor.startProcessing();
        QCOMPARE(complete.count(), 4);
        QList<double> firstValues;
        QSet<quint64> ids;
        for (const QList<QVariant>& arguments : qAsConst(complete)) {
            auto* measurement = arguments.at(0).value<Measurement*>();
            ids.insert(measurement->getMeasurementID());
            firstValues << trackOf(measurement, 0x8014)->getScalarSamples().first();
        }
        QCOMPARE(firstValues, (QList<double> { 160, 170, 160, 170 }));
        QCOMPARE(ids.size(), 4);
        QCOMPARE(storedMeasurements().size(), 4);
        QVERIFY(QFile::exists(offlineFile("A.csv")));
    }
};

QTEST_GUILESS_MAIN(TestCsvImport)
#include "tst_csvimport.moc"
