#pragma once

#include "Plotting/TrackPlotter.h"

// The plot of squat-jump setups: drawn like any track plot, under its own
// type so that the scene can tell it apart.
class SquatJumpPlotter : public TrackPlotter
{
    Q_OBJECT
public:
    explicit SquatJumpPlotter(QQuickItem* parent = nullptr);
};
