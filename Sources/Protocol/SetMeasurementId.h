#pragma once

#include "Protocol/Message.h"

// Tells a sensor the id of the measurement it is about to record or stream.
class SetMeasurementId : public Message
{
    Q_OBJECT
public:
    SetMeasurementId(quint64 deviceSerial, quint64 measurementId);

    void BeforeComposeHook() override;

private:
    quint64 measurementId;
};
