#include "Processing/ProcessorController.h"

#include "Application/Helper.h"
#include "Data/Measurement.h"
#include "Data/MeasurementController.h"
#include "Log/LogCategories.h"
#include "Processing/CsvImportProcessor.h"
#include "Processing/GctAverageProcessor.h"

#include <QDebug>

namespace {

// What the sprint app names its recordings and the import its series.
bool isSprintMeasurement(const Measurement* measurement)
{
    if (measurement->getAppName() != QLatin1String("Sprint"))
        return false;
    const QString setup = measurement->getSetupName();
    return setup.contains(QLatin1String("Sprint 1kHz")) || setup.contains(QLatin1String("GCT import"));
}

} // namespace

ProcessorController::ProcessorController(QObject* parent, MeasurementController* measurementController)
    : QObject(parent)
    , m_measurementController(measurementController)
{
}

void ProcessorController::setProcessorAttributes(QString ProcessorAttributes)
{
    m_processorAttributes = std::move(ProcessorAttributes);
}

Processor* ProcessorController::createProcessor(quint64 id)
{
    // A child until it is released, so that it cannot outlive the
    // controller when no event loop runs after the release.
    Processor* processor = nullptr;
    switch (id) {
    case 1:
        processor = new GctAverageProcessor(this);
        break;
    case 2:
        processor = new CsvImportProcessor(this);
        break;
    default:
        qCDebug(lcProcessing) << " Warning, requested Processor not found, returning NULL.";
        return nullptr;
    }
    processor->setAttributes(m_processorAttributes);
    processor->setMeasurementController(m_measurementController);
    return processor;
}

void ProcessorController::run(Processor* processor)
{
    if (m_measurementController != nullptr) {
        connect(processor, &Processor::OutputMeasurementCreated, m_measurementController,
                qOverload<Measurement*>(&MeasurementController::addMeasurementOnHost));
    }
    processor->startProcessing();
}

void ProcessorController::processMeasurement(QString measurementIdStr, QString processorIdStr)
{
    const quint64 measurementId = Helper::quint64FromHex(measurementIdStr);
    const quint64 processorId = Helper::quint64FromHex(processorIdStr);
    qCDebug(lcProcessing) << " start processing measurement : " << Qt::hex << measurementId
                          << " with processor: " << processorId;
    m_processor = createProcessor(processorId);
    if (m_processor == nullptr)
        return;
    m_measurement = m_measurementController != nullptr
        ? m_measurementController->getMeasurementOnHostById(measurementId)
        : nullptr;
    if (m_measurement != nullptr) {
        m_processor->addInputMeasurement(m_measurement);
        run(m_processor);
    } else if (!m_processor->usesInputMeasurements()) {
        run(m_processor);
    }
    m_processor->deleteLater();
    m_processor = nullptr;
    m_measurement = nullptr;
}

void ProcessorController::processMeasurements(QString processorIdStr)
{
    m_processor = createProcessor(Helper::quint64FromHex(processorIdStr));
    if (m_processor == nullptr)
        return;
    if (m_processor->usesInputMeasurements() && m_measurementController != nullptr) {
        const QList<Measurement*> measurements = m_measurementController->getMeasurementsOnHost();
        for (Measurement* measurement : measurements) {
            if (isSprintMeasurement(measurement))
                m_processor->addInputMeasurement(measurement);
        }
    }
    if (!m_processor->inputMeasurements().isEmpty() || !m_processor->usesInputMeasurements())
        run(m_processor);
    m_processor->deleteLater();
    m_processor = nullptr;
}
