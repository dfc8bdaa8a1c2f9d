#include "Workflows/SetupController.h"

#include <algorithm>

#include "Application/NotificationHub.h"
#include "Data/Track.h"
#include "Devices/DeviceManager.h"
#include "Log/LogCategories.h"
#include "Protocol/AddTrack.h"
#include "Protocol/Message.h"
#include "Protocol/ResetTracks.h"
#include "Protocol/SetBaseFreq.h"
#include "Protocol/SetDeviceColor.h"
#include "Protocol/SetFeature.h"
#include "Protocol/StoreSettings.h"

#include <QDebug>

namespace {

// Every track the controller adds itself is shown.
const quint8 kVisible = 1;

} // namespace

SetupController::SetupController(QObject* parent, DeviceManager* deviceManager,
                                 MeasurementController* measurementController, StateController* stateController)
    : AppController(parent, deviceManager, measurementController, stateController)
{
}

void SetupController::queue(Message* message)
{
    if (m_refused || !scheduleMessage(message, false)) {
        delete message; // refused before it was ever sent; nothing refers to it
        return;
    }
    m_setupCommands.insert(message);
    connect(message, &QObject::destroyed, this, [this, message]() { m_setupCommands.remove(message); });
    // Dropped before it was done: its sensor was lost (or the queues were
    // flushed), and that sensor is not set up.
    connect(message, &Message::messageAborted, this, &SetupController::setupCommandAborted);
}

void SetupController::setupCommandAborted(quint64 DeviceSerial)
{
    if (!m_setupRunning)
        return;
    qCDebug(lcWorkflows) << " SetupController, setup of device " << Qt::hex << DeviceSerial << " broke off.";
    // Ended first: the flush aborts the others, which are no news then.
    endSetup();
    FlushAllMessages();
    Q_EMIT setupFailed();
}

int SetupController::scheduledSetupCommands() const
{
    const MessageList scheduled = allScheduledMessages();
    return int(std::count_if(scheduled.cbegin(), scheduled.cend(),
                             [this](const Message* message) { return m_setupCommands.contains(message); }));
}

void SetupController::endSetup()
{
    m_setupFinishing = false;
    m_setupTaskTotal = 0;
    setRunning(false);
}

void SetupController::setRunning(bool running)
{
    if (m_setupRunning == running)
        return;
    m_setupRunning = running;
    Q_EMIT runningChanged();
}

void SetupController::addTracks(std::initializer_list<TrackRequest> tracks, quint32 dsf)
{
    // The sensor takes a 16-bit down-sampling factor; higher bits are dropped.
    const auto downSampling = quint16(dsf);
    const QList<quint64> serials = connectedSerials();
    for (const quint64 serial : serials) {
        for (const TrackRequest& track : tracks)
            queue(new AddTrack(serial, Track::TrackIDs(track.trackId), downSampling, kVisible, track.configId));
    }
}

void SetupController::reportProgress(const QString& text, double progress)
{
    NotificationHub::instance()->sendProgressConfig(text, progress);
}

void SetupController::prepareForSetup()
{
    m_baseFrequency = 0;
    // Reconfiguring a sensor stops its recording or stream; the user stops
    // that first.
    QString refusal;
    if (m_recordingRunning && m_recordingRunning())
        refusal = tr("Stop the recording before you set the sensors up.");
    else if (m_liveViewRunning && m_liveViewRunning())
        refusal = tr("Stop the live view before you set the sensors up.");
    m_refused = !refusal.isEmpty();
    if (m_refused) {
        qCDebug(lcWorkflows) << " Setup not started: " << refusal;
        NotificationHub::instance()->sendWarning(refusal);
        Q_EMIT setupFailed();
        return;
    }
    m_setupStarted = true;
    m_setupFinishing = false;
    m_setupTaskTotal = 0;
    setRunning(true);
    const QList<quint64> serials = connectedSerials();
    for (const quint64 serial : serials) {
        queue(new SetFeature(serial, SetFeature::ConfigurationMode, true));
        queue(new SetFeature(serial, SetFeature::RecordToFlash, false));
        queue(new SetFeature(serial, SetFeature::LiveStreamBluetooth, false));
        queue(new SetFeature(serial, SetFeature::LiveStreamUsb, false));
        queue(new ResetTracks(serial));
        queue(new SetFeature(serial, SetFeature::Feature2, false));
    }
}

void SetupController::finishSetup()
{
    qCDebug(lcWorkflows) << "Finishing Setup";
    if (m_refused) {
        // The setup that was refused ends here, without commands.
        m_refused = false;
        return;
    }
    const QList<quint64> serials = connectedSerials();
    for (const quint64 serial : serials) {
        queue(new SetFeature(serial, SetFeature::ConfigurationMode, false));
        queue(new StoreSettings(serial));
    }
    m_setupTaskTotal = quint32(scheduledSetupCommands());
    m_setupFinishing = m_setupRunning;
    reportProgress(tr("Setup in progress"), 0.0);
    // With nothing to send (no sensor connected) no reply will ever end the
    // setup; it ends here, without a result, so that a later idle moment is
    // not taken for its end.
    if (m_setupTaskTotal == 0 && numberOfActiveMessages() == 0)
        endSetup();
}

void SetupController::setDeviceColor(int Color)
{
    const QList<quint64> serials = connectedSerials();
    for (const quint64 serial : serials) {
        queue(new SetFeature(serial, SetFeature::ConfigurationMode, true));
        queue(new SetDeviceColor(serial, quint32(Color)));
    }
}

void SetupController::setupAccelerometerRawDataTracks()
{
    addTracks({{Track::AccX, 4}, {Track::AccY, 4}, {Track::AccZ, 4}, {Track::FusionRawDmp, 0}}, 0);
}

void SetupController::addQuaternionTrack(quint32 dsf)
{
    addTracks({{Track::FusionRawDmp, 2}}, dsf);
}

void SetupController::addRawMagnetoTracks(quint32 dsf)
{
    addTracks({{Track::MagX, 4}, {Track::MagY, 4}, {Track::MagZ, 4}}, dsf);
}

void SetupController::addRawAccelTracks(quint32 dsf)
{
    addTracks({{Track::AccX, 4}, {Track::AccY, 4}, {Track::AccZ, 4}}, dsf);
}

void SetupController::addRawAccelTrack(quint32 dsf, quint32 axis)
{
    switch (axis) {
    case 0:
        addTracks({{Track::AccX, 4}}, dsf);
        break;
    case 1:
        addTracks({{Track::AccY, 4}}, dsf);
        break;
    case 2:
        addTracks({{Track::AccZ, 4}}, dsf);
        break;
    default:
        break;
    }
}

void SetupController::addBatteryVoltageTrack(quint32 dsf)
{
    addTracks({{Track::BatteryVoltage, 0}}, dsf);
}

void SetupController::addChargingCurrentTrack(quint32 dsf)
{
    addTracks({{Track::BatteryChargeCurrent, 0}}, dsf);
}

void SetupController::addADCchannel3(quint32 dsf)
{
    addTracks({{Track::AdcValueChannel3, 0}}, dsf);
}

void SetupController::addADCchannel4(quint32 dsf)
{
    addTracks({{Track::AdcValueChannel4, 0}}, dsf);
}

void SetupController::addChargingStateTrack(quint32 dsf)
{
    addTracks({{Track::ChargingState, 0}}, dsf);
}

void SetupController::addRawGyroTracks(quint32 dsf)
{
    addTracks({{Track::GyrX, 4}, {Track::GyrY, 4}, {Track::GyrZ, 4}}, dsf);
}

void SetupController::addRawGyroTrack(quint32 dsf, quint32 axis)
{
    switch (axis) {
    case 0:
        addTracks({{Track::GyrX, 4}}, dsf);
        break;
    case 1:
        addTracks({{Track::GyrY, 4}}, dsf);
        break;
    case 2:
        addTracks({{Track::GyrZ, 4}}, dsf);
        break;
    default:
        break;
    }
}

void SetupController::addTrackToAllDevs(quint32 TrackID, quint16 DSF, quint8 visible, quint8 configID)
{
    // Track ids travel as 16 bits; only those reach the sensor.
    const auto trackId = Track::TrackIDs(quint16(TrackID));
    const QList<quint64> serials = connectedSerials();
    for (const quint64 serial : serials)
        queue(new AddTrack(serial, trackId, DSF, visible, configID));
}

void SetupController::setBaseFrequency(quint32 bf)
{
    m_baseFrequency = bf;
    const QList<quint64> serials = connectedSerials();
    for (const quint64 serial : serials)
        queue(new SetBaseFreq(serial, int(bf)));
}

void SetupController::addPressureTracks(quint32 dsf)
{
    addTracks({{Track::Pressure, 0}, {Track::Temperature, 0}, {Track::Altitude, 0}}, dsf);
}

void SetupController::addDSPTracks(quint32 dsf)
{
    // The sensor's algorithm channels are not configured through tracks yet.
    Q_UNUSED(dsf)
}

void SetupController::queryInitialState(quint64 DeviceSerial)
{
    requestDeviceState(DeviceSerial);
    requestDeviceFirmware(DeviceSerial);
}

void SetupController::messageFailed(quint64 DeviceSerial)
{
    Q_UNUSED(DeviceSerial)
    qCDebug(lcWorkflows) << " SetupController, message " << sender() << " failed.";
    const auto* message = qobject_cast<const Message*>(sender());
    // The state and firmware queries of a sensor that was just plugged in
    // have nothing to do with a setup running on the others.
    if (message == nullptr || !m_setupCommands.contains(message))
        return;
    // A refusal is answered by sending the command again after its reply
    // time-out; the setup is lost only when the command gives up.
    if (!message->failed())
        return;
    // A half-configured sensor is worse than an unconfigured one: drop the
    // rest everywhere and let the user repeat the setup.
    const bool wasRunning = m_setupRunning;
    endSetup();
    FlushAllMessages();
    if (wasRunning)
        Q_EMIT setupFailed();
}

void SetupController::updateNumberOfTasks()
{
    AppController::updateNumberOfTasks();
    if (m_setupTaskTotal > 0) {
        const double left = double(scheduledSetupCommands());
        const double progress = (double(m_setupTaskTotal) - left) * (1.0 / m_setupTaskTotal);
        reportProgress(tr("Setup in progress"), qBound(0.0, progress, 1.0));
    }
}

void SetupController::idleHook()
{
    qCDebug(lcWorkflows) << "SetupController is idle";
    // Idle moments outside a setup (a new sensor's queries answered) are
    // nobody's business.
    if (!m_setupFinishing)
        return;
    reportProgress(tr("Setup Done"), 1.0);
    qCDebug(lcWorkflows) << "SetupController is done";
    endSetup();
    // Measurements made from now on are counted in this frequency.
    if (m_baseFrequency > 0 && m_baseFrequency <= 0xFFFF)
        Q_EMIT baseFrequencyStored(quint16(m_baseFrequency));
    Q_EMIT setupDone();
}
