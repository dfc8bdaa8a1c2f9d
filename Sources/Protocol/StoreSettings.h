#pragma once

#include "Protocol/Message.h"

// Makes the sensor keep its current configuration across power cycles.
class StoreSettings : public Message
{
    Q_OBJECT
public:
    explicit StoreSettings(quint64 deviceSerial);

    void BeforeComposeHook() override;
};
