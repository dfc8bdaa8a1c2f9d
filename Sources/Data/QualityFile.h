#pragma once

#include "Data/DataQuality.h"

#include <QMap>
#include <QVariantMap>

class Measurement;

// The quality figures of a measurement's sensors, kept beside its track
// lists in "quality.json" so that the archive shows them without reading
// any samples. The record files are not touched.
class QualityFile
{
public:
    static const char kFileName[];

    static QString path(quint64 measurementId);
    static QMap<quint64, DataQuality> read(quint64 measurementId);
    static bool write(quint64 measurementId, const QMap<quint64, DataQuality>& figures);

    // Takes the sample figures of the sensor's list as it is now (when its
    // samples are in memory) and adds `transfer`'s counts to those stored:
    // an upload that broke off and went on counts every attempt.
    static bool update(Measurement* measurement, quint64 serial, const DataQuality& transfer = DataQuality());

    // For the scene: "level" (the worst over the sensors: "good", "fair",
    // "poor", or "unknown" without figures), "text" (a paragraph per
    // sensor) and "sensors" (each sensor's figures).
    static QVariantMap summary(quint64 measurementId, int baseFrequency);
    static QVariantMap summary(const QMap<quint64, DataQuality>& figures, int baseFrequency);
};
