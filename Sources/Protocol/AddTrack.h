#pragma once

#include "Data/Track.h"
#include "Protocol/Message.h"

// Adds one entry to the sensor's track table: which channel, at which
// down-sampling, whether it is shown, and under which configuration index.
class AddTrack : public Message
{
    Q_OBJECT
public:
    AddTrack(quint64 deviceSerial, Track::TrackIDs trackId, quint16 downSampling, quint8 visible, quint8 configId);

    void BeforeComposeHook() override;

private:
    Track::TrackIDs trackId;
    quint16 downSampling;
    quint8 visible;
    quint8 configId;
};
