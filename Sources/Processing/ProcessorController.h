#pragma once

#include <QObject>
#include <QString>

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
