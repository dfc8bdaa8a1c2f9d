#include "Workflows/UploadOutcome.h"

#include "Application/Helper.h"
#include "Application/NotificationHub.h"
#include "Data/Measurement.h"
#include "Data/MeasurementController.h"
#include "Data/TrackList.h"
#include "Protocol/UploadDataPage.h"
#include "Workflows/UploadQuality.h"

UploadOutcome::UploadOutcome(MeasurementController* measurements)
    : m_measurements(measurements)
{
}

UploadOutcome::Verdict UploadOutcome::finished(quint64 serial, quint64 id, const UploadDataPage* reader)
{
    const bool complete = reader != nullptr && reader->isComplete();
    const bool saved = save(serial, id, reader);
    m_attempts.forget(serial, id);
    Verdict verdict;
    if (!saved) {
        verdict.kind = Kind::NotSaved;
        verdict.reason = notSaved(serial, id);
    } else if (!complete) {
        verdict.kind = Kind::GiveUp;
        verdict.reason = tr("The upload of measurement %1 from sensor %2 ended before its last page.")
                             .arg(Helper::idText(id), Helper::idText(serial));
    } else {
        verdict.kind = Kind::Complete;
        // Nothing more comes for this list: the room its stores keep for
        // growth can be as much again as the samples themselves.
        if (Measurement* host = m_measurements->getMeasurementOnHostById(id))
            host->getTrackList(serial)->squeezeSamples();
    }
    return verdict;
}

UploadOutcome::Verdict UploadOutcome::aborted(quint64 serial, quint64 id, const ActiveUploads::Upload& ended,
                                              bool deviceOnline)
{
    // What arrived is kept.
    const bool saved = save(serial, id, ended.reader.data());
    // The rest is fetched once the sensor can be reached again, unless it
    // has had its chances.
    const UploadAttempts::Verdict judged = m_attempts.judge(serial, ended, deviceOnline);
    Verdict verdict;
    verdict.warning = judged.retryWarning;
    verdict.reason = judged.giveUpReason;
    if (!saved && verdict.reason.isEmpty())
        verdict.reason = notSaved(serial, id);
    if (!verdict.reason.isEmpty()) {
        verdict.kind = Kind::GiveUp;
        m_attempts.forget(serial, id);
    }
    return verdict;
}

bool UploadOutcome::save(quint64 serial, quint64 id, const UploadDataPage* reader)
{
    if (m_measurements == nullptr)
        return false;
    Measurement* host = m_measurements->getMeasurementOnHostById(id);
    if (m_measurements->saveMeasurementStateToDisk(serial, id)) {
        UploadQuality::record(host, serial, reader);
        return true;
    }
    const QString folder = host != nullptr ? host->trackListFolder() : Helper::getDataPath();
    NotificationHub::instance()->sendError(
        tr("The upload of measurement %1 from sensor %2 could not be saved in %3. Is the disk full or the folder "
           "read-only?")
            .arg(Helper::idText(id), Helper::idText(serial), folder));
    return false;
}

QString UploadOutcome::notSaved(quint64 serial, quint64 id)
{
    return tr("The upload of measurement %1 from sensor %2 could not be saved.").arg(Helper::idText(id), Helper::idText(serial));
}
