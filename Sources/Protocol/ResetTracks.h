#pragma once

#include "Protocol/Message.h"

// Empties the sensor's track table before a new set of tracks is added.
class ResetTracks : public Message
{
    Q_OBJECT
public:
    explicit ResetTracks(quint64 deviceSerial);

    void BeforeComposeHook() override;
};
