#include "Workflows/RecordingControl.h"

#include "Protocol/SetFeature.h"

#include <utility>

RecordingControl::RecordingControl(QObject* parent)
    : QObject(parent)
{
}

QString RecordingControl::refusal(bool anySensor) const
{
    if (isRecording())
        return tr("Stop the recording before you start a new one.");
    if (m_liveViewRunning && m_liveViewRunning())
        return tr("Stop the live view before you start a recording.");
    if (m_setupRunning && m_setupRunning())
        return tr("Wait until the sensors are set up before you start a recording.");
    if (m_eraseRunning && m_eraseRunning())
        return tr("Wait until the erase has finished before you start a recording.");
    if (!anySensor)
        return tr("Connect a sensor before you start a recording.");
    return QString();
}

void RecordingControl::started(quint64 measurementId)
{
    if (measurementId == 0 || measurementId == m_recordingId)
        return;
    m_recordingId = measurementId;
    Q_EMIT recordingChanged();
}

void RecordingControl::beginStop()
{
    // Answers to (or the abort of) an earlier stop no longer count.
    ++m_generation;
    m_awaited.clear();
    if (m_recordingId != 0)
        m_stoppingId = m_recordingId;
    m_collecting = true;
}

SetFeature* RecordingControl::stopCommand(quint64 serial)
{
    auto* stop = new SetFeature(serial, SetFeature::RecordToFlash, false);
    const quint64 generation = m_generation;
    const auto outcome = [this, generation, stop](quint64 DeviceSerial) {
        if (generation != m_generation)
            return;
        // A refusal is sent again after its reply time-out.
        if (!stop->done() && !stop->failed())
            return;
        if (stop->failed())
            Q_EMIT stopNotConfirmed(DeviceSerial);
        answered(DeviceSerial);
    };
    connect(stop, &Message::messageDone, this, outcome);
    connect(stop, &Message::messageFailed, this, outcome);
    // Dropped: the sensor is gone, and nothing more comes from it.
    connect(stop, &Message::messageAborted, this, [this, generation](quint64 DeviceSerial) {
        if (generation == m_generation)
            answered(DeviceSerial);
    });
    return stop;
}

void RecordingControl::endStop()
{
    m_collecting = false;
    if (m_awaited.isEmpty())
        answered(0);
}

void RecordingControl::answered(quint64 serial)
{
    m_awaited.remove(serial);
    if (m_collecting || !m_awaited.isEmpty())
        return;
    ++m_generation;
    const quint64 id = std::exchange(m_stoppingId, 0);
    if (m_recordingId != 0) {
        m_recordingId = 0;
        Q_EMIT recordingChanged();
    }
    Q_EMIT stopped(id);
}
