#include "Processing/ProcessorController.h"

#include "Application/Helper.h"
#include "Application/NotificationHub.h"
#include "Data/Measurement.h"
#include "Data/MeasurementController.h"
#include "Data/MeasurementsModel.h"
#include "Data/SprintSummary.h"
#include "Data/StepSeries.h"
#include "Log/LogCategories.h"
#include "Processing/CsvImportProcessor.h"
#include "Processing/GctAverageProcessor.h"
#include "Processing/GctFilterProcessor.h"

#include <QDebug>

#include <algorithm>

namespace {

// What the sprint app names its recordings and the import its series.
bool isSprintMeasurement(const Measurement* measurement)
{
    if (measurement->isLiveView() || measurement->getAppName() != QLatin1String("Sprint"))
        return false;
    const QString setup = measurement->getSetupName();
    return setup.contains(QLatin1String("Sprint 1kHz")) || setup.contains(QLatin1String("GCT import"));
}

QString hex(quint64 id)
{
    return QString::number(id, 16);
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

bool ProcessorController::isSprintWithContactTimes(Measurement* measurement)
{
    if (measurement == nullptr || !isSprintMeasurement(measurement))
        return false;
    measurement->loadMeasurementDataFromDisk();
    for (quint64 serial : measurement->getDevicesInMeasurement()) {
        if (!StepSeries::fromTrackList(measurement->getTrackList(serial)).empty())
            return true;
    }
    return false;
}

QString ProcessorController::averageSprints(QStringList measurementIds, QString feedbackRuns)
{
    if (m_measurementController == nullptr)
        return QString();
    QList<Measurement*> sprints;
    for (const QString& text : qAsConst(measurementIds)) {
        Measurement* measurement = m_measurementController->getMeasurementOnHostById(Helper::quint64FromHex(text));
        if (measurement == nullptr || sprints.contains(measurement))
            continue;
        if (!isSprintWithContactTimes(measurement)) {
            qCDebug(lcProcessing) << " Measurement " << text << " is no recorded sprint with contact times, not averaged";
            continue;
        }
        sprints.append(measurement);
    }
    if (sprints.isEmpty())
        return QString();
    // Position 1 is the oldest sprint; the inputs run from the last added.
    std::stable_sort(sprints.begin(), sprints.end(), [](const Measurement* a, const Measurement* b) {
        return b->startTimeOrderKey() < a->startTimeOrderKey();
    });
    auto* processor = new GctAverageProcessor(this);
    processor->setAttributes(feedbackRuns);
    processor->setMeasurementController(m_measurementController);
    for (Measurement* sprint : qAsConst(sprints))
        processor->addInputMeasurement(sprint);
    run(processor);
    Measurement* output = processor->outputMeasurement();
    processor->deleteLater();
    if (output == nullptr)
        return QString();
    // Steps at the start and the end of a sprint are left out of its mean:
    // sprints too short to keep any give no average, not one of 0 ms.
    if (SprintSummary::of(output).value(QStringLiteral("bothMs")).toDouble() <= 0) {
        MeasurementsModel* model = m_measurementController->getMeasurementsOnHostModel();
        const int row = model->getDataList().indexOf(output);
        if (row >= 0)
            model->removeRows(row, 1);
        NotificationHub::instance()->sendWarning(
            tr("The sprints picked are too short to average: each foot needs more than %1 steps.").arg(6));
        return QString();
    }
    return hex(output->getMeasurementID());
}

QString ProcessorController::filterSprint(QString measurementId)
{
    Measurement* measurement = m_measurementController != nullptr
        ? m_measurementController->getMeasurementOnHostById(Helper::quint64FromHex(measurementId))
        : nullptr;
    if (!isSprintWithContactTimes(measurement))
        return QString();
    auto* filter = new GctFilterProcessor(this);
    filter->setMeasurementController(m_measurementController);
    filter->addInputMeasurement(measurement);
    run(filter);
    filter->deleteLater();
    return hex(measurement->getMeasurementID());
}
