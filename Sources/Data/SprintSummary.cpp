#include "Data/SprintSummary.h"

#include "Application/Helper.h"
#include "Data/Measurement.h"
#include "Data/StepSeries.h"
#include "Data/Track.h"
#include "Data/TrackList.h"
#include "Log/LogCategories.h"

#include <QDebug>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <cmath>

const char SprintSummary::kAverageFileName[] = "sprints.json";

namespace {

QString hex(quint64 value)
{
    return QString::number(value, 16);
}

QString averageFilePath(const Measurement* measurement)
{
    return measurement->trackListFolder() + QLatin1Char('/') + QLatin1String(SprintSummary::kAverageFileName);
}

Track* findTrack(Measurement* measurement, int id)
{
    for (quint64 serial : measurement->getDevicesInMeasurement()) {
        TrackList* list = measurement->getTrackList(serial);
        if (list->getTrackOrder().contains(quint16(id)))
            return list->getTrackById(quint64(id));
    }
    return nullptr;
}

// The mean of the values above 0: a sprint without a foot's steps has 0.
double meanOfPositive(const Track* track)
{
    if (track == nullptr)
        return 0;
    const ScalarSampleStore& store = track->scalarSampleStore();
    double sum = 0;
    int count = 0;
    for (int i = 0; i < store.size(); ++i) {
        if (store.valueAt(i) > 0) {
            sum += store.valueAt(i);
            ++count;
        }
    }
    return count > 0 ? sum / count : 0;
}

QVariantMap summary(const QString& leftSerial, const QString& rightSerial, double leftMs, double rightMs,
                    double bothMs, int leftSteps, int rightSteps, const QString& feedbackRuns, int sprints)
{
    return {
        { QStringLiteral("leftSerial"), leftSerial },
        { QStringLiteral("rightSerial"), rightSerial },
        { QStringLiteral("leftMs"), leftMs },
        { QStringLiteral("rightMs"), rightMs },
        { QStringLiteral("bothMs"), bothMs },
        { QStringLiteral("leftSteps"), leftSteps },
        { QStringLiteral("rightSteps"), rightSteps },
        { QStringLiteral("steps"), leftSteps + rightSteps },
        { QStringLiteral("differencePercent"), SprintSummary::differencePercent(leftMs, rightMs) },
        { QStringLiteral("feedbackRuns"), feedbackRuns },
        { QStringLiteral("sprints"), sprints },
        { QStringLiteral("average"), false },
        { QStringLiteral("stepsPerSecond"), 0.0 },
        { QStringLiteral("fastestMs"), 0.0 },
        { QStringLiteral("fastestFoot"), QString() },
        { QStringLiteral("slowestMs"), 0.0 },
        { QStringLiteral("slowestFoot"), QString() },
    };
}

// The fastest or slowest of the two feet's: left where they are equal.
void insertExtreme(QVariantMap& result, const char* key, const StepSeries::Step* left,
                   const StepSeries::Step* right, bool fastest)
{
    const bool takeRight = right != nullptr
        && (left == nullptr || (fastest ? right->contactMs < left->contactMs : right->contactMs > left->contactMs));
    const StepSeries::Step* step = takeRight ? right : left;
    if (step == nullptr)
        return;
    result.insert(QLatin1String(key) + QLatin1String("Ms"), step->contactMs);
    result.insert(QLatin1String(key) + QLatin1String("Foot"),
                  takeRight ? QStringLiteral("right") : QStringLiteral("left"));
}


QVariantMap averageSummary(Measurement* measurement, const Track* both)
{
    const double leftMs = meanOfPositive(findTrack(measurement, Track::GctMeanLeft));
    const double rightMs = meanOfPositive(findTrack(measurement, Track::GctMeanRight));
    QVariantMap stored;
    QFile file(averageFilePath(measurement));
    if (file.open(QIODevice::ReadOnly))
        stored = QJsonDocument::fromJson(file.read(64 * 1024)).object().toVariantMap();
    // An average stored without the side file still names its feedback
    // runs in its setup.
    QString feedbackRuns = stored.value(QStringLiteral("feedbackRuns")).toString();
    if (!stored.contains(QStringLiteral("feedbackRuns"))) {
        const QString setup = measurement->getSetupName();
        const int colon = setup.indexOf(QLatin1Char(':'));
        feedbackRuns = colon >= 0 ? setup.mid(colon + 1).trimmed() : QString();
    }
    const int sprints = stored.contains(QStringLiteral("sprints")) ? stored.value(QStringLiteral("sprints")).toInt()
                                                                     : both->numberOfSamples();
    QVariantMap result = summary(stored.value(QStringLiteral("leftSerial")).toString(),
                                 stored.value(QStringLiteral("rightSerial")).toString(), leftMs, rightMs,
                                 meanOfPositive(both), stored.value(QStringLiteral("leftSteps")).toInt(),
                                 stored.value(QStringLiteral("rightSteps")).toInt(), feedbackRuns, sprints);
    result.insert(QStringLiteral("average"), true);
    return result;
}

} // namespace

bool SprintSummary::hasStepTimes(const Measurement* measurement)
{
    return !measurement->getSetupName().startsWith(QLatin1String("GCT import"));
}

QList<quint64> SprintSummary::feet(Measurement* measurement)
{
    QList<quint64> feet;
    if (measurement == nullptr)
        return feet;
    // Serials ascending.
    for (quint64 serial : measurement->getDevicesInMeasurement()) {
        const QList<quint16> ids = measurement->getTrackList(serial)->getTrackOrder();
        if (!ids.contains(quint16(Track::GroundContactTime)) || !ids.contains(quint16(Track::GroundContactTimeTime)))
            continue;
        feet.append(serial);
        if (feet.size() == 2)
            break;
    }
    return feet;
}

double SprintSummary::differencePercent(double left, double right)
{
    if (left <= 0 || right <= 0)
        return 0;
    return std::fabs(left - right) / ((left + right) / 2) * 100;
}

QVariantMap SprintSummary::of(Measurement* measurement)
{
    if (measurement == nullptr)
        return {};
    measurement->loadMeasurementDataFromDisk();
    if (const Track* both = findTrack(measurement, Track::GctMean)) {
        if (both->numberOfSamples() == 0)
            return {};
        return averageSummary(measurement, both);
    }
    const QList<quint64> feet = SprintSummary::feet(measurement);
    QList<std::vector<StepSeries::Step>> steps;
    bool anyStep = false;
    for (quint64 serial : feet) {
        steps.append(StepSeries::fromTrackList(measurement->getTrackList(serial)));
        anyStep = anyStep || !steps.last().empty();
    }
    if (!anyStep)
        return {};
    const double leftMs = StepSeries::meanContactMs(steps.at(0));
    const int leftSteps = int(steps.at(0).size());
    const double rightMs = feet.size() > 1 ? StepSeries::meanContactMs(steps.at(1)) : 0;
    const int rightSteps = feet.size() > 1 ? int(steps.at(1).size()) : 0;
    const double bothMs = (leftMs * leftSteps + rightMs * rightSteps) / (leftSteps + rightSteps);
    QVariantMap result = summary(hex(feet.at(0)), feet.size() > 1 ? hex(feet.at(1)) : QString(), leftMs, rightMs,
                                 bothMs, leftSteps, rightSteps, QString(), 1);
    const std::vector<StepSeries::Step> none;
    const std::vector<StepSeries::Step>& right = feet.size() > 1 ? steps.at(1) : none;
    if (SprintSummary::hasStepTimes(measurement))
        result.insert(QStringLiteral("stepsPerSecond"),
                      StepSeries::stepsPerSecond(StepSeries::stepTimes(steps.at(0), right)));
    insertExtreme(result, "fastest", StepSeries::fastest(steps.at(0)), StepSeries::fastest(right), true);
    insertExtreme(result, "slowest", StepSeries::slowest(steps.at(0)), StepSeries::slowest(right), false);
    return result;
}

bool SprintSummary::storeAverageFigures(const Measurement* average, const QVariantMap& figures)
{
    const QString path = averageFilePath(average);
    Helper::AssureDirectoryExists(average->trackListFolder());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)
        || file.write(QJsonDocument(QJsonObject::fromVariantMap(figures)).toJson()) < 0 || !file.commit()) {
        qCDebug(lcData) << " Could not store the figures of average " << path;
        return false;
    }
    return true;
}
