#include "SprintRecordings.h"

#include "Data/Measurement.h"
#include "Data/MeasurementController.h"
#include "Data/Track.h"
#include "Data/TrackList.h"

#include <QCoreApplication>

namespace SprintRecordings {

void addSteps(Measurement& measurement, quint64 serial, const Steps& steps, quint32 firstSample)
{
    TrackList* list = measurement.getTrackList(serial);
    list->AddTrack(Track::GroundContactTime, 1, 2, 0);
    list->AddTrack(Track::GroundContactTimeTime, 1, 4, 1);
    Track* gct = list->getTrackById(Track::GroundContactTime);
    Track* time = list->getTrackById(Track::GroundContactTimeTime);
    for (int i = 0; i < steps.contactTimes.size(); ++i) {
        gct->setCurrentSampleNumber(firstSample + quint32(i));
        gct->AddScalarSample(steps.contactTimes.at(i));
    }
    for (int i = 0; i < steps.stepTimes.size(); ++i) {
        time->setCurrentSampleNumber(firstSample + quint32(i));
        time->AddScalarSample(steps.stepTimes.at(i));
    }
}

void store(quint64 id, const QDateTime& start, const QMap<quint64, Steps>& sensors, const QString& setup)
{
    Measurement measurement(nullptr, id);
    measurement.setStartTime(start);
    measurement.setUserName(QStringLiteral("Anna"));
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

} // namespace SprintRecordings
