#pragma once

#include <QList>
#include <QString>
#include <QVariantList>

class Measurement;

// One athlete's sprints over time: one point per recorded sprint, oldest
// first, with what its summary (SprintSummary) says about the feet. Live
// views and averages are no sprints of their own; sprints without contact
// times give no point.
class SprintProgress
{
public:
    // Maps of "id", "day" ("yyyy-MM-dd"), "time" ("HH:mm"), "bothMs",
    // "leftMs", "rightMs", "leftSteps", "rightSteps", "differencePercent"
    // and "stepsPerSecond". An empty user name takes every athlete's.
    // Reads the sprints' data from disk if need be.
    static QVariantList of(const QList<Measurement*>& measurements, const QString& userName);
};
