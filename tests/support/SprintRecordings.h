#pragma once

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>

class Measurement;
class MeasurementController;
class Track;

// Sprint measurements as the sprint app leaves them on disk: per sensor a
// ground contact time track (0x8014) and the time stamps of the steps
// (0x8016).
namespace SprintRecordings {

// One sensor's steps. The two lists may differ in length, as they can in a
// damaged recording.
struct Steps {
    QList<double> contactTimes;
    QList<double> stepTimes;
};

// Step i is stored under sample number firstSample + i.
void addSteps(Measurement& measurement, quint64 serial, const Steps& steps, quint32 firstSample = 100);

// As a sensor records them: step i is held over `samplesPerStep` samples
// from firstSample + i * samplesPerStep on, each carrying the step's contact
// time and step time.
void addHeldSteps(Measurement& measurement, quint64 serial, const Steps& steps, int samplesPerStep,
                  quint32 firstSample = 100);

// (sample number, value) in the order they are added.
using Numbered = QList<QPair<quint32, double>>;
// Contact times and step times under sample numbers of their own, as a
// recording with lost samples has them.
void addNumberedSteps(Measurement& measurement, quint64 serial, const Numbered& contactTimes,
                      const Numbered& stepTimes);

// Saves a measurement of the "Sprint" app with these sensors' steps and its
// track lists, and lets go of it.
void store(quint64 id, const QDateTime& start, const QMap<quint64, Steps>& sensors,
           const QString& setup = QStringLiteral("Sprint 1kHz"), const QString& user = QStringLiteral("Anna"));

// Lists every stored measurement in the controller the way the program does
// at start-up (records, then the headers of their track lists).
void loadStored(MeasurementController& controller);

// A track's samples, sample number to value.
QMap<quint32, double> samplesOf(Track* track);

// The track of that id in the sensor's list, or null (none is created).
Track* trackOf(Measurement& measurement, quint64 serial, int id);
// The samples of that track; none when there is no such track.
QMap<quint32, double> samplesOf(Measurement& measurement, quint64 serial, int id);

} // namespace SprintRecordings
