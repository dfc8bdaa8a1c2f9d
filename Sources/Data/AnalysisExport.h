#pragma once

#include <QString>
#include <QtGlobal>

class Measurement;

// The files of an export that are made for analysis rather than as the
// sensors recorded them, written beside the per-channel files:
// "<name>_aligned.csv" and "<name>_aligned.mat" (every channel on one time
// base), "<name>_steps.csv" for a sprint, and "info.txt" (who, what, when,
// which sensor is which foot, and how whole the data is).
class AnalysisExport
{
public:
    struct Report
    {
        bool written = true;
        qint64 alignedRows = 0;
        qint64 alignedCsvBytes = 0;
        bool matTooLarge = false;
    };

    // The measurement's track lists must be in memory; `folder` exists.
    static Report write(Measurement* measurement, const QString& folder, const QString& name);

    // The base frequency the measurement was recorded at, or the sensors'
    // usual one when it was not noted down.
    static int baseFrequencyOf(const Measurement* measurement);
};
