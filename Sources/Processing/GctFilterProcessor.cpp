#include "Processing/GctFilterProcessor.h"

#include "Data/Measurement.h"
#include "Data/StepSeries.h"
#include "Data/Track.h"
#include "Data/TrackList.h"
#include "Data/TrackSettings.h"
#include "Log/LogCategories.h"

#include <QDebug>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace {

std::unique_ptr<TrackSettings> gctSettings()
{
    auto settings = std::make_unique<TrackSettings>(0);
    settings->unit = QStringLiteral("ms");
    settings->minY = 0;
    settings->maxY = 300;
    return settings;
}

std::unique_ptr<TrackSettings> filteredSettings()
{
    auto settings = gctSettings();
    settings->trackId = Track::GctFiltered;
    settings->label = QStringLiteral("GCT filtered");
    settings->shortTag = QStringLiteral("GCT_filtered");
    return settings;
}

std::unique_ptr<TrackSettings> filteredTimeSettings()
{
    auto settings = gctSettings();
    settings->trackId = Track::GctFilteredTime;
    settings->label = QStringLiteral("GCT filtered time");
    settings->shortTag = QStringLiteral("GCT_filtered_Time ");
    settings->maxY = 0;
    return settings;
}

} // namespace

GctFilterProcessor::GctFilterProcessor(QObject* parent)
    : Processor(parent)
{
}

QString GctFilterProcessor::SetupIdentifier()
{
    return QStringLiteral("GCT filtered ");
}

QString GctFilterProcessor::AppIdentifier()
{
    return QStringLiteral("Sprint");
}

Track* GctFilterProcessor::constructGctTrack()
{
    return new Track(filteredSettings().get());
}

Track* GctFilterProcessor::constructGctTimeTrack()
{
    return new Track(filteredTimeSettings().get());
}

Track* GctFilterProcessor::freshOutputTrack(TrackList* list, int id)
{
    // Every run would otherwise leave the previous run's tracks behind in the
    // list (a replaced track lives on with its list), and an average over a
    // series filters each of its measurements on every run.
    Track* track = nullptr;
    for (Track* candidate : list->getAllTracks()) {
        if (candidate != nullptr && candidate->getTrackId() == id)
            track = candidate;
    }
    if (track == nullptr)
        return id == Track::GctFiltered ? constructGctTrack() : constructGctTimeTrack();
    const std::unique_ptr<TrackSettings> settings = id == Track::GctFiltered ? filteredSettings()
                                                                             : filteredTimeSettings();
    track->applyTrackSettings(settings.get());
    track->clearScalarSamples();
    return track;
}

void GctFilterProcessor::startProcessing()
{
    dropLiveViews();
    if (m_inputMeasurements.size() != 1) {
        qCDebug(lcProcessing) << " No measurements assigned to Gct Moving Average Filter Processor";
        return;
    }
    m_measurement = m_inputMeasurements.first();
    m_measurement->loadMeasurementDataFromDisk();

    QList<quint64> filtered;
    for (quint64 serial : m_measurement->getDevicesInMeasurement()) {
        TrackList* list = m_measurement->getTrackList(serial);
        // A list whose file could not be read is still only its header.
        // Saving it with the new tracks would put them in place of the
        // recorded data.
        if (list->getLoadMode() == Storable::LoadHeader) {
            qCDebug(lcProcessing) << " track list of device " << Qt::hex << serial << " in measurement "
                                  << m_measurement->getMeasurementID() << " could not be loaded, not filtered";
            continue;
        }
        list->AddTrack(freshOutputTrack(list, Track::GctFiltered));
        list->AddTrack(freshOutputTrack(list, Track::GctFilteredTime));
        FilterGct(serial);
        filtered.append(serial);
    }
    for (quint64 serial : qAsConst(filtered))
        m_measurement->saveSingleTrackList(serial);
    m_measurement->saveToDisk();
    Q_EMIT OutputMeasurementComplete(m_measurement);
}

void GctFilterProcessor::FilterGct(unsigned long long deviceSerial)
{
    if (m_measurement == nullptr)
        return;
    TrackList* list = m_measurement->getTrackList(deviceSerial);
    const QList<quint16> ids = list->getTrackOrder();
    auto find = [list, &ids](int id) {
        return ids.contains(static_cast<quint16>(id)) ? list->getTrackById(static_cast<quint64>(id)) : nullptr;
    };
    Track* gct = find(Track::GroundContactTime);
    Track* time = find(Track::GroundContactTimeTime);
    Track* filteredGct = find(Track::GctFiltered);
    Track* filteredTime = find(Track::GctFilteredTime);
    if (gct == nullptr || time == nullptr || filteredGct == nullptr || filteredTime == nullptr) {
        qCDebug(lcProcessing) << " input tracks of filter gct not found, aborting.";
        return;
    }

    // One entry per step however many samples repeat it; a sample missing
    // from either track is no step, so later steps keep their own times.
    const std::vector<StepSeries::Step> steps = StepSeries::fromTracks(gct, time);

    const int n = static_cast<int>(steps.size());
    // Three steps before, two after.
    const int neighbours[] = { -3, -2, -1, 1, 2 };
    for (int i = 0; i < n; ++i) {
        const StepSeries::Step& step = steps[static_cast<std::size_t>(i)];
        filteredGct->setCurrentSampleNumber(step.sampleNumber);
        filteredTime->setCurrentSampleNumber(step.sampleNumber);
        if (i > 2 && i < n - 2) {
            double sum = 0;
            int counted = 0;
            for (int j : neighbours) {
                const StepSeries::Step& other = steps[static_cast<std::size_t>(i + j)];
                const double gap = std::fabs(std::trunc(step.stepTime - other.stepTime)) / std::abs(j);
                if (m_neighbourTimeLimit > gap) {
                    sum += other.contactMs;
                    ++counted;
                }
            }
            if (counted > 0 && std::fabs(std::trunc(step.contactMs - sum / counted)) >= m_outlierLimit)
                continue;
        }
        filteredGct->AddScalarSample(step.contactMs);
        filteredTime->AddScalarSample(step.stepTime);
    }
}
