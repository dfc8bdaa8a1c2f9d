#include "Data/StepSeries.h"

#include "Data/Track.h"
#include "Data/TrackList.h"

#include <algorithm>

std::vector<StepSeries::Step> StepSeries::fromTracks(const Track* contactTimes, const Track* stepTimes, int first,
                                                     int end)
{
    std::vector<Step> steps;
    if (contactTimes == nullptr || stepTimes == nullptr)
        return steps;
    const ScalarSampleStore& gct = contactTimes->scalarSampleStore();
    const ScalarSampleStore& time = stepTimes->scalarSampleStore();
    const int last = end < 0 ? gct.size() : std::min(end, gct.size());
    int g = std::max(0, first);
    if (g >= last)
        return steps;
    // Both stores are in ascending sample-number order: one merge walk,
    // started where the first wanted sample would be in the time track.
    const auto& numbers = time.numbers();
    int t = int(std::lower_bound(numbers.begin(), numbers.end(), gct.numberAt(g)) - numbers.begin());
    bool open = false;
    while (g < last && t < time.size()) {
        const quint32 gctNumber = gct.numberAt(g);
        const quint32 timeNumber = time.numberAt(t);
        if (gctNumber < timeNumber) {
            ++g;
        } else if (timeNumber < gctNumber) {
            ++t;
        } else {
            const double stepTime = time.valueAt(t);
            if (open && steps.back().stepTime == stepTime)
                steps.back().contactMs = gct.valueAt(g);
            else
                steps.push_back({ gctNumber, gct.valueAt(g), stepTime });
            open = true;
            ++g;
            ++t;
        }
    }
    return steps;
}

std::vector<StepSeries::Step> StepSeries::fromTrackList(TrackList* list)
{
    if (list == nullptr)
        return {};
    const QList<quint16> ids = list->getTrackOrder();
    if (!ids.contains(quint16(Track::GroundContactTime)) || !ids.contains(quint16(Track::GroundContactTimeTime)))
        return {};
    return fromTracks(list->getTrackById(Track::GroundContactTime), list->getTrackById(Track::GroundContactTimeTime));
}

double StepSeries::meanContactMs(const std::vector<Step>& steps)
{
    if (steps.empty())
        return 0;
    double sum = 0;
    for (const Step& step : steps)
        sum += step.contactMs;
    return sum / double(steps.size());
}

const StepSeries::Step* StepSeries::fastest(const std::vector<Step>& steps)
{
    const auto it = std::min_element(steps.begin(), steps.end(),
                                     [](const Step& a, const Step& b) { return a.contactMs < b.contactMs; });
    return it == steps.end() ? nullptr : &*it;
}

const StepSeries::Step* StepSeries::slowest(const std::vector<Step>& steps)
{
    // max_element gives the last of equal ones; the first is wanted.
    const auto it = std::min_element(steps.begin(), steps.end(),
                                     [](const Step& a, const Step& b) { return a.contactMs > b.contactMs; });
    return it == steps.end() ? nullptr : &*it;
}

double StepSeries::stepsPerSecond(const std::vector<double>& stepTimesMs)
{
    if (stepTimesMs.size() < 2)
        return 0;
    const auto [first, last] = std::minmax_element(stepTimesMs.begin(), stepTimesMs.end());
    const double spanMs = *last - *first;
    if (!(spanMs > 0))
        return 0;
    return double(stepTimesMs.size() - 1) / (spanMs / 1000.0);
}

std::vector<double> StepSeries::stepTimes(const std::vector<Step>& left, const std::vector<Step>& right)
{
    std::vector<double> times;
    times.reserve(left.size() + right.size());
    for (const Step& step : left)
        times.push_back(step.stepTime);
    for (const Step& step : right)
        times.push_back(step.stepTime);
    return times;
}
