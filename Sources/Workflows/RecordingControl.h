#pragma once

#include <QObject>
#include <QSet>
#include <QString>

#include <functional>

class SetFeature;

// The state of a recording on the sensors: from an accepted start until
// every sensor has answered its stop (or is gone). It tells why a recording
// cannot start, and follows the answers to a stop.
class RecordingControl : public QObject
{
    Q_OBJECT
public:
    using ActivityQuery = std::function<bool()>;

    explicit RecordingControl(QObject* parent = nullptr);

    bool isRecording() const { return m_recordingId != 0; }
    quint64 recordingId() const { return m_recordingId; }

    // What else runs on the sensors and forbids a recording.
    void setLiveViewQuery(ActivityQuery query) { m_liveViewRunning = std::move(query); }
    void setSetupQuery(ActivityQuery query) { m_setupRunning = std::move(query); }
    void setEraseQuery(ActivityQuery query) { m_eraseRunning = std::move(query); }
    // Why a recording cannot start now, for the user; empty when it can.
    QString refusal(bool anySensor) const;

    void started(quint64 measurementId);

    // A stop: begun, then one stop command per sensor (each watched for its
    // answer) of which those that were queued are awaited, then ended. A
    // stop begun anew replaces the one before.
    void beginStop();
    SetFeature* stopCommand(quint64 serial);
    void awaitAnswer(quint64 serial) { m_awaited.insert(serial); }
    void endStop();

Q_SIGNALS:
    void recordingChanged();
    // Every sensor has answered the stop; the id of the recording (0 when
    // none was known to run).
    void stopped(quint64 measurementId);
    void stopNotConfirmed(quint64 deviceSerial);

private:
    void answered(quint64 serial);

    ActivityQuery m_liveViewRunning;
    ActivityQuery m_setupRunning;
    ActivityQuery m_eraseRunning;
    quint64 m_recordingId = 0;
    quint64 m_stoppingId = 0;
    QSet<quint64> m_awaited;
    quint64 m_generation = 0;
    bool m_collecting = false;
};
