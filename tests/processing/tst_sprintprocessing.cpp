#include "Application/NotificationHub.h"
#include "Application/Helper.h"
#include "Data/Measurement.h"
#include "Data/MeasurementController.h"
#include "Data/MeasurementsModel.h"
#include "Data/Track.h"
#include "Data/TrackList.h"
#include "Processing/CsvImportProcessor.h"
#include "Processing/ProcessorController.h"

#include "LogCapture.h"
#include "ProcessingHost.h"
#include "SprintRecordings.h"
#include "StorageFiles.h"
#include "TemporaryStorage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QtTest>

using SprintRecordings::Steps;
using SprintRecordings::samplesOf;

namespace {

using Samples = QMap<quint32, double>;

const quint64 kOutputSerial = 123456;
const QList<double> kStepTimes { 0, 500, 1000, 1500, 2000, 2500, 3000, 3500, 4000 };

QDateTime at(int hour)
{
    return QDateTime(QDate(2015, 5, 13), QTime(hour, 0), Qt::LocalTime);
}

} // namespace

class TestSprintProcessing : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void averageOfStoredSprintsIsStoredAndSurvivesARestart()
    {
        TemporaryStorage storage;
        // 09:00, two sensors. Left (0x10): nine steps that all pass the
        // filter; without three at each end 150, 152 and 154 remain: 152.
        // Right (0x20): the 220 is dropped, eight times 160 remain: 160.
        SprintRecordings::store(0x71, at(9),
                                { { 0x10, Steps { { 140, 145, 150, 150, 152, 154, 150, 145, 140 }, kStepTimes } },
                                  { 0x20, Steps { { 160, 160, 160, 160, 220, 160, 160, 160, 160 }, kStepTimes } } });
        // 10:00. Left: 180. Right: its time track ends after five steps, so
        // five steps are filtered, and five leave nothing to average: 0.
        SprintRecordings::store(0x72, at(10),
                                { { 0x10, Steps { { 180, 180, 180, 180, 180, 180, 180 }, kStepTimes.mid(0, 7) } },
                                  { 0x20, Steps { { 170, 170, 170, 250, 170, 170, 170 }, kStepTimes.mid(0, 5) } } });
        // Not sprints of the sprint setups, or an earlier average: no inputs.
        const Steps steps { { 100, 100, 100, 100, 100, 100, 100 }, kStepTimes.mid(0, 7) };
        SprintRecordings::store(0x73, at(8), { { 0x10, steps } }, "Squat jump");
        SprintRecordings::store(0x74, at(11), { { 0x10, steps } }, "GCT average: 1");
        {
            Measurement jump(nullptr, 0x75);
            jump.setAppName("Jump");
            jump.setSetupName("Sprint 1kHz");
            jump.setStartTime(at(7));
            SprintRecordings::addSteps(jump, 0x10, steps);
            jump.saveAllTrackLists();
            QVERIFY(jump.saveToDisk());
        }

        quint64 outputId = 0;
        {
            ProcessingHost host;
            const QSet<quint64> before = host.ids();
            QCOMPARE(before.size(), 5);
            host.processors.setProcessorAttributes("2");
            host.processors.processMeasurements("1");
            Measurement* output = host.added(before);
            QVERIFY(output != nullptr);
            outputId = output->getMeasurementID();
            QCOMPARE(output->getSetupName(), QString("GCT average: 2"));
            QCOMPARE(output->parent(), &host.measurements);
            // The processor is let go after its run; what it made stays.
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCOMPARE(host.processors.children().size(), 0);
            QCOMPARE(host.measurements.getMeasurementOnHostById(outputId), output);
        }

        ProcessingHost restarted;
        Measurement* output = restarted.measurements.getMeasurementOnHostById(outputId);
        QVERIFY(output != nullptr);
        QCOMPARE(output->getAppName(), QString("Sprint"));
        QCOMPARE(output->getSetupName(), QString("GCT average: 2"));
        output->loadMeasurementDataFromDisk();
        // Positions count the sprints from the oldest.
        QCOMPARE(samplesOf(*output, kOutputSerial, Track::GctMeanLeft), (Samples { { 1, 152 }, { 2, 180 } }));
        QCOMPARE(samplesOf(*output, kOutputSerial, Track::GctMeanRight), (Samples { { 1, 160 }, { 2, 0 } }));
        QCOMPARE(samplesOf(*output, kOutputSerial, Track::GctMean), (Samples { { 1, 156 }, { 2, 180 } }));
        QCOMPARE(samplesOf(*output, kOutputSerial, Track::GctFeedback), (Samples { { 2, 180 } }));

        // The recordings keep their filtered steps.
        Measurement* second = restarted.measurements.getMeasurementOnHostById(0x72);
        second->loadMeasurementDataFromDisk();
        QCOMPARE(samplesOf(*second, 0x20, Track::GctFiltered),
                 (Samples { { 100, 170 }, { 101, 170 }, { 102, 170 }, { 103, 250 }, { 104, 170 } }));
        QCOMPARE(samplesOf(*second, 0x20, Track::GroundContactTime).size(), 7);
        // What was not an input was not touched.
        Measurement* squat = restarted.measurements.getMeasurementOnHostById(0x73);
        squat->loadMeasurementDataFromDisk();
        QCOMPARE(squat->getTrackList(0x10)->getTrackOrder(), (QList<quint16> { 0x8014, 0x8016 }));

        // A second run works on what is in memory: nothing is read again,
        // and nothing of the first run piles up in the recordings.
        TrackList* inMemory = second->getTrackList(0x20);
        const int listsBefore = second->findChildren<TrackList*>().size();
        const int tracksBefore = inMemory->findChildren<Track*>().size();
        restarted.processors.processMeasurements("1");
        QCOMPARE(second->getTrackList(0x20), inMemory);
        QCOMPARE(second->findChildren<TrackList*>().size(), listsBefore);
        QCOMPARE(inMemory->findChildren<Track*>().size(), tracksBefore);
        QCOMPARE(samplesOf(*second, 0x20, Track::GctFiltered).size(), 5);

        // Averaging one recording by id: it is position 1.
        const QSet<quint64> before = restarted.ids();
        restarted.processors.setProcessorAttributes("");
        restarted.processors.processMeasurement("72", "1");
        Measurement* single = restarted.added(before);
        QVERIFY(single != nullptr);
        QCOMPARE(single->getSetupName(), QString("GCT average: "));
        QCOMPARE(samplesOf(*single, kOutputSerial, Track::GctMean), (Samples { { 1, 180 } }));
        QCOMPARE(samplesOf(*single, kOutputSerial, Track::GctFeedback), Samples());
    }

    void seriesImportedIntoAnEmptyHostAreAveraged()
    {
        TemporaryStorage storage;
        QByteArray csv;
        const QList<int> contactTimes { 140, 145, 150, 150, 152, 154, 150, 145, 140 };
        for (int i = 0; i < contactTimes.size(); ++i)
            csv += QByteArray::number(i + 1) + "," + QByteArray::number(contactTimes.at(i)) + "\r\n";
        QVERIFY(StorageFiles::write(CsvImportProcessor::offlineDataPath() + "/run.csv", csv));

        quint64 averageId = 0;
        {
            ProcessingHost host;
            QCOMPARE(host.ids().size(), 0);
            // Nothing on the host to give the import, and it runs anyway.
            host.processors.processMeasurements("2");
            Measurement* imported = host.added({});
            QVERIFY(imported != nullptr);
            QCOMPARE(imported->getSetupName(), QString("GCT import "));

            // Asked by the id of a measurement that is not there, too. The
            // file imported already is skipped; the same series with other
            // line ends is other content and comes in.
            QByteArray lineFeeds = csv;
            lineFeeds.replace("\r\n", "\n");
            QVERIFY(StorageFiles::write(CsvImportProcessor::offlineDataPath() + "/run-lf.csv", lineFeeds));
            LogCapture log;
            host.processors.processMeasurement("ffff", "2");
            QCOMPARE(host.ids().size(), 2);
            QCOMPARE(log.count(" csv file not imported:  \"run.csv\" \"its content was imported before"), 1);

            const QSet<quint64> before = host.ids();
            host.processors.processMeasurements("1");
            Measurement* average = host.added(before);
            QVERIFY(average != nullptr);
            averageId = average->getMeasurementID();
        }
        ProcessingHost restarted;
        Measurement* average = restarted.measurements.getMeasurementOnHostById(averageId);
        QVERIFY(average != nullptr);
        average->loadMeasurementDataFromDisk();
        // The two imported series, both one sensor: left only.
        QCOMPARE(samplesOf(*average, kOutputSerial, Track::GctMeanLeft), (Samples { { 1, 152 }, { 2, 152 } }));
        QCOMPARE(samplesOf(*average, kOutputSerial, Track::GctMeanRight), (Samples { { 1, 0 }, { 2, 0 } }));
        QCOMPARE(samplesOf(*average, kOutputSerial, Track::GctMean), (Samples { { 1, 152 }, { 2, 152 } }));
    }

    void liveViewsAreNoSprints()
    {
        TemporaryStorage storage;
        SprintRecordings::store(0x71, at(9), { { 0x10, Steps { { 150, 150, 150, 150, 150, 150, 150 }, kStepTimes.mid(0, 7) } } });
        SprintRecordings::store(0x72, at(10), { { 0x10, Steps { { 190, 190, 190, 190, 190, 190, 190 }, kStepTimes.mid(0, 7) } } });
        {
            ProcessingHost host;
            QVERIFY(host.measurements.getMeasurementOnHostById(0x72)->markAsLiveView());
        }
        QVERIFY(QFile::exists(Helper::getDataPath() + "/72/live"));
        ProcessingHost host;
        Measurement* live = host.measurements.getMeasurementOnHostById(0x72);
        QVERIFY(live->isLiveView());
        QVERIFY(!host.measurements.getMeasurementOnHostById(0x71)->isLiveView());

        const QSet<quint64> before = host.ids();
        host.processors.processMeasurements("1");
        Measurement* average = host.added(before);
        QVERIFY(average != nullptr);
        QCOMPARE(samplesOf(*average, kOutputSerial, Track::GctMean), (Samples { { 1, 150 } }));
        QCOMPARE(host.processors.filterSprint("72"), QString());
        QCOMPARE(host.processors.averageSprints({ "72" }, ""), QString());

        // The mark goes with the measurement.
        MeasurementsModel* model = host.measurements.getMeasurementsOnHostModel();
        for (int row = 0; row < model->rowCount(); ++row) {
            if (model->getMeasurement(row) == live)
                model->removeRows(row, 1);
        }
        QVERIFY(!QFile::exists(Helper::getDataPath() + "/72/live"));
        QVERIFY(!QDir(Helper::getDataPath() + "/72").exists());
    }

    void theSprintsPickedAreAveraged()
    {
        TemporaryStorage storage;
        // Left 152 / right 160 at 09:00; left 180 at 10:00 (one sensor).
        SprintRecordings::store(0x71, at(9),
                                { { 0x10, Steps { { 140, 145, 150, 150, 152, 154, 150, 145, 140 }, kStepTimes } },
                                  { 0x20, Steps { { 160, 160, 160, 160, 220, 160, 160, 160, 160 }, kStepTimes } } });
        SprintRecordings::store(0x72, at(10), { { 0x10, Steps { { 180, 180, 180, 180, 180, 180, 180 }, kStepTimes.mid(0, 7) } } });
        SprintRecordings::store(0x73, at(11), { { 0x10, Steps { { 100, 100, 100, 100, 100, 100, 100 }, kStepTimes.mid(0, 7) } } });
        SprintRecordings::store(0x74, at(8), { { 0x10, Steps { { 100, 100, 100 }, { 0, 1, 2 } } } }, "Squat jump");
        {
            Measurement empty(nullptr, 0x75);
            empty.setAppName("Sprint");
            empty.setSetupName("Sprint 1kHz");
            empty.getTrackList(0x10)->AddTrack(Track::AccX, 1, 2, 0);
            empty.saveAllTrackLists();
            QVERIFY(empty.saveToDisk());
        }
        ProcessingHost host;
        const QSet<quint64> before = host.ids();
        // 0x73 is not picked; the squat jump, the sprint without contact
        // times, an unknown and a malformed id are skipped.
        const QString id = host.processors.averageSprints({ "72", "74", "75", "99", "zz", "71", "72" }, "2");
        Measurement* average = host.added(before);
        QVERIFY(average != nullptr);
        QCOMPARE(id, QString::number(average->getMeasurementID(), 16));
        QCOMPARE(average->getUserName(), QString("Anna"));
        QCOMPARE(average->getAppName(), QString("Sprint"));
        QCOMPARE(average->getSetupName(), QString("GCT average: 2"));
        // Oldest first.
        QCOMPARE(samplesOf(*average, kOutputSerial, Track::GctMean), (Samples { { 1, 156 }, { 2, 180 } }));
        QCOMPARE(samplesOf(*average, kOutputSerial, Track::GctFeedback), (Samples { { 2, 180 } }));

        // Left: 152 (3 steps) and 180 (1 step); right: 160 (2 steps).
        const QVariantMap expected {
            { "leftSerial", "10" }, { "rightSerial", "20" }, { "leftMs", 166.0 }, { "rightMs", 160.0 },
            { "bothMs", 168.0 }, { "leftSteps", 4 }, { "rightSteps", 2 },
            { "differencePercent", 6.0 / 163.0 * 100.0 }, { "feedbackRuns", "2" }, { "sprints", 2 },
            { "average", true },
        };
        QCOMPARE(host.measurements.sprintSummary(id), expected);
        // Read again from disk after a restart.
        ProcessingHost restarted;
        QCOMPARE(restarted.measurements.sprintSummary(id), expected);

        QCOMPARE(restarted.processors.averageSprints({ "74", "75", "zz" }, ""), QString());
        QCOMPARE(restarted.processors.filterSprint("73"), QString("73"));
        Measurement* filtered = restarted.measurements.getMeasurementOnHostById(0x73);
        QCOMPARE(samplesOf(*filtered, 0x10, Track::GctFiltered).size(), 7);
        QCOMPARE(restarted.processors.filterSprint("74"), QString());

        // Five steps leave none once the ends are cut: no average of 0 ms.
        SprintRecordings::store(0x76, at(12), { { 0x10, Steps { { 150, 150, 150, 150, 150 }, kStepTimes.mid(0, 5) } } });
        ProcessingHost again;
        const QSet<quint64> beforeShort = again.ids();
        QSignalSpy warnings(NotificationHub::instance(), &NotificationHub::warning);
        QCOMPARE(again.processors.averageSprints({ "76" }, ""), QString());
        QCOMPARE(again.ids(), beforeShort);
        QCOMPARE(warnings.count(), 1);
        QCOMPARE(warnings.first().first().toString(),
                 QString("The sprints picked are too short to average: each foot needs more than 6 steps."));
    }

    void requestsThatNameNothingRunNothing_data()
    {
        QTest::addColumn<QString>("measurement");
        QTest::addColumn<QString>("processor");
        QTest::addColumn<QString>("line");
        const QString noProcessor = " Warning, requested Processor not found, returning NULL.";
        QTest::newRow("all, unknown processor") << "" << "3" << noProcessor;
        QTest::newRow("all, processor id not hexadecimal") << "" << "zz" << noProcessor;
        QTest::newRow("one, unknown processor") << "71" << "0" << noProcessor;
        QTest::newRow("one, unknown measurement")
            << "77" << "1" << " MeasurementController was asked for non-existing measurement:  77";
        QTest::newRow("one, id not hexadecimal")
            << "sprint" << "1" << " MeasurementController was asked for non-existing measurement:  0";
        QTest::newRow("all, no sprint of the sprint setups") << "" << "1" << "";
    }

    void requestsThatNameNothingRunNothing()
    {
        QFETCH(QString, measurement);
        QFETCH(QString, processor);
        QFETCH(QString, line);
        TemporaryStorage storage;
        SprintRecordings::store(0x71, at(9), { { 0x10, Steps { { 150, 150, 150 }, { 0, 500, 1000 } } } },
                                "Sprint 500Hz");
        ProcessingHost host;
        const QSet<quint64> before = host.ids();
        LogCapture log;
        if (measurement.isEmpty())
            host.processors.processMeasurements(processor);
        else
            host.processors.processMeasurement(measurement, processor);
        QCOMPARE(host.ids(), before);
        QCOMPARE(QDir(Helper::getDataPath()).entryList({ "*.ktm" }).size(), 1);
        if (!line.isEmpty())
            QCOMPARE(log.count(line), 1);
        QCOMPARE(log.count(" Adding Measurement "), 0);
    }
};

QTEST_GUILESS_MAIN(TestSprintProcessing)
#include "tst_sprintprocessing.moc"
