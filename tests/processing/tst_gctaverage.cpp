#include "Data/Measurement.h"
#include "Data/Track.h"
#include "Data/TrackList.h"
#include "Processing/GctAverageProcessor.h"

#include "LogCapture.h"
#include "SprintRecordings.h"
#include "TemporaryStorage.h"

#include <QFile>
#include <QSignalSpy>
#include <QtTest>

using SprintRecordings::Steps;
using SprintRecordings::trackOf;

namespace {

const QList<double> kNineStepTimes { 0, 500, 1000, 1500, 2000, 2500, 3000, 3500, 4000 };

} // namespace

class TestGctAverage : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void feedbackPositionsComeFromTheAttributes_data()
    {
        QTest::addColumn<QString>("attributes");
        QTest::addColumn<QList<unsigned int>>("cycle");
        QTest::addColumn<QStringList>("refused");
        QTest::newRow("three positions") << "2-4-6" << QList<unsigned int> { 2, 4, 6 } << QStringList();
        QTest::newRow("one position") << "3" << QList<unsigned int> { 3 } << QStringList();
        QTest::newRow("empty part between hyphens") << "2--4" << QList<unsigned int> { 2, 4 } << QStringList { "" };
        QTest::newRow("trailing hyphen") << "5-" << QList<unsigned int> { 5 } << QStringList { "" };
        QTest::newRow("leading hyphen is no minus") << "-1" << QList<unsigned int> { 1 } << QStringList { "" };
        QTest::newRow("words") << "x-3-every" << QList<unsigned int> { 3 } << QStringList { "x", "every" };
        QTest::newRow("fractions") << "1.5-2" << QList<unsigned int> { 2 } << QStringList { "1.5" };
        QTest::newRow("other separators") << "2,4" << QList<unsigned int>() << QStringList { "2,4" };
        QTest::newRow("past 32 bits") << "4294967296-7" << QList<unsigned int> { 7 } << QStringList { "4294967296" };
        QTest::newRow("nothing") << "" << QList<unsigned int>() << QStringList();
    }

    void feedbackPositionsComeFromTheAttributes()
    {
        QFETCH(QString, attributes);
        QFETCH(QList<unsigned int>, cycle);
        QFETCH(QStringList, refused);
        GctAverageProcessor processor;
        LogCapture log;
        processor.setAttributes(attributes);
        QCOMPARE(processor.feedbackCycle(), cycle);
        QStringList expected;
        for (const QString& part : refused)
            expected << QString(" GCT average processor failed to parse feedback cycle item  \"%1\"").arg(part);
        QCOMPARE(log.lines(), expected);
        QCOMPARE(processor.SetupIdentifier(), "GCT average: " + attributes);

        // A second set of attributes replaces the first.
        processor.setAttributes("9");
        QCOMPARE(processor.feedbackCycle(), QList<unsigned int> { 9 });
    }

    void averagesEachFootPerMeasurementInSeriesOrder()
    {
        TemporaryStorage storage;
        // Sprint 1, two sensors. Left (lower serial): all nine steps pass the
        // filter; without the three first and last the mean of 150, 152,
        // 154 is 152. Right: step 4 (220) is dropped; the eight that remain
        // are all 160.
        Measurement first(nullptr, 0x61);
        SprintRecordings::addSteps(first, 0x10, Steps { { 140, 145, 150, 150, 152, 154, 150, 145, 140 }, kNineStepTimes });
        SprintRecordings::addSteps(first, 0x20, Steps { { 160, 160, 160, 160, 220, 160, 160, 160, 160 }, kNineStepTimes });
        // Sprint 2, one sensor: right is 0, both is left.
        Measurement second(nullptr, 0x62);
        SprintRecordings::addSteps(second, 0x30, Steps { { 200, 200, 200, 200, 200, 200, 200 }, kNineStepTimes.mid(0, 7) });
        // Sprint 3, a sensor without contact times: everything 0.
        Measurement third(nullptr, 0x63);
        third.getTrackList(0x40)->AddTrack(Track::AccX, 1, 2, 0);
        // Sprint 4, no sensors: its position passes without values.
        Measurement fourth(nullptr, 0x64);

        GctAverageProcessor processor;
        processor.setAttributes("1-3-4");
        QSignalSpy created(&processor, &Processor::OutputMeasurementCreated);
        QSignalSpy complete(&processor, &Processor::OutputMeasurementComplete);
        // The last added is the first of the series.
        for (Measurement* input : { &fourth, &third, &second, &first })
            processor.addInputMeasurement(input);
        LogCapture log;
        processor.startProcessing();

        QCOMPARE(created.count(), 1);
        QCOMPARE(complete.count(), 1);
        auto* output = complete.at(0).at(0).value<Measurement*>();
        QCOMPARE(output, created.at(0).at(0).value<Measurement*>());
        QCOMPARE(output, processor.outputMeasurement());
        // Nobody took the output: it stays with the processor.
        QCOMPARE(output->parent(), &processor);
        QCOMPARE(output->getAppName(), QString("Sprint"));
        QCOMPARE(output->getSetupName(), QString("GCT average: 1-3-4"));
        QVERIFY(output->getStartTime().isValid());
        QCOMPARE(output->getDevicesInMeasurement(), QList<quint64> { 123456 });
        TrackList* list = output->getTrackList(123456);
        QCOMPARE(list->parent(), output);
        QCOMPARE(list->getTrackOrder(), (QList<quint16> { 0x8017, 0x8018, 0x8019, 0x8020 }));

        using Samples = QMap<quint32, double>;
        QCOMPARE(SprintRecordings::samplesOf(trackOf(*output, 123456, Track::GctMeanLeft)),
                 (Samples { { 1, 152 }, { 2, 200 }, { 3, 0 } }));
        QCOMPARE(SprintRecordings::samplesOf(trackOf(*output, 123456, Track::GctMeanRight)),
                 (Samples { { 1, 160 }, { 2, 0 }, { 3, 0 } }));
        QCOMPARE(SprintRecordings::samplesOf(trackOf(*output, 123456, Track::GctMean)),
                 (Samples { { 1, 156 }, { 2, 200 }, { 3, 0 } }));
        QCOMPARE(SprintRecordings::samplesOf(trackOf(*output, 123456, Track::GctFeedback)),
                 (Samples { { 1, 156 }, { 3, 0 } }));
        QVERIFY(log.contains(" Average Left:  152"));
        QVERIFY(log.contains(" Average both feet:  156"));
        QCOMPARE(log.count(" No devices in measurement for Gct Average Processor"), 1);
        QCOMPARE(log.count("GCT filtered track not found in meausurement"), 0);

        // Output and inputs are saved: the inputs with their filtered tracks.
        QVERIFY(QFile::exists(output->fullPath()));
        QVERIFY(QFile::exists(output->getTrackList(123456)->fullPath()));
        QVERIFY(QFile::exists(first.getTrackList(0x20)->fullPath()));
        QCOMPARE(trackOf(first, 0x20, Track::GctFiltered)->numberOfSamples(), 8);
    }

    // A sensor repeats a step in every sample until its next step; the
    // average is over steps however many samples each one spans.
    void stepsHeldOverSeveralSamplesCountOnce_data()
    {
        QTest::addColumn<int>("samplesPerStep");
        QTest::newRow("one sample per step") << 1;
        QTest::newRow("two samples per step") << 2;
        QTest::newRow("four samples per step") << 4;
    }

    void stepsHeldOverSeveralSamplesCountOnce()
    {
        QFETCH(int, samplesPerStep);
        TemporaryStorage storage;
        // Left: the mean of the middle three steps (150, 152, 154) is 152.
        // Right: step 4 (220) is an outlier among its neighbouring steps and
        // dropped; the middle two of the eight left are 160.
        Measurement sprint(nullptr, 0x71);
        SprintRecordings::addHeldSteps(sprint, 0x10, Steps { { 140, 145, 150, 150, 152, 154, 150, 145, 140 }, kNineStepTimes },
                                       samplesPerStep);
        SprintRecordings::addHeldSteps(sprint, 0x20, Steps { { 160, 160, 160, 160, 220, 160, 160, 160, 160 }, kNineStepTimes },
                                       samplesPerStep);
        GctAverageProcessor processor;
        processor.addInputMeasurement(&sprint);
        processor.startProcessing();
        Measurement* output = processor.outputMeasurement();
        QVERIFY(output != nullptr);

        using Samples = QMap<quint32, double>;
        QCOMPARE(SprintRecordings::samplesOf(trackOf(*output, 123456, Track::GctMeanLeft)), (Samples { { 1, 152 } }));
        QCOMPARE(SprintRecordings::samplesOf(trackOf(*output, 123456, Track::GctMeanRight)), (Samples { { 1, 160 } }));
        QCOMPARE(SprintRecordings::samplesOf(trackOf(*output, 123456, Track::GctMean)), (Samples { { 1, 156 } }));
        // The filtered steps stand under the first sample of each step.
        Samples rightSteps;
        for (quint32 i = 0; i < 9; ++i) {
            if (i != 4)
                rightSteps.insert(100 + i * quint32(samplesPerStep), 160);
        }
        QCOMPARE(SprintRecordings::samplesOf(trackOf(sprint, 0x20, Track::GctFiltered)), rightSteps);
    }
};

QTEST_GUILESS_MAIN(TestGctAverage)
#include "tst_gctaverage.moc"
