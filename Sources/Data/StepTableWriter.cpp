#include "Data/StepTableWriter.h"

#include "Data/Measurement.h"
#include "Data/SprintSummary.h"
#include "Data/StepSeries.h"

#include <QSaveFile>

#include <algorithm>
#include <charconv>
#include <vector>

namespace {

struct FootStep
{
    const char* foot;
    quint64 serial;
    StepSeries::Step step;
};

std::vector<FootStep> stepsOf(Measurement* measurement)
{
    static const char* const kFeet[] = { "left", "right" };
    std::vector<FootStep> all;
    const QList<quint64> feet = SprintSummary::feet(measurement);
    for (int foot = 0; foot < feet.size(); ++foot) {
        for (const StepSeries::Step& step : StepSeries::fromTrackList(measurement->getTrackList(feet.at(foot))))
            all.push_back({ kFeet[foot], feet.at(foot), step });
    }
    // In time order; at the same time the left foot first.
    std::stable_sort(all.begin(), all.end(),
                     [](const FootStep& a, const FootStep& b) { return a.step.stepTime < b.step.stepTime; });
    return all;
}

void appendNumber(QByteArray& out, double value)
{
    char digits[32];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, int(result.ptr - digits));
}

} // namespace

bool StepTableWriter::hasSteps(Measurement* measurement)
{
    if (measurement == nullptr)
        return false;
    for (quint64 serial : SprintSummary::feet(measurement)) {
        if (!StepSeries::fromTrackList(measurement->getTrackList(serial)).empty())
            return true;
    }
    return false;
}

bool StepTableWriter::write(Measurement* measurement, const QString& path)
{
    QByteArray out("foot,sensor,step_time_s,contact_ms\n");
    if (measurement != nullptr) {
        // An imported series has line numbers where a recording has times.
        const bool withTimes = SprintSummary::hasStepTimes(measurement);
        for (const FootStep& entry : stepsOf(measurement)) {
            out.append(entry.foot);
            out.append(',');
            out.append(QByteArray::number(entry.serial, 16));
            out.append(',');
            if (withTimes)
                appendNumber(out, entry.step.stepTime / 1000.0);
            out.append(',');
            appendNumber(out, entry.step.contactMs);
            out.append('\n');
        }
    }
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(out) == out.size() && file.commit();
}
