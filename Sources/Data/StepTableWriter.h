#pragma once

#include <QString>

class Measurement;

// The steps of a sprint as one CSV table, both feet in time order:
// "foot,sensor,step_time_s,contact_ms". The feet are told apart as
// everywhere else (SprintSummary::feet): the lower serial is the left foot. A sensor gives the time a step began in milliseconds
// since it started counting; the table has it in seconds. An imported
// series has no times: its field stays empty.
class StepTableWriter
{
public:
    // Whether the measurement has steps to write (contact and step times).
    static bool hasSteps(Measurement* measurement);
    // False when the file could not be written. The measurement's track
    // lists must be in memory.
    static bool write(Measurement* measurement, const QString& path);
};
