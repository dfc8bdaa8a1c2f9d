#include "Data/SprintProgress.h"

#include "Data/Measurement.h"
#include "Data/SprintSummary.h"
#include "Data/TrackList.h"

#include <algorithm>
#include <vector>

namespace {

bool samplesInMemory(Measurement* measurement)
{
    for (quint64 serial : measurement->getDevicesInMeasurement()) {
        if (measurement->getTrackList(serial)->getLoadMode() == Storable::LoadHeader)
            return false;
    }
    return true;
}

// A sprint whose samples are not in memory is read into a copy of its own,
// let go again once its figures are known: a season of sprints would
// otherwise keep every recording whole in memory for one plot of means.
QVariantMap figuresOf(Measurement* sprint)
{
    if (samplesInMemory(sprint))
        return SprintSummary::of(sprint);
    Measurement copy(nullptr, sprint->getMeasurementID());
    copy.setAppName(sprint->getAppName());
    copy.setSetupName(sprint->getSetupName());
    copy.setUserName(sprint->getUserName());
    copy.setStartTime(sprint->getStartTime());
    copy.scanForMeasurementDataOnDisk();
    return SprintSummary::of(&copy);
}

} // namespace

QVariantList SprintProgress::of(const QList<Measurement*>& measurements, const QString& userName)
{
    std::vector<Measurement*> sprints;
    for (Measurement* measurement : measurements) {
        if (measurement == nullptr || measurement->getAppName() != QLatin1String("Sprint") || measurement->isLiveView()
            || measurement->getSetupName().startsWith(QLatin1String("GCT average")))
            continue;
        if (!userName.isEmpty() && measurement->getUserName() != userName)
            continue;
        sprints.push_back(measurement);
    }
    std::stable_sort(sprints.begin(), sprints.end(), [](const Measurement* a, const Measurement* b) {
        return a->getStartTime() < b->getStartTime();
    });
    QVariantList points;
    for (Measurement* sprint : sprints) {
        const QVariantMap summary = figuresOf(sprint);
        if (summary.isEmpty())
            continue;
        const QDateTime start = sprint->getStartTime();
        points.append(QVariantMap {
            { QStringLiteral("id"), QString::number(sprint->getMeasurementID(), 16) },
            { QStringLiteral("day"), start.date().toString(Qt::ISODate) },
            { QStringLiteral("time"), start.time().toString(QStringLiteral("HH:mm")) },
            { QStringLiteral("bothMs"), summary.value(QStringLiteral("bothMs")) },
            { QStringLiteral("leftMs"), summary.value(QStringLiteral("leftMs")) },
            { QStringLiteral("rightMs"), summary.value(QStringLiteral("rightMs")) },
            { QStringLiteral("leftSteps"), summary.value(QStringLiteral("leftSteps")) },
            { QStringLiteral("rightSteps"), summary.value(QStringLiteral("rightSteps")) },
            { QStringLiteral("differencePercent"), summary.value(QStringLiteral("differencePercent")) },
            { QStringLiteral("stepsPerSecond"), summary.value(QStringLiteral("stepsPerSecond")) },
        });
    }
    return points;
}
