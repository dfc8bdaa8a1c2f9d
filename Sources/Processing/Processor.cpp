#include "Processing/Processor.h"

#include "Application/Helper.h"
#include "Data/Measurement.h"
#include "Data/MeasurementController.h"
#include "Data/Track.h"
#include "Log/LogCategories.h"

#include <QDateTime>
#include <QDebug>

Processor::Processor(QObject* parent)
    : QObject(parent)
{
}

void Processor::setAttributes(QString attributes)
{
    m_attributes = std::move(attributes);
}

void Processor::reset()
{
    m_inputMeasurements.clear();
    m_outputMeasurement = nullptr;
}

quint64 Processor::newMeasurementId() const
{
    if (m_measurementController != nullptr)
        return m_measurementController->newMeasurementId();
    return Helper::generateFreeId64Bit([](quint64 id) { return Measurement::isIdStored(id); });
}

quint64 Processor::createOutputMeasurement()
{
    const quint64 id = newMeasurementId();
    auto* output = new Measurement(nullptr, id);
    m_outputMeasurement = output;
    // Before the first save: the user name is part of the file name.
    output->setUserName(m_outputUserName);
    output->setAppName(AppIdentifier());
    output->setSetupName(SetupIdentifier());
    output->setStartTime(QDateTime::currentDateTime());
    output->saveToDisk();
    Q_EMIT OutputMeasurementCreated(output);
    // Normally the measurement controller has taken it by now. A processor
    // run without one keeps it, so that it goes when the processor goes.
    if (output->parent() == nullptr)
        output->setParent(this);
    return id;
}

void Processor::addInputMeasurement(Measurement* measurement)
{
    if (measurement == nullptr)
        return;
    qCDebug(lcProcessing) << " Adding Measurement " << measurement << " to postprocessor "
                          << AppIdentifier() + QLatin1Char('/') + SetupIdentifier();
    m_inputMeasurements.prepend(measurement);
}

void Processor::dropLiveViews()
{
    for (int i = m_inputMeasurements.size() - 1; i >= 0; --i) {
        const Measurement* measurement = m_inputMeasurements.at(i);
        if (!measurement->isLiveView())
            continue;
        qCDebug(lcProcessing) << " Measurement " << Qt::hex << measurement->getMeasurementID()
                              << " is a live view, left out of " << AppIdentifier() + QLatin1Char('/') + SetupIdentifier();
        m_inputMeasurements.removeAt(i);
    }
}

double Processor::TrackAverage(Track* track, unsigned char cutInFront, unsigned char cutAtEnd)
{
    // Read in place: building the value list would keep a copy of every
    // averaged track alive with the track.
    const int count = track != nullptr ? track->scalarSampleStore().size() : 0;
    if (int(cutInFront) + int(cutAtEnd) >= count) {
        qCDebug(lcProcessing) << " zero samples input for TrackAverage ( " << count << " samples in track, "
                              << int(cutInFront) << " cut in front " << int(cutAtEnd) << " cut at end ";
        return 0;
    }
    const ScalarSampleStore& store = track->scalarSampleStore();
    double sum = 0;
    const int end = count - cutAtEnd;
    for (int i = cutInFront; i < end; ++i)
        sum += store.valueAt(i);
    return sum / (end - cutInFront);
}
