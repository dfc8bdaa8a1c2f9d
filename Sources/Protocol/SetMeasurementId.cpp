#include "Protocol/SetMeasurementId.h"

SetMeasurementId::SetMeasurementId(quint64 deviceSerial, quint64 measurementId)
    : Message(deviceSerial)
    , measurementId(measurementId)
{
}

void SetMeasurementId::BeforeComposeHook()
{
    command = QByteArrayLiteral("<SetMeasID>");
    payload = QByteArray(8, '\0');
    int position = 0;
    composeUInt64(measurementId, position);
}
