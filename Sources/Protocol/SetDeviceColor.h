#pragma once

#include "Protocol/Message.h"

// Sets the colour of a sensor's light, given as 0x00RRGGBB.
class SetDeviceColor : public Message
{
    Q_OBJECT
public:
    SetDeviceColor(quint64 deviceSerial, quint32 color);

    void BeforeComposeHook() override;

private:
    quint32 color;
};
