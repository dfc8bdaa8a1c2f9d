#pragma once

#include "SimulatedSensor.h"

#include <QList>
#include <QString>

#include <map>

class TrackList;

// What a simulated sensor recorded, read straight out of its flash by the
// wire format (pages of sample groups: the mask, its CRC, the sample number
// and one sample per set mask bit), so that a test can tell on its own what
// an upload should have stored.
struct FlashRecording
{
    // The data pages of the table entry; the track table is the one the
    // sensor recorded with.
    static FlashRecording read(const sensorsim::SimulatedSensor& sensor, const sensorsim::TableEntry& entry,
                               const QVector<sensorsim::TrackEntry>& tracks);

    // Empty when the list holds exactly these samples: the same sample
    // numbers per track, each scalar value the raw sample times one factor
    // per track, each vector component the raw signed 32-bit value.
    QString compare(TrackList* list) const;

    int samples() const;

    QList<quint16> trackIds;
    QList<int> widths;
    // Per track (table order): sample number -> raw sample bytes.
    QList<std::map<quint32, QByteArray>> raw;
};
