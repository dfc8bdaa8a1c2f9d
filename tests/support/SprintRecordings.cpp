#include "SprintRecordings.h"

#include "Data/Measurement.h"
#include "Data/MeasurementController.h"
#include "Data/Track.h"
#include "Data/TrackList.h"

#include <QCoreApplication>

namespace SprintRecordings {

void addSteps(Measurement& measurement, quint64 serial, const Steps& steps, quint32 firstSample)
{
    Numbered contactTimes;
    Numbered stepTimes;
    for (int i = 0; i < steps.contactTimes.size(); ++i)
        contactTimes.append({ firstSample + quint32(i), steps.contactTimes.at(i) });
    for (int i = 0; i < steps.stepTimes.size(); ++i)
        stepTimes.append({ firstSample + quint32(i), steps.stepTimes.at(i) });
    addNumberedSteps(measurement, serial, contactTimes, stepTimes);
}

void addHeldSteps(Measurement& measurement, quint64 serial, const Steps& steps, int samplesPerStep,
                  quint32 firstSample)
{
    Numbered contactTimes;
    Numbered stepTimes;
    for (int i = 0; i < steps.contactTimes.size(); ++i) {
        for (int k = 0; k < samplesPerStep; ++k) {
            const quint32 number = firstSample + quint32(i * samplesPerStep + k);
            contactTimes.append({ number, steps.contactTimes.at(i) });
            if (i < steps.stepTimes.size())
                stepTimes.append({ number, steps.stepTimes.at(i) });
        }
    }
    addNumberedSteps(measurement, serial, contactTimes, stepTimes);
}

void addNumberedSteps(Measurement& measurement, quint64 serial, const Numbered& contactTimes,
                      const Numbered& stepTimes)
{
    TrackList* list = measurement.getTrackList(serial);
    list->AddTrack(Track::GroundContactTime, 1, 2, 0);
    list->AddTrack(Track::GroundContactTimeTime, 1, 4, 1);
    Track* gct = list->getTrackById(Track::GroundContactTime);
    Track* time = list->getTrackById(Track::GroundContactTimeTime);
    for (const auto& sample : contactTimes) {
        gct->setCurrentSampleNumber(sample.first);
        gct->AddScalarSample(sample.second);
    }
    for (const auto& sample : stepTimes) {
        time->setCurrentSampleNumber(sample.first);
        time->AddScalarSample(sample.second);
    }
}

void store(quint64 id, const QDateTime& start, const QMap<quint64, Steps>& sensors, const QString& setup,
           const QString& user)
{
    Measurement measurement(nullptr, id);
    measurement.setStartTime(start);
    measurement.setUserName(user);
    measurement.setAppName(QStringLiteral("Sprint"));
    measurement.setSetupName(setup);
    for (auto it = sensors.cbegin(); it != sensors.cend(); ++it)
        addSteps(measurement, it.key(), it.value());
    measurement.saveAllTrackLists();
    measurement.saveToDisk();
}

void loadStored(MeasurementController& controller)
{
    Measurement prototype(nullptr, 0);
    QObject::connect(&prototype, &Measurement::loadedMeasurementFromDisk, &controller,
                     qOverload<Measurement*>(&MeasurementController::addMeasurementOnHost));
    prototype.scanForFilesAndLoad();
    // The scans leave their prototypes for deferred deletion.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QMap<quint32, double> samplesOf(Track* track)
{
    QMap<quint32, double> samples;
    if (track == nullptr)
        return samples;
    const QList<quint32> numbers = track->getScalarSampleNumbers();
    const QList<double> values = track->getScalarSamples();
    for (int i = 0; i < numbers.size(); ++i)
        samples.insert(numbers.at(i), values.at(i));
    return samples;
}

Track* trackOf(Measurement& measurement, quint64 serial, int id)
{
    TrackList* list = measurement.getTrackList(serial);
    return list->getTrackOrder().contains(quint16(id)) ? list->getTrackById(quint64(id)) : nullptr;
}

QMap<quint32, double> samplesOf(Measurement& measurement, quint64 serial, int id)
{
    return samplesOf(trackOf(measurement, serial, id));
}

} // namespace SprintRecordings
