#include "Processing/GctAverageProcessor.h"

#include "Data/Measurement.h"
#include "Data/SprintSummary.h"
#include "Data/Track.h"
#include "Data/TrackList.h"
#include "Data/TrackSettings.h"
#include "Log/LogCategories.h"
#include "Processing/GctFilterProcessor.h"

#include <QDebug>
#include <QMap>

namespace {

// The steps at the start and at the end of a sprint are not run at speed.
const unsigned char kCutSteps = 3;

// The athlete the sprints were run by: the user name most of them carry
// (the earlier one in the series on a tie).
QString athleteOf(const QList<Measurement*>& sprints)
{
    QMap<QString, int> counts;
    QString athlete;
    for (const Measurement* sprint : sprints) {
        const QString name = sprint->getUserName();
        const int count = ++counts[name];
        if (athlete.isNull() || count > counts.value(athlete))
            athlete = name;
    }
    return athlete;
}

} // namespace

GctAverageProcessor::GctAverageProcessor(QObject* parent)
    : Processor(parent)
    // A child, so that it goes with this processor even when no event loop
    // runs after it.
    , m_filter(new GctFilterProcessor(this))
{
}

GctAverageProcessor::~GctAverageProcessor() = default;

QString GctAverageProcessor::SetupIdentifier()
{
    return QStringLiteral("GCT average: ") + m_attributes;
}

QString GctAverageProcessor::AppIdentifier()
{
    return QStringLiteral("Sprint");
}

void GctAverageProcessor::setAttributes(QString attributes)
{
    Processor::setAttributes(attributes);
    setFeedbackCycle(attributes);
}

void GctAverageProcessor::setFeedbackCycle(QString text)
{
    m_feedbackCycle.clear();
    // No attributes at all means no feedback, not a malformed cycle.
    if (text.isEmpty())
        return;
    const QStringList parts = text.split(QLatin1Char('-'));
    for (const QString& part : parts) {
        bool ok = false;
        const unsigned int position = part.toUInt(&ok, 10);
        if (!ok) {
            qCDebug(lcProcessing) << " GCT average processor failed to parse feedback cycle item " << part;
            continue;
        }
        m_feedbackCycle.append(position);
    }
}

Track* GctAverageProcessor::constructGctTrack(QString which)
{
    struct Row {
        const char* which;
        int id;
        const char* label;
        const char* tag;
    };
    static const Row kRows[] = {
        { "filtered", Track::GctFiltered, "GCT filtered", "GCTfiltered" },
        { "left", Track::GctMeanLeft, "GCTm Left", "GCTmLeft" },
        { "right", Track::GctMeanRight, "GCTm Right", "GCTmRight" },
        { "both", Track::GctMean, "GCTm", "GCTm" },
        { "feedback", Track::GctFeedback, "GCT Feedback", "GCT_Feedback" },
    };
    for (const Row& row : kRows) {
        if (which != QLatin1String(row.which))
            continue;
        TrackSettings settings(0);
        settings.unit = QStringLiteral("ms");
        settings.minY = 0;
        settings.maxY = 300;
        settings.trackId = row.id;
        settings.label = QString::fromLatin1(row.label);
        settings.shortTag = QString::fromLatin1(row.tag);
        return new Track(&settings);
    }
    qCDebug(lcProcessing) << " GCT mean track could not be constructed!";
    return nullptr;
}

double GctAverageProcessor::AverageOneFoot(unsigned long long deviceSerial)
{
    if (m_currentMeasurement == nullptr)
        return 0;
    TrackList* list = m_currentMeasurement->getTrackList(deviceSerial);
    Track* filtered = nullptr;
    if (list->getTrackOrder().contains(static_cast<quint16>(Track::GctFiltered)))
        filtered = list->getTrackById(Track::GctFiltered);
    if (filtered == nullptr) {
        qCDebug(lcProcessing) << "GCT filtered track not found in meausurement";
        return 0;
    }
    return TrackAverage(filtered, kCutSteps, kCutSteps);
}

int GctAverageProcessor::averagedSteps(unsigned long long deviceSerial)
{
    TrackList* list = m_currentMeasurement->getTrackList(deviceSerial);
    if (!list->getTrackOrder().contains(static_cast<quint16>(Track::GctFiltered)))
        return 0;
    return qMax(0, list->getTrackById(Track::GctFiltered)->numberOfSamples() - 2 * kCutSteps);
}

void GctAverageProcessor::startProcessing()
{
    // Positions count recorded sprints only.
    dropLiveViews();
    if (m_inputMeasurements.isEmpty()) {
        qCDebug(lcProcessing) << " No measurements assigned to Gct Average Processor";
        return;
    }
    if (m_outputUserName.isEmpty())
        setOutputUserName(athleteOf(m_inputMeasurements));
    const quint64 id = createOutputMeasurement();
    Measurement* output = m_outputMeasurement;
    auto* list = new TrackList(output, kOutputDeviceSerial, id);
    Track* left = constructGctTrack(QStringLiteral("left"));
    Track* right = constructGctTrack(QStringLiteral("right"));
    Track* both = constructGctTrack(QStringLiteral("both"));
    Track* feedback = constructGctTrack(QStringLiteral("feedback"));
    list->AddTrack(left);
    list->AddTrack(right);
    list->AddTrack(both);
    list->AddTrack(feedback);
    output->setDeviceTrackList(list);

    // The inputs run from the last added to the first added; the position
    // counts along that order from 1.
    quint32 position = 0;
    // The feet as the first sprint with sensors has them, and the steps that
    // went into the means.
    QString leftSerial;
    QString rightSerial;
    int leftSteps = 0;
    int rightSteps = 0;
    const QList<Measurement*> inputs = m_inputMeasurements;
    for (Measurement* measurement : inputs) {
        ++position;
        m_currentMeasurement = measurement;
        measurement->loadMeasurementDataFromDisk();
        m_filter->reset();
        m_filter->addInputMeasurement(measurement);
        m_filter->startProcessing();

        const QList<quint64> devices = measurement->getDevicesInMeasurement();
        if (devices.isEmpty()) {
            qCDebug(lcProcessing) << " No devices in measurement for Gct Average Processor";
            continue;
        }
        // Serials ascending: the lower one is the left foot.
        const double leftMean = AverageOneFoot(devices.at(0));
        const double rightMean = devices.size() > 1 ? AverageOneFoot(devices.at(1)) : 0;
        if (leftSerial.isNull()) {
            leftSerial = QString::number(devices.at(0), 16);
            rightSerial = devices.size() > 1 ? QString::number(devices.at(1), 16) : QString(QLatin1String(""));
        }
        leftSteps += averagedSteps(devices.at(0));
        if (devices.size() > 1)
            rightSteps += averagedSteps(devices.at(1));
        double bothMean = 0;
        if (leftMean > 0 && rightMean > 0)
            bothMean = (leftMean + rightMean) / 2;
        else if (leftMean > 0)
            bothMean = leftMean;
        else if (rightMean > 0)
            bothMean = rightMean;
        qCDebug(lcProcessing) << " Average Left: " << leftMean;
        qCDebug(lcProcessing) << " Average Right: " << rightMean;
        qCDebug(lcProcessing) << " Average both feet: " << bothMean;

        for (Track* track : { left, right, both })
            track->setCurrentSampleNumber(position);
        left->AddScalarSample(leftMean);
        right->AddScalarSample(rightMean);
        both->AddScalarSample(bothMean);
        if (m_feedbackCycle.contains(position)) {
            feedback->setCurrentSampleNumber(position);
            feedback->AddScalarSample(bothMean);
        }
    }
    m_currentMeasurement = nullptr;

    output->saveAllTrackLists();
    output->saveToDisk();
    SprintSummary::storeAverageFigures(output, {
        { QStringLiteral("leftSerial"), leftSerial },
        { QStringLiteral("rightSerial"), rightSerial },
        { QStringLiteral("leftSteps"), leftSteps },
        { QStringLiteral("rightSteps"), rightSteps },
        { QStringLiteral("feedbackRuns"), m_attributes },
        { QStringLiteral("sprints"), inputs.size() },
    });
    Q_EMIT OutputMeasurementComplete(output);
}
