#include "Workflows/LiveFeedback.h"

#include "Data/MeasurementController.h"
#include "Data/Track.h"
#include "Data/TrackList.h"

namespace {

bool followed(quint16 id)
{
    return id == Track::GroundContactTime || id == Track::GroundContactTimeTime || id == Track::JumpHeight;
}

} // namespace

LiveFeedback::LiveFeedback(QObject* parent, MeasurementController* measurementController)
    : QObject(parent)
    , m_measurements(measurementController)
{
    if (measurementController != nullptr)
        connect(measurementController, &MeasurementController::DeviceTrackListChanged, this,
                &LiveFeedback::onDeviceTrackListChanged);
}

void LiveFeedback::follow(quint64 measurementId)
{
    for (const QPointer<TrackList>& list : qAsConst(m_lists)) {
        if (!list.isNull())
            disconnect(list, nullptr, this, nullptr);
    }
    m_lists.clear();
    m_feet.clear();
    m_jumpers.clear();
    m_measurementId = measurementId;
    Q_EMIT changed();
}

void LiveFeedback::onDeviceTrackListChanged(quint64 deviceSerial, quint64 measurementId, TrackList* list)
{
    if (measurementId != m_measurementId || measurementId == 0 || list == nullptr)
        return;
    // Called once per track the header announces: the tracks wanted send
    // their values, the others stay quiet.
    for (quint16 id : list->getTrackOrder()) {
        if (!followed(id))
            continue;
        list->getTrackById(id)->setDoEmitUpdates(true);
        if (id == Track::JumpHeight) {
            if (!m_jumpers.contains(deviceSerial)) {
                m_jumpers.insert(deviceSerial, Jumper());
                Q_EMIT changed();
            }
        } else if (!m_feet.contains(deviceSerial)) {
            m_feet.insert(deviceSerial, Foot());
            Q_EMIT changed();
        }
    }
    if (m_lists.value(deviceSerial) != list) {
        if (TrackList* before = m_lists.value(deviceSerial))
            disconnect(before, nullptr, this, nullptr);
        m_lists.insert(deviceSerial, list);
        connect(list, &TrackList::newLiveValue, this,
                [this, deviceSerial](quint32 trackId, double value) { onValue(deviceSerial, trackId, value); });
    }
}

void LiveFeedback::onValue(quint64 serial, quint32 trackId, double value)
{
    switch (trackId) {
    case Track::GroundContactTime: {
        Foot& foot = m_feet[serial];
        if (foot.contactMs == value)
            return;
        foot.contactMs = value;
        break;
    }
    case Track::GroundContactTimeTime: {
        // The contact time of a step may come just before or just after
        // its step time in a sample: either way the foot shows the pair.
        Foot& foot = m_feet[serial];
        if (foot.timed && foot.stepTime == value)
            return;
        foot.timed = true;
        foot.stepTime = value;
        ++foot.steps;
        break;
    }
    case Track::JumpHeight: {
        Jumper& jumper = m_jumpers[serial];
        if (value <= 0 || value == jumper.heightCm)
            return;
        jumper.heightCm = value;
        ++jumper.jumps;
        break;
    }
    default:
        return;
    }
    Q_EMIT changed();
}

QVariantList LiveFeedback::feet() const
{
    QVariantList result;
    for (auto it = m_feet.cbegin(); it != m_feet.cend(); ++it) {
        const int index = result.size();
        result.append(QVariantMap {
            { QStringLiteral("serial"), QString::number(it.key(), 16) },
            { QStringLiteral("foot"), index == 0 ? QStringLiteral("left") : index == 1 ? QStringLiteral("right") : QString() },
            { QStringLiteral("contactMs"), it.value().contactMs },
            { QStringLiteral("steps"), it.value().steps },
        });
    }
    return result;
}

QVariantList LiveFeedback::jumps() const
{
    QVariantList result;
    for (auto it = m_jumpers.cbegin(); it != m_jumpers.cend(); ++it) {
        result.append(QVariantMap {
            { QStringLiteral("serial"), QString::number(it.key(), 16) },
            { QStringLiteral("heightCm"), it.value().heightCm },
            { QStringLiteral("jumps"), it.value().jumps },
        });
    }
    return result;
}
