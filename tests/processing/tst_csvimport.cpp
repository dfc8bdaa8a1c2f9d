#include "Application/Helper.h"
#include "Data/Measurement.h"
#include "Data/MeasurementController.h"
#include "Data/Track.h"
#include "Data/TrackList.h"
#include "Data/MeasurementsModel.h"
#include "Processing/CsvImportProcessor.h"

#include "LogCapture.h"
#include "ProcessingHost.h"
#include "ScriptedIds.h"
#include "SprintRecordings.h"
#include "StorageFiles.h"
#include "TemporaryStorage.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

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
    return SprintRecordings::trackOf(*measurement, CsvImportProcessor::kImportDeviceSerial, id);
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
        // A processor of its own per run: without a measurement list it
        // knows only what it imported itself.
        LogCapture log;
        auto importWithLimit = [](qint64 limit) {
            CsvImportProcessor processor;
            if (limit > 0)
                processor.setMaximumFileSize(limit);
            QSignalSpy complete(&processor, &Processor::OutputMeasurementComplete);
            processor.startProcessing();
            return complete.count();
        };
        QCOMPARE(importWithLimit(0), 2);
        QCOMPARE(log.lines().filter("not imported"),
                 QStringList { " csv file not imported:  \"huge.csv\" \"it holds 1073741824 bytes, more than the "
                               "16777216 an import takes\"" });

        // A file as large as the limit is still taken.
        log.clear();
        QCOMPARE(importWithLimit(12), 2);
        QCOMPARE(log.count("not imported"), 1);
        log.clear();
        QCOMPARE(importWithLimit(11), 1);
        QCOMPARE(log.count("not imported"), 2);
        QVERIFY(log.contains(" csv file not imported:  \"tight.csv\" \"it holds 12 bytes, more than the 11"));
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

    void eachContentIsImportedOnceInNameOrder()
    {
        TemporaryStorage storage;
        QVERIFY(StorageFiles::write(offlineFile("b.csv"), "1,170\n"));
        QVERIFY(StorageFiles::write(offlineFile("A.csv"), "1,160\n"));
        // The same bytes under a later name are the same series.
        QVERIFY(StorageFiles::write(offlineFile("c.csv"), "1,160\n"));
        CsvImportProcessor processor;
        QSignalSpy complete(&processor, &Processor::OutputMeasurementComplete);
        LogCapture log;
        processor.startProcessing();
        processor.startProcessing();
        QCOMPARE(complete.count(), 2);
        QList<double> firstValues;
        QList<quint64> ids;
        for (const QList<QVariant>& arguments : qAsConst(complete)) {
            auto* measurement = arguments.at(0).value<Measurement*>();
            ids << measurement->getMeasurementID();
            firstValues << trackOf(measurement, 0x8014)->getScalarSamples().first();
        }
        QCOMPARE(firstValues, (QList<double> { 160, 170 }));
        QVERIFY(ids.at(0) != ids.at(1));
        QCOMPARE(storedMeasurements().size(), 2);
        const QString skipped = QString(" csv file not imported:  \"%1\" \"its content was imported before, as "
                                        "measurement %2\"");
        QCOMPARE(log.lines().filter("imported before"),
                 (QStringList { skipped.arg("c.csv").arg(ids.at(0), 0, 16),
                                skipped.arg("A.csv").arg(ids.at(0), 0, 16),
                                skipped.arg("b.csv").arg(ids.at(1), 0, 16),
                                skipped.arg("c.csv").arg(ids.at(0), 0, 16) }));
        QVERIFY(QFile::exists(offlineFile("A.csv")));
    }

    // One file imported; then something happens and the import runs again.
    void aFileIsImportedAgainOnlyWhenItOrItsMeasurementChanged_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("importedAgain");
        QTest::addColumn<QString>("skipped");
        QTest::newRow("nothing") << "nothing" << false << "a.csv";
        QTest::newRow("the program started again") << "restart" << false << "a.csv";
        QTest::newRow("the file renamed") << "rename" << false << "renamed.csv";
        QTest::newRow("one digit of the file changed") << "edit" << true << "";
        QTest::newRow("its measurement deleted") << "delete" << true << "";
        QTest::newRow("its folder gone") << "folder" << true << "";
    }

    void aFileIsImportedAgainOnlyWhenItOrItsMeasurementChanged()
    {
        QFETCH(QString, change);
        QFETCH(bool, importedAgain);
        QFETCH(QString, skipped);
        TemporaryStorage storage;
        const QByteArray content("1,180\n2,175.5\n");
        QVERIFY(StorageFiles::write(offlineFile("a.csv"), content));
        auto host = std::make_unique<ProcessingHost>();
        host->processors.processMeasurements("2");
        Measurement* first = host->added({});
        QVERIFY(first != nullptr);
        const quint64 id = first->getMeasurementID();
        const QString folder = Helper::getDataPath() + "/" + QString::number(id, 16);
        // What identifies the file lies beside the track list, as sha256sum
        // writes it; the record and the list are the import's usual ones.
        const QByteArray hash = QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex();
        QCOMPARE(StorageFiles::read(folder + "/import.sha256"), hash + "  a.csv\n");
        QCOMPARE(CsvImportProcessor::storedContentHash(id), hash);
        const QStringList files = QDir(folder).entryList(QDir::Files);
        QCOMPARE(QSet<QString>(files.begin(), files.end()),
                 (QSet<QString> { "import.sha256", QString::number(id, 16) + "_315.ktt" }));

        if (change == "restart") {
            host = std::make_unique<ProcessingHost>();
        } else if (change == "rename") {
            QVERIFY(QFile::rename(offlineFile("a.csv"), offlineFile("renamed.csv")));
        } else if (change == "edit") {
            QVERIFY(StorageFiles::write(offlineFile("a.csv"), "1,180\n2,175.6\n"));
        } else if (change == "delete") {
            QVERIFY(host->measurements.getMeasurementsOnHostModel()->removeRows(0, 1));
        } else if (change == "folder") {
            QVERIFY(QDir(folder).removeRecursively());
        }
        const QSet<quint64> before = host->ids();
        LogCapture log;
        host->processors.processMeasurements("2");
        const QSet<quint64> again = host->ids() - before;
        QCOMPARE(again.size(), importedAgain ? 1 : 0);
        QVERIFY(!again.contains(id));
        QCOMPARE(log.lines().filter("imported before"),
                 skipped.isEmpty() ? QStringList()
                                   : QStringList { QString(" csv file not imported:  \"%1\" \"its content was "
                                                           "imported before, as measurement %2\"")
                                                       .arg(skipped)
                                                       .arg(id, 0, 16) });
        QCOMPARE(storedMeasurements().size(), change == "delete" ? 1 : 1 + again.size());
    }

    void importedSeriesTakeIdsNoMeasurementHas()
    {
        TemporaryStorage storage;
        QVERIFY(StorageFiles::write(offlineFile("a.csv"), "1,180\n"));
        QVERIFY(StorageFiles::write(Helper::getDataPath() + "/9c/9c_315.ktt", "another series"));
        ProcessingHost host;
        host.measurements.addMeasurementOnHost(new Measurement(nullptr, 0x9a));
        host.measurements.foundCompleteMeasurement(0xab, 0x9b, 0x100, 0x200);
        const QSet<quint64> before = host.ids();
        ScriptedIds ids({ 0x9a, 0x9b, 0x9c, 0x9d });
        host.processors.processMeasurements("2");
        QCOMPARE(host.ids() - before, QSet<quint64> { 0x9d });
        QCOMPARE(ids.draws(), 4);
        QCOMPARE(StorageFiles::read(Helper::getDataPath() + "/9c/9c_315.ktt"), QByteArray("another series"));
    }
};

QTEST_GUILESS_MAIN(TestCsvImport)
#include "tst_csvimport.moc"
