#include "Data/TrackSettings.h"

#include "Data/VectorIndex.h"

#include <QCoreApplication>

TrackSettings::TrackSettings(int id)
    : trackId(id)
    , type(0)
    , isSigned(true)
    , scaleFactor(1.0)
    , unit(QStringLiteral("-"))
    , label(QCoreApplication::translate("Track", "Unknown Track (ID=") + QString::number(id) + QLatin1Char(')'))
    , shortTag(QStringLiteral("UnkownTrack_") + QString::number(id))
    , minY(-17.0)
    , maxY(17.0)
{
}

TrackSettings::~TrackSettings()
{
    qDeleteAll(components);
}
