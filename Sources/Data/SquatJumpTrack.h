#pragma once

#include "Data/Track.h"

// The jump-height channel: the sensor reports the flight time, the track
// stores the height it gives.
class SquatJumpTrack : public Track
{
    Q_OBJECT
public:
    explicit SquatJumpTrack(QObject* parent = nullptr);
    explicit SquatJumpTrack(TrackSettings* settings);

    // Flight time in milliseconds to jump height in centimetres: g t^2 / 8.
    double postProcessScalarValue(double value) override;
};
