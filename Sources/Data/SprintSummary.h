#pragma once

#include <QList>
#include <QVariantMap>

class Measurement;

// What a sprint, or an average over sprints, comes to per foot: the mean
// contact time of the left foot (the sensor with the lower serial), of the
// right foot and of both, how many steps went in, and how far apart the
// feet are. A single sprint counts every step it recorded once; an average
// gives the means over its sprints and keeps the rest beside its record.
class SprintSummary
{
public:
    // The side file of an average, beside its track list.
    static const char kAverageFileName[];

    // Keys leftSerial, rightSerial, leftMs, rightMs, bothMs, leftSteps,
    // rightSteps, steps, differencePercent, feedbackRuns, sprints, average;
    // for a single sprint also stepsPerSecond (both feet, 0 where the step
    // times are no times: an imported series has line numbers), fastestMs
    // and slowestMs (the shortest and longest contact of either foot) with
    // fastestFoot and slowestFoot ("left" or "right"); an average has 0 and
    // "" there. An empty map when the measurement has no contact times.
    // Reads the measurement's data from disk if need be.
    static QVariantMap of(Measurement* measurement);

    // Stores what an average cannot tell from its tracks: the serials and
    // step counts of its sprints, the feedback runs and how many sprints.
    static bool storeAverageFigures(const Measurement* average, const QVariantMap& figures);

    // The sensors that are the feet, left first, as the processors pair
    // them: of the sensors that record contact and step times, the lower
    // serial is the left foot (also when it caught no step), the next the
    // right. At most two.
    static QList<quint64> feet(Measurement* measurement);

    // Whether the step-time channel holds times: a sensor gives the time a
    // step began in milliseconds since it started counting, an imported
    // series only the line numbers of its file.
    static bool hasStepTimes(const Measurement* measurement);

    // |left - right| against their mean, in percent; 0 unless both are > 0.
    static double differencePercent(double left, double right);
};
