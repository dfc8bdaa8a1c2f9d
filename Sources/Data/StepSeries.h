#pragma once

#include <QtGlobal>

#include <vector>

class Track;
class TrackList;

// The steps of one foot in a sprint. A sensor repeats the contact time of
// its latest step, with that step's time stamp, in every sample until the
// next step: consecutive samples that carry the same step time are one
// step. Only sample numbers present in both the contact-time track and the
// step-time track count; a sample missing from either is skipped rather
// than given another step's time.
class StepSeries
{
public:
    struct Step {
        // The first sample of the step.
        quint32 sampleNumber;
        // The contact time the step's last sample carries, ms.
        double contactMs;
        double stepTime;
    };

    // The steps in the samples at indices [first, end) of the contact-time
    // track (end < 0: to its end), in sample order.
    static std::vector<Step> fromTracks(const Track* contactTimes, const Track* stepTimes, int first = 0,
                                        int end = -1);
    // The steps of the list's ground contact time (0x8014) and step time
    // (0x8016) tracks; none when either is missing.
    static std::vector<Step> fromTrackList(TrackList* list);

    // The mean contact time of the steps, 0 for none.
    static double meanContactMs(const std::vector<Step>& steps);
    // The step with the shortest (fastest) and the longest (slowest)
    // contact time; the first of equal ones, null for none.
    static const Step* fastest(const std::vector<Step>& steps);
    static const Step* slowest(const std::vector<Step>& steps);
    // Steps per second from the step times (ms), of one foot or of both
    // feet together: the steps after the first over the time from the first
    // step to the last. 0 with fewer than two steps or no time between them.
    static double stepsPerSecond(const std::vector<double>& stepTimesMs);
    // The step times of both feet in one list.
    static std::vector<double> stepTimes(const std::vector<Step>& left, const std::vector<Step>& right);
};
