#include "Data/SquatJumpTrack.h"

#include "Log/LogCategories.h"

#include <QDebug>

SquatJumpTrack::SquatJumpTrack(QObject* parent)
    : Track(parent)
{
}

SquatJumpTrack::SquatJumpTrack(TrackSettings* settings)
    : Track(settings)
{
}

double SquatJumpTrack::postProcessScalarValue(double value)
{
    const double seconds = value / 1000.0;
    const double height = seconds * seconds * 9.81 * 0.125 * 100.0;
    qCDebug(lcData) << " Jump height: " << height;
    return height;
}
