#include "Plotting/SquatJumpPlotter.h"

#include "Log/LogCategories.h"

#include <QDebug>

SquatJumpPlotter::SquatJumpPlotter(QQuickItem* parent)
    : TrackPlotter(parent)
{
    qCDebug(lcPlotting) << " setup SquatJumpPlotter ";
}
