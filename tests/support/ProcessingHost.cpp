#include "ProcessingHost.h"

#include "SprintRecordings.h"

#include "Data/Measurement.h"

ProcessingHost::ProcessingHost()
{
    measurements.setProcessorController(&processors);
    SprintRecordings::loadStored(measurements);
}

QSet<quint64> ProcessingHost::ids() const
{
    QSet<quint64> ids;
    for (Measurement* measurement : measurements.getMeasurementsOnHost())
        ids.insert(measurement->getMeasurementID());
    return ids;
}

Measurement* ProcessingHost::added(const QSet<quint64>& before) const
{
    const QSet<quint64> now = ids() - before;
    return now.size() == 1 ? measurements.getMeasurementOnHostById(*now.begin()) : nullptr;
}
