#pragma once

#include "Protocol/AppController.h"

#include <QSet>

#include <functional>

class Message;

// Configures every connected sensor before a recording: configuration mode
// on, recording and streaming off, a fresh track table, the tracks the user
// picked, base frequency and colour, and finally the settings stored in the
// sensor. Also asks each newly connected sensor for its state and firmware.
//
// Every slot acts on the sensors connected at the moment of the call and
// queues its commands per sensor; since each sensor's queue is sent in
// order, the commands reach a sensor in the order of the slot calls. Any
// command that gives up ends the whole setup on all sensors; a command the
// sensor refuses is sent again, like an unanswered one, before it gives up.
class SetupController : public AppController
{
    Q_OBJECT
    Q_PROPERTY(bool running READ isRunning NOTIFY runningChanged)
public:
    using ActivityQuery = std::function<bool()>;

    SetupController(QObject* parent, DeviceManager* deviceManager, MeasurementController* measurementController,
                    StateController* stateController);

    bool isSetupStarted() const { return m_setupStarted; }
    // From prepareForSetup() until the setup is done or has failed.
    bool isSetupRunning() const { return m_setupRunning; }
    bool isRunning() const { return m_setupRunning; }
    // What runs elsewhere and forbids a setup: a recording, a live view.
    void setRecordingQuery(ActivityQuery query) { m_recordingRunning = std::move(query); }
    void setLiveViewQuery(ActivityQuery query) { m_liveViewRunning = std::move(query); }
    quint32 setupTaskTotal() const { return m_setupTaskTotal; }

Q_SIGNALS:
    void setupDone();
    void setupFailed();
    // The sensors now sample at this base frequency (just before setupDone).
    void baseFrequencyStored(quint16 baseFrequency);
    void runningChanged();

public Q_SLOTS:
    void prepareForSetup();
    void finishSetup();
    void setDeviceColor(int Color);
    void setupAccelerometerRawDataTracks();
    void addQuaternionTrack(quint32 dsf);
    void addRawMagnetoTracks(quint32 dsf);
    void addRawAccelTracks(quint32 dsf);
    void addRawAccelTrack(quint32 dsf, quint32 axis);
    void addBatteryVoltageTrack(quint32 dsf);
    void addChargingCurrentTrack(quint32 dsf);
    void addADCchannel3(quint32 dsf);
    void addADCchannel4(quint32 dsf);
    void addChargingStateTrack(quint32 dsf);
    void addRawGyroTracks(quint32 dsf);
    void addRawGyroTrack(quint32 dsf, quint32 axis);
    void addTrackToAllDevs(quint32 TrackID, quint16 DSF, quint8 visible, quint8 configID);
    void setBaseFrequency(quint32 bf);
    void addPressureTracks(quint32 dsf);
    void addDSPTracks(quint32 dsf);
    void queryInitialState(quint64 DeviceSerial);
    void messageFailed(quint64 DeviceSerial) override;

private Q_SLOTS:
    void setupCommandAborted(quint64 DeviceSerial);

protected:
    void updateNumberOfTasks() override;
    void idleHook() override;

private:
    struct TrackRequest
    {
        quint16 trackId;
        quint8 configId;
    };

    // Queues a command of the setup, or drops it when its device is gone.
    void queue(Message* message);
    int scheduledSetupCommands() const;
    void endSetup();
    // AddTrack of each track, in order, for every connected device; visible 1.
    void addTracks(std::initializer_list<TrackRequest> tracks, quint32 dsf);
    void reportProgress(const QString& text, double progress);

    void setRunning(bool running);

    ActivityQuery m_recordingRunning;
    ActivityQuery m_liveViewRunning;
    // A setup refused at its start: its commands are not sent, up to the
    // next prepareForSetup().
    bool m_refused = false;
    bool m_setupStarted = false;
    bool m_setupRunning = false;
    // finishSetup() has been called: the next idle moment ends the setup.
    bool m_setupFinishing = false;
    // The base frequency of the setup being sent; 0 when it names none.
    quint32 m_baseFrequency = 0;
    quint32 m_setupTaskTotal = 0;
    // The configuration commands this controller has queued and not yet
    // deleted; the state and firmware queries of new sensors are not among
    // them, so they neither count towards a setup nor end one.
    QSet<const Message*> m_setupCommands;
};
