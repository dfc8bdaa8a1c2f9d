#pragma once

#include "Protocol/Message.h"

// Sets the sensor's base sampling frequency in Hz. Only the low 16 bits
// travel; the sensor has no frequency above that range.
class SetBaseFreq : public Message
{
    Q_OBJECT
public:
    SetBaseFreq(quint64 deviceSerial, int frequency);

    void BeforeComposeHook() override;

private:
    qint32 frequency;
};
