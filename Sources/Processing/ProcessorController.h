#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class Measurement;
class MeasurementController;
class Processor;

// Runs post-processors, chosen by id, on measurements stored on the host:
// on one measurement, or on every sprint measurement. What a processor
// produces is listed by the measurement controller like any other
// measurement.
class ProcessorController : public QObject
{
    Q_OBJECT
public:
    ProcessorController(QObject* parent, MeasurementController* measurementController);

    // The processor of registry id `id` (1 the GCT average, 2 the CSV
    // import) with the stored attributes, owned by this controller until it
    // is released; null for any other id.
    Processor* createProcessor(quint64 id);

    QString processorAttributes() const { return m_processorAttributes; }

    // Whether the measurement is a recorded sprint with ground contact
    // times: of the sprint app and a sprint or import setup, no live view,
    // and some sensor with a contact time and a step time (read from disk
    // if need be).
    static bool isSprintWithContactTimes(Measurement* measurement);

    // The GCT average over exactly these measurements (hexadecimal ids);
    // ids that name no recorded sprint with contact times are skipped. The
    // sprints take their positions from the oldest on; `feedbackRuns`
    // ("2-4") names the positions the athlete got feedback on. Returns the
    // id of the stored average, "" when nothing could be averaged.
    Q_INVOKABLE QString averageSprints(QStringList measurementIds, QString feedbackRuns);
    // Filters the contact times of one sprint into its filtered tracks.
    // The filter adds to the sprint itself: returns its id, or "" when it
    // is no recorded sprint with contact times.
    Q_INVOKABLE QString filterSprint(QString measurementId);

public Q_SLOTS:
    void processMeasurement(QString measurementIdStr, QString processorIdStr);
    void processMeasurements(QString processorIdStr);
    void setProcessorAttributes(QString ProcessorAttributes);

private:
    // Connects the processor's outputs to the measurement controller, runs
    // it and lets it go.
    void run(Processor* processor);

    QString m_processorAttributes;
    MeasurementController* m_measurementController = nullptr;
    Processor* m_processor = nullptr;
    Measurement* m_measurement = nullptr;
};
