#pragma once

#include "Protocol/AppController.h"

#include <QList>
#include <QMap>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QTimer>
#include <QVariantMap>

#include <functional>

class LiveFeedback;
class Message;
class ParseLiveStream;

// Starts and stops the live stream of every connected sensor. A start makes
// a new measurement on the host, gives every sensor its id, installs per
// sensor a listener for the stream header and one for the stream, and
// switches streaming on over the link the sensor is connected by (USB or
// Bluetooth). While the stream runs, every sensor is asked for its state
// twice a second, which keeps the stream going.
//
// What was streamed is kept like a recording. Each sensor's track list is
// saved however its stream ends: once the sensor confirms the stream is off
// (after the bytes that came with the confirmation have been parsed), when
// the sensor is lost, when a new stream is started, and on the way out.
class LiveController : public AppController
{
    Q_OBJECT
    Q_PROPERTY(bool streaming READ isStreaming NOTIFY streamingChanged)
    // The last contact time of each foot and the last jump height of each
    // sensor in the current or last stream (LiveFeedback).
    Q_PROPERTY(QObject* feedback READ feedbackObject CONSTANT)
public:
    static constexpr int kKeepAliveIntervalMs = 500;
    using ActivityQuery = std::function<bool()>;

    LiveController(QObject* parent, DeviceManager* deviceManager, MeasurementController* measurementController,
                   StateController* stateController);

    quint64 liveMeasurementId() const { return m_liveMeasurementId; }
    bool isStreaming() const { return m_keepAliveTimer.isActive(); }
    LiveFeedback* feedback() const { return m_feedback; }
    // Saves what the current or last stream holds that is not saved yet.
    // The root calls it on the way out.
    void saveStreamedData();
    // What runs elsewhere and forbids a live view: a recording, a setup.
    void setRecordingQuery(ActivityQuery query) { m_recordingRunning = std::move(query); }
    void setSetupQuery(ActivityQuery query) { m_setupRunning = std::move(query); }

    // How whole the sensor's stream of the current or last live view is so
    // far (see DataQuality::toVariantMap); an empty map when it has none.
    Q_INVOKABLE QVariantMap liveQuality(QString deviceSerial);

Q_SIGNALS:
    void liveStreamStarted(QString streamID, QString deviceSerial);
    // The stream of that measurement has been told to stop; its plots can
    // stop redrawing.
    void liveStreamStopped(QString streamID);
    void newLiveValue(quint32 id, double value);
    void streamingChanged();

public Q_SLOTS:
    void startLiveStream();
    void stopLiveStream();
    void streamStopped(quint64 devSerial);
    void StreamKeepAlive();
    void receivedDataFromDevice(quint64 DeviceSerial, QByteArray dataReceived, quint64 bufferOffset) override;

private Q_SLOTS:
    void sensorLost(quint64 deviceSerial);

private:
    QObject* feedbackObject() const;
    void prepareLiveStream();
    // Whether a state query to the device is still waiting to go out or
    // for its reply: a silent sensor must not pile them up.
    bool hasStateQueryPending(quint64 serial);
    // Saves the sensor's track list of the live measurement, if it has one
    // and it is not saved yet.
    void saveLiveTrackList(quint64 serial);
    // The stream of the sensor is over: its window is emptied and its list saved.
    void endStream(quint64 serial);

    ActivityQuery m_recordingRunning;
    ActivityQuery m_setupRunning;
    QTimer m_keepAliveTimer;
    quint64 m_liveMeasurementId = 0;
    // The sensors the current or last stream was started on, and those of
    // them whose list has not been saved since.
    QList<quint64> m_streamDevices;
    QSet<quint64> m_unsaved;
    // The stream listeners of the current or last live view, for the
    // sample groups they had to drop.
    QMap<quint64, QPointer<ParseLiveStream>> m_streamParsers;
    // Sensors whose stream was confirmed off during the window being handed
    // on; they are done with once every listener has seen that window.
    QSet<quint64> m_ending;
    int m_deliveries = 0;
    LiveFeedback* m_feedback = nullptr;
};
