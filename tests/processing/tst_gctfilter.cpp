#include "Application/Helper.h"
#include "Data/Measurement.h"
#include "Data/MeasurementController.h"
#include "Data/Track.h"
#include "Data/TrackList.h"
#include "Processing/GctFilterProcessor.h"
#include "Processing/Processor.h"

#include "LogCapture.h"
#include "SprintRecordings.h"
#include "StorageFiles.h"
#include "TemporaryStorage.h"

#include <QFile>
#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using SprintRecordings::Numbered;
using SprintRecordings::Steps;
using SprintRecordings::trackOf;

namespace {

const quint64 kSensor = 0x4b56;

// Contact times of 150 ms, one of 180 ms at `outlier`, under these
// numbers in this order.
Numbered contactTimesAt(const QList<quint32>& numbers, quint32 outlier)
{
    Numbered times;
    for (quint32 number : numbers)
        times.append({ number, number == outlier ? 180.0 : 150.0 });
    return times;
}

// A step every 400 ms, counted from sample number 100: every neighbour is
// close enough in time to count.
Numbered stepTimesAt(const QList<quint32>& numbers)
{
    Numbered times;
    for (quint32 number : numbers)
        times.append({ number, (double(number) - 100) * 400 });
    return times;
}

QMap<quint32, double> keptOf(const Numbered& samples, const QList<quint32>& kept)
{
    QMap<quint32, double> values;
    for (const auto& sample : samples) {
        if (kept.contains(sample.first))
            values.insert(sample.first, sample.second);
    }
    return values;
}

void filter(Measurement& measurement)
{
    GctFilterProcessor processor;
    processor.addInputMeasurement(&measurement);
    processor.startProcessing();
}

} // namespace

class TestGctFilter : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Step i lies under sample number 100 + i; `kept` lists the indices of
    // the steps that survive.
    void outliersAmongNeighboursInTimeAreDropped_data()
    {
        QTest::addColumn<QList<double>>("contactTimes");
        QTest::addColumn<QList<double>>("stepTimes");
        QTest::addColumn<QList<int>>("kept");

        const QList<double> even { 0, 400, 800, 1200, 1600, 2000, 2400 };
        // Step 3: its five neighbours average 150, it is 30 above.
        QTest::newRow("30 above its neighbours")
            << QList<double> { 150, 150, 150, 180, 150, 150, 150 } << even << QList<int> { 0, 1, 2, 4, 5, 6 };
        QTest::newRow("30 below its neighbours")
            << QList<double> { 150, 150, 150, 120, 150, 150, 150 } << even << QList<int> { 0, 1, 2, 4, 5, 6 };
        // 29.9 is cut to 29 before the comparison; step 4 then sees a mean
        // of 155.98 and stays too.
        QTest::newRow("29.9 above is kept")
            << QList<double> { 150, 150, 150, 179.9, 150, 150, 150 } << even << QList<int> { 0, 1, 2, 3, 4, 5, 6 };
        // Step 3 is far in time from every neighbour: nothing to compare
        // with. Step 4 compares with steps 5 and 6 only.
        QTest::newRow("no neighbour near in time")
            << QList<double> { 150, 150, 150, 180, 150, 150, 150 }
            << QList<double> { 0, 400, 800, 5000, 9200, 9600, 10000 } << QList<int> { 0, 1, 2, 3, 4, 5, 6 };
        // Step 2 lies exactly 1000 before step 3 and does not count for it
        // (the limit is strict); steps 1 and 0 are 1010 / 2 and 1020 / 3
        // away and count. Step 3 (130) against 100: dropped. Step 4 (100)
        // against the mean of 100, 250, 130, 100, 100 = 136: dropped.
        QTest::newRow("neighbour time limit")
            << QList<double> { 100, 100, 250, 130, 100, 100, 100 }
            << QList<double> { 0, 10, 20, 1020, 1030, 1040, 1050 } << QList<int> { 0, 1, 2, 5, 6 };
        // The last two steps are never tested, but they count for the ones
        // before: step 3 sees 180, step 4 sees 210.
        QTest::newRow("the ends are kept")
            << QList<double> { 150, 150, 150, 150, 150, 300, 300 } << even << QList<int> { 0, 1, 2, 5, 6 };
        QTest::newRow("five steps are all kept")
            << QList<double> { 150, 150, 400, 150, 150 } << even.mid(0, 5) << QList<int> { 0, 1, 2, 3, 4 };
        QTest::newRow("a single step") << QList<double> { 150 } << QList<double> { 0 } << QList<int> { 0 };
        QTest::newRow("no steps") << QList<double>() << QList<double>() << QList<int>();
        // The time track ends after five steps: only five steps can be read
        // side by side, and with five none is tested.
        QTest::newRow("shorter time track")
            << QList<double> { 150, 150, 150, 180, 150, 150, 150 } << even.mid(0, 5)
            << QList<int> { 0, 1, 2, 3, 4 };
        QTest::newRow("shorter contact time track")
            << QList<double> { 150, 150, 150, 180, 150 } << even << QList<int> { 0, 1, 2, 3, 4 };
    }

    void outliersAmongNeighboursInTimeAreDropped()
    {
        QFETCH(QList<double>, contactTimes);
        QFETCH(QList<double>, stepTimes);
        QFETCH(QList<int>, kept);
        TemporaryStorage storage;
        Measurement measurement(nullptr, 0x51);
        SprintRecordings::addSteps(measurement, kSensor, Steps { contactTimes, stepTimes });
        filter(measurement);

        QMap<quint32, double> expectedTimes;
        QMap<quint32, double> expectedStamps;
        for (int i : kept) {
            expectedTimes.insert(100 + quint32(i), contactTimes.at(i));
            expectedStamps.insert(100 + quint32(i), stepTimes.at(i));
        }
        QCOMPARE(SprintRecordings::samplesOf(trackOf(measurement, kSensor, Track::GctFiltered)), expectedTimes);
        QCOMPARE(SprintRecordings::samplesOf(trackOf(measurement, kSensor, Track::GctFilteredTime)), expectedStamps);
    }

    // Only sample numbers in both tracks are steps, and the neighbours of a
    // step are the steps before and after it, not the samples.
    void stepsArePairedBySampleNumber_data()
    {
        QTest::addColumn<Numbered>("contactTimes");
        QTest::addColumn<Numbered>("stepTimes");
        QTest::addColumn<QList<quint32>>("kept");

        const QList<quint32> all { 100, 101, 102, 103, 104, 105, 106, 107, 108 };
        QTest::newRow("both complete") << contactTimesAt(all, 103) << stepTimesAt(all)
                                       << QList<quint32> { 100, 101, 102, 104, 105, 106, 107, 108 };
        // Step 104 is the fourth step, the first one tested, and the outlier.
        QTest::newRow("a sample missing in the contact time track")
            << contactTimesAt({ 100, 101, 103, 104, 105, 106, 107, 108 }, 104) << stepTimesAt(all)
            << QList<quint32> { 100, 101, 103, 105, 106, 107, 108 };
        QTest::newRow("a sample missing in the time track")
            << contactTimesAt(all, 104) << stepTimesAt({ 100, 101, 103, 104, 105, 106, 107, 108 })
            << QList<quint32> { 100, 101, 103, 105, 106, 107, 108 };
        QTest::newRow("the tracks start and end apart")
            << contactTimesAt({ 98, 99, 100, 101, 102, 103, 104, 105, 106 }, 103)
            << stepTimesAt({ 100, 101, 102, 103, 104, 105, 106, 107, 108 })
            << QList<quint32> { 100, 101, 102, 104, 105, 106 };
        // Numbers arrive out of order, and each track lacks one of the other's.
        QTest::newRow("out-of-order numbers")
            << contactTimesAt({ 107, 100, 103, 101, 105, 104, 106, 108 }, 104)
            << stepTimesAt({ 108, 106, 100, 102, 101, 104, 103, 107 })
            << QList<quint32> { 100, 101, 103, 106, 107, 108 };
    }

    void stepsArePairedBySampleNumber()
    {
        QFETCH(Numbered, contactTimes);
        QFETCH(Numbered, stepTimes);
        QFETCH(QList<quint32>, kept);
        TemporaryStorage storage;
        Measurement measurement(nullptr, 0x50);
        SprintRecordings::addNumberedSteps(measurement, kSensor, contactTimes, stepTimes);
        filter(measurement);
        // Each kept step keeps its own contact time and its own time stamp
        // under its own sample number.
        QCOMPARE(SprintRecordings::samplesOf(trackOf(measurement, kSensor, Track::GctFiltered)),
                 keptOf(contactTimes, kept));
        QCOMPARE(SprintRecordings::samplesOf(trackOf(measurement, kSensor, Track::GctFilteredTime)),
                 keptOf(stepTimes, kept));
    }

    void filteredTracksJoinEverySensorAndAreSaved()
    {
        TemporaryStorage storage;
        Measurement measurement(nullptr, 0x52);
        measurement.setAppName("Sprint");
        SprintRecordings::addSteps(measurement, 0x10, Steps { { 150, 150 }, { 0, 400 } });
        // A sensor without contact times gets the tracks too, empty.
        measurement.getTrackList(0x20)->AddTrack(Track::AccX, 1, 2, 0);
        GctFilterProcessor processor;
        QSignalSpy complete(&processor, &Processor::OutputMeasurementComplete);
        LogCapture log;
        processor.addInputMeasurement(&measurement);
        processor.startProcessing();

        QCOMPARE(log.count(" input tracks of filter gct not found, aborting."), 1);
        QCOMPARE(complete.count(), 1);
        QCOMPARE(complete.at(0).at(0).value<Measurement*>(), &measurement);
        QCOMPARE(measurement.getTrackList(0x10)->getTrackOrder(),
                 (QList<quint16> { 0x8014, 0x8016, 0x8021, 0x8022 }));
        QCOMPARE(measurement.getTrackList(0x20)->getTrackOrder(), (QList<quint16> { 0x0110, 0x8021, 0x8022 }));

        // What the filter added is what a later run finds on disk.
        QVERIFY(QFile::exists(measurement.fullPath()));
        Measurement prototype(nullptr, 0);
        QSignalSpy loaded(&prototype, &Measurement::loadedMeasurementFromDisk);
        QVERIFY(prototype.loadFileFromDisk(measurement.fullPath()));
        std::unique_ptr<Measurement> copy(loaded.at(0).at(0).value<Measurement*>());
        copy->loadMeasurementDataFromDisk();
        QCOMPARE(SprintRecordings::samplesOf(trackOf(*copy, 0x10, Track::GctFiltered)),
                 (QMap<quint32, double> { { 100, 150 }, { 101, 150 } }));
        QVERIFY(trackOf(*copy, 0x20, Track::GctFilteredTime) != nullptr);
    }

    void runningAgainRefillsTheSameTracks()
    {
        TemporaryStorage storage;
        Measurement measurement(nullptr, 0x53);
        SprintRecordings::addSteps(measurement, kSensor, Steps { { 150, 150, 150 }, { 0, 400, 800 } });
        filter(measurement);
        QPointer<Track> first = trackOf(measurement, kSensor, Track::GctFiltered);
        const int childrenBefore = measurement.getTrackList(kSensor)->children().size();

        filter(measurement);
        // Refilled in place: no second copy piles up in the list, and
        // whoever shows the track sees the new values.
        QCOMPARE(trackOf(measurement, kSensor, Track::GctFiltered), first.data());
        QCOMPARE(first->numberOfSamples(), 3);
        QCOMPARE(measurement.getTrackList(kSensor)->children().size(), childrenBefore);
        QCOMPARE(measurement.getTrackList(kSensor)->getTrackOrder(),
                 (QList<quint16> { 0x8014, 0x8016, 0x8021, 0x8022 }));
    }

    void aTrackListThatCannotBeReadIsNotOverwritten()
    {
        TemporaryStorage storage;
        SprintRecordings::store(0x54, QDateTime(QDate(2015, 5, 13), QTime(9, 0)),
                                { { 0x10, Steps { { 150, 150, 150 }, { 0, 400, 800 } } },
                                  { 0x20, Steps { { 160, 160, 160 }, { 0, 400, 800 } } } });
        const QString damagedPath = Helper::getDataPath() + "/54/54_20.ktt";
        QByteArray damaged = StorageFiles::read(damagedPath);
        // The header survives, the tracks are cut off.
        damaged.truncate(60);
        QVERIFY(StorageFiles::write(damagedPath, damaged));

        MeasurementController controller;
        SprintRecordings::loadStored(controller);
        Measurement* measurement = controller.getMeasurementOnHostById(0x54);
        QVERIFY(measurement != nullptr);
        LogCapture log;
        filter(*measurement);

        QVERIFY(log.contains(" track list of device  20  in measurement  54  could not be loaded, not filtered"));
        QCOMPARE(StorageFiles::read(damagedPath), damaged);
        QCOMPARE(trackOf(*measurement, 0x10, Track::GctFiltered)->numberOfSamples(), 3);
    }

    void trackAverageDropsStepsAtBothEnds_data()
    {
        QTest::addColumn<QList<double>>("values");
        QTest::addColumn<int>("cutInFront");
        QTest::addColumn<int>("cutAtEnd");
        QTest::addColumn<double>("average");
        QTest::addColumn<bool>("nothingLeft");
        QTest::newRow("six values, three cut at each end") << QList<double> { 1, 2, 3, 4, 5, 6 } << 3 << 3 << 0.0 << true;
        QTest::newRow("seven values give the middle one")
            << QList<double> { 9, 9, 9, 151.5, 1, 1, 1 } << 3 << 3 << 151.5 << false;
        QTest::newRow("ten values") << QList<double> { 1, 2, 3, 4, 5, 6, 7, 8, 9, 10 } << 3 << 3 << 5.5 << false;
        QTest::newRow("uneven cuts") << QList<double> { 1, 2, 3, 4, 5, 6, 7 } << 1 << 4 << 2.5 << false;
        QTest::newRow("no cuts") << QList<double> { 100, 200 } << 0 << 0 << 150.0 << false;
        QTest::newRow("empty track") << QList<double>() << 0 << 0 << 0.0 << true;
        QTest::newRow("cuts beyond the track") << QList<double> { 100 } << 255 << 255 << 0.0 << true;
    }

    void trackAverageDropsStepsAtBothEnds()
    {
        QFETCH(QList<double>, values);
        QFETCH(int, cutInFront);
        QFETCH(int, cutAtEnd);
        QFETCH(double, average);
        QFETCH(bool, nothingLeft);
        std::unique_ptr<Track> track(GctFilterProcessor::constructGctTrack());
        // Stored out of order: the average follows the sample numbers.
        for (int i = values.size() - 1; i >= 0; --i) {
            track->setCurrentSampleNumber(quint32(i) * 3);
            track->AddScalarSample(values.at(i));
        }
        LogCapture log;
        QCOMPARE(Processor::TrackAverage(track.get(), uchar(cutInFront), uchar(cutAtEnd)), average);
        QCOMPARE(log.contains(QString(" zero samples input for TrackAverage (  %1  samples in track,  %2  cut in "
                                      "front  %3  cut at end ")
                                  .arg(values.size())
                                  .arg(cutInFront)
                                  .arg(cutAtEnd)),
                 nothingLeft);
    }
};

QTEST_GUILESS_MAIN(TestGctFilter)
#include "tst_gctfilter.moc"
