#pragma once

#include <QString>
#include <QVector>

class VectorIndex;

// The attributes a track is built from. A plain record: whoever builds a
// track sets the fields it needs and hands the record to the track, which
// takes copies. The record owns its components.
class TrackSettings
{
public:
    // The defaults of an unknown id: scalar, signed, scale 1, unit "-",
    // label and tag naming the id, plot range -17 .. 17.
    explicit TrackSettings(int id);
    ~TrackSettings();

    TrackSettings(const TrackSettings&) = delete;
    TrackSettings& operator=(const TrackSettings&) = delete;

    int trackId;
    int type; // 0 scalar, 1 vector
    bool isSigned;
    double scaleFactor;
    QString unit;
    QString label;
    QString shortTag;
    double minY;
    double maxY;
    QVector<VectorIndex*> components;
    // Marks the channels whose values are states or events rather than a
    // signal; the processors read it, a track does not keep it.
    bool special = false;
};
