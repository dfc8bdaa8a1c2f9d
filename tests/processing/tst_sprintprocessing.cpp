#include "Application/NotificationHub.h"
#include "Application/Helper.h"
#include "Data/Measurement.h"
#include "Data/MeasurementController.h"
#include "Data/MeasurementsModel.h"
#include "Data/SprintSummary.h"
#include "Data/StepSeries.h"
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

// What a single sprint's summary holds, worked out by hand.
struct Figures {
    QString rightSerial;
    double leftMs, rightMs, bothMs;
    int leftSteps, rightSteps;
    double differencePercent, stepsPerSecond;
    double fastestMs;
    QString fastestFoot;
    double slowestMs;
    QString slowestFoot;

    QVariantMap map() const
    {
        return {
            { "leftSerial", "10" }, { "rightSerial", rightSerial }, { "leftMs", leftMs }, { "rightMs", rightMs },
            { "bothMs", bothMs }, { "leftSteps", leftSteps }, { "rightSteps", rightSteps },
            { "steps", leftSteps + rightSteps }, { "differencePercent", differencePercent },
            { "feedbackRuns", "" }, { "sprints", 1 }, { "average", false }, { "stepsPerSecond", stepsPerSecond },
            { "fastestMs", fastestMs }, { "fastestFoot", fastestFoot }, { "slowestMs", slowestMs },
            { "slowestFoot", slowestFoot },
        };
    }
};

// A foot's steps as "first sample:contact ms@step time".
QStringList table(const std::vector<StepSeries::Step>& steps)
{
    QStringList rows;
    for (const StepSeries::Step& step : steps)
        rows << QString("%1:%2@%3").arg(step.sampleNumber).arg(step.contactMs).arg(step.stepTime);
    return rows;
}

// Doubles to within rounding, everything else exactly.
bool sameFigures(const QVariantMap& actual, const QVariantMap& expected)
{
    if (actual.keys() != expected.keys()) {
        qWarning() << "keys" << actual.keys() << "expected" << expected.keys();
        return false;
    }
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        const QVariant value = actual.value(it.key());
        const bool same = it.value().userType() == QMetaType::Double
            ? value.userType() == QMetaType::Double && qAbs(value.toDouble() - it.value().toDouble()) < 1e-9
            : value == it.value();
        if (!same) {
            qWarning() << it.key() << value << "expected" << it.value();
            return false;
        }
    }
    return true;
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
            { "bothMs", 168.0 }, { "leftSteps", 4 }, { "rightSteps", 2 }, { "steps", 6 },
            { "differencePercent", 6.0 / 163.0 * 100.0 }, { "feedbackRuns", "2" }, { "sprints", 2 },
            { "average", true }, { "stepsPerSecond", 0.0 }, { "fastestMs", 0.0 }, { "fastestFoot", "" },
            { "slowestMs", 0.0 }, { "slowestFoot", "" },
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

    // The step table of each foot and the figures of the sprint, from series
    // worked out by hand. A sensor with the lower serial that records no
    // contact times (0x05, acceleration only) is no foot.
    void sprintFiguresComeFromTheStepTable_data()
    {
        QTest::addColumn<QList<double>>("leftContacts");
        QTest::addColumn<QList<double>>("leftTimes");
        QTest::addColumn<bool>("rightSensor");
        QTest::addColumn<QList<double>>("rightContacts");
        QTest::addColumn<QList<double>>("rightTimes");
        QTest::addColumn<int>("samplesPerStep");
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QStringList>("leftTable");
        QTest::addColumn<QStringList>("rightTable");
        QTest::addColumn<QVariantMap>("figures");
        using L = QList<double>;
        const L none;
        const QString sprint = "Sprint 1kHz";

        // Left 160, right 177.5; 5 steps from 1.000 s to 1.900 s: 4 / 0.9 s.
        QTest::newRow("both feet, each step held over two samples")
            << L { 150, 160, 170 } << L { 1000, 1450, 1900 } << true << L { 180, 175 } << L { 1225, 1675 } << 2 << sprint
            << QStringList { "100:150@1000", "102:160@1450", "104:170@1900" }
            << QStringList { "100:180@1225", "102:175@1675" }
            << Figures { "20", 160, 177.5, 167, 3, 2, 17.5 / 168.75 * 100, 4 / 0.9, 150, "left", 180, "right" }.map();
        QTest::newRow("one foot")
            << L { 150, 160, 170 } << L { 1000, 1450, 1900 } << false << none << none << 1 << sprint
            << QStringList { "100:150@1000", "101:160@1450", "102:170@1900" } << QStringList()
            << Figures { "", 160, 0, 160, 3, 0, 0, 2 / 0.9, 150, "left", 170, "left" }.map();
        // The lower serial stays the left foot without a step, as the
        // processors pair the feet.
        QTest::newRow("left track empty")
            << none << none << true << L { 180, 175 } << L { 1225, 1675 } << 1 << sprint << QStringList()
            << QStringList { "100:180@1225", "101:175@1675" }
            << Figures { "20", 0, 177.5, 177.5, 0, 2, 0, 1 / 0.45, 175, "right", 180, "right" }.map();
        QTest::newRow("both tracks empty")
            << none << none << true << none << none << 1 << sprint << QStringList() << QStringList() << QVariantMap();
        // Samples with one step time are one step with the contact time of
        // its last sample; the right foot's 152 ties with the left's, and
        // the left one is named.
        QTest::newRow("repeated step times")
            << L { 150, 152, 160, 160, 170 } << L { 1000, 1000, 1450, 1450, 1900 } << true << L { 152, 190, 190 }
            << L { 1225, 1675, 1675 } << 1 << sprint
            << QStringList { "100:152@1000", "102:160@1450", "104:170@1900" }
            << QStringList { "100:152@1225", "101:190@1675" }
            << Figures { "20", 482.0 / 3, 171, 164.8, 3, 2, (171 - 482.0 / 3) / ((482.0 / 3 + 171) / 2) * 100,
                         4 / 0.9, 152, "left", 190, "right" }.map();
        QTest::newRow("one step: no step rate")
            << L { 150 } << L { 1000 } << false << none << none << 3 << sprint << QStringList { "100:150@1000" }
            << QStringList() << Figures { "", 150, 0, 150, 1, 0, 0, 0, 150, "left", 150, "left" }.map();
        // An imported series has the file's line numbers for step times.
        QTest::newRow("imported series: no step rate")
            << L { 150, 160, 170 } << L { 1, 2, 3 } << false << none << none << 1 << "GCT import "
            << QStringList { "100:150@1", "101:160@2", "102:170@3" } << QStringList()
            << Figures { "", 160, 0, 160, 3, 0, 0, 0, 150, "left", 170, "left" }.map();
    }

    void sprintFiguresComeFromTheStepTable()
    {
        QFETCH(QList<double>, leftContacts);
        QFETCH(QList<double>, leftTimes);
        QFETCH(bool, rightSensor);
        QFETCH(QList<double>, rightContacts);
        QFETCH(QList<double>, rightTimes);
        QFETCH(int, samplesPerStep);
        QFETCH(QString, setup);
        QFETCH(QStringList, leftTable);
        QFETCH(QStringList, rightTable);
        QFETCH(QVariantMap, figures);
        TemporaryStorage storage;
        Measurement sprint(nullptr, 0x5a);
        sprint.setAppName("Sprint");
        sprint.setSetupName(setup);
        sprint.getTrackList(0x05)->AddTrack(Track::AccX, 1, 2, 0);
        SprintRecordings::addHeldSteps(sprint, 0x10, { leftContacts, leftTimes }, samplesPerStep);
        if (rightSensor)
            SprintRecordings::addHeldSteps(sprint, 0x20, { rightContacts, rightTimes }, samplesPerStep);

        QCOMPARE(table(StepSeries::fromTrackList(sprint.getTrackList(0x10))), leftTable);
        if (rightSensor)
            QCOMPARE(table(StepSeries::fromTrackList(sprint.getTrackList(0x20))), rightTable);
        QVERIFY(sameFigures(SprintSummary::of(&sprint), figures));
    }

    // The progress view's points: the athlete's recorded sprints, oldest
    // first, each with its day; no live view, average, other app or other
    // athlete, and a foot without steps gives no mean.
    void progressHasOnePointPerSprintOfTheAthleteOldestFirst()
    {
        TemporaryStorage storage;
        const QDateTime nextDay = at(9).addDays(1);
        const QList<double> times { 0, 500, 1000 };
        SprintRecordings::store(0x73, nextDay, { { 0x10, Steps { { 140, 140, 140 }, times } },
                                                 { 0x20, Steps { { 150, 150, 150 }, times } } });
        SprintRecordings::store(0x71, at(9), { { 0x10, Steps { { 150, 150, 150 }, times } },
                                               { 0x20, Steps { { 160, 160, 160 }, times } } });
        SprintRecordings::store(0x72, at(10), { { 0x10, Steps { { 180, 180, 180 }, times } } });
        SprintRecordings::store(0x74, at(8), { { 0x10, Steps { { 100, 100, 100 }, times } } }, "GCT average: 1");
        SprintRecordings::store(0x76, at(11), { { 0x10, Steps { { 100, 100, 100 }, times } } });
        for (const auto& [id, user, app] : { std::make_tuple(0x75, "Bob", "Sprint"), std::make_tuple(0x77, "Anna", "Squat Jump") }) {
            Measurement other(nullptr, quint64(id));
            other.setUserName(user);
            other.setAppName(app);
            other.setSetupName("Sprint 1kHz");
            other.setStartTime(at(12));
            SprintRecordings::addSteps(other, 0x10, Steps { { 120, 120, 120 }, times });
            other.saveAllTrackLists();
            QVERIFY(other.saveToDisk());
        }
        ProcessingHost host;
        QVERIFY(host.measurements.getMeasurementOnHostById(0x76)->markAsLiveView());

        const QVariantList points = host.measurements.sprintProgress("Anna");
        QStringList shown;
        for (const QVariant& point : points) {
            const QVariantMap p = point.toMap();
            shown << QString("%1 %2 %3: %4 L %5 R %6, %7 %")
                         .arg(p.value("id").toString(), p.value("day").toString(), p.value("time").toString())
                         .arg(p.value("bothMs").toDouble())
                         .arg(p.value("leftSteps").toInt() > 0 ? p.value("leftMs").toString() : "-")
                         .arg(p.value("rightSteps").toInt() > 0 ? p.value("rightMs").toString() : "-")
                         .arg(p.value("differencePercent").toDouble(), 0, 'f', 2);
        }
        const QString day = at(9).date().toString(Qt::ISODate);
        const QString next = nextDay.date().toString(Qt::ISODate);
        QCOMPARE(shown, (QStringList { "71 " + day + " 09:00: 155 L 150 R 160, 6.45 %",
                                       "72 " + day + " 10:00: 180 L 180 R -, 0.00 %",
                                       "73 " + next + " 09:00: 145 L 140 R 150, 6.90 %" }));
        QCOMPARE(points.first().toMap().value("stepsPerSecond").toDouble(), 5 / 1.0);
        // The sprints' samples were read for their figures only: what the
        // program keeps of them is still their headers.
        for (quint64 id : { 0x71, 0x72, 0x73 }) {
            Measurement* sprint = host.measurements.getMeasurementOnHostById(id);
            for (quint64 serial : sprint->getDevicesInMeasurement())
                QCOMPARE(int(sprint->getTrackList(serial)->getLoadMode()), int(Storable::LoadHeader));
        }
        // Every athlete's: Bob's too.
        QCOMPARE(host.measurements.sprintProgress("").size(), 4);
        QCOMPARE(host.measurements.sprintProgress("Carl").size(), 0);
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
