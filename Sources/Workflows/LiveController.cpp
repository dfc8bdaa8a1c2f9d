#include "Workflows/LiveController.h"

#include "Application/Helper.h"
#include "Application/NotificationHub.h"
#include "Data/AnalysisExport.h"
#include "Data/Measurement.h"
#include "Data/MeasurementController.h"
#include "Data/QualityFile.h"
#include "Devices/DeviceManager.h"
#include "Devices/KtDevice.h"
#include "Log/LogCategories.h"
#include "Protocol/GetTopState.h"
#include "Protocol/LiveStreamParseHeader.h"
#include "Protocol/ParseLiveStream.h"
#include "Protocol/SetFeature.h"
#include "Workflows/LiveFeedback.h"

#include <QDebug>

#include <utility>

namespace {

QString hex(quint64 value)
{
    return QString::number(value, 16);
}

} // namespace

LiveController::LiveController(QObject* parent, DeviceManager* deviceManager,
                               MeasurementController* measurementController, StateController* stateController)
    : AppController(parent, deviceManager, measurementController, stateController)
    , m_feedback(new LiveFeedback(this, measurementController))
{
    m_keepAliveTimer.setInterval(kKeepAliveIntervalMs);
    m_keepAliveTimer.setSingleShot(false);
    connect(&m_keepAliveTimer, &QTimer::timeout, this, &LiveController::StreamKeepAlive);
    // After the scheduler's own handling, which drops the sensor's listeners
    // (what they stored stays in the lists).
    if (deviceManager != nullptr)
        connect(deviceManager, &DeviceManager::deviceDisconnected, this, &LiveController::sensorLost);
}

void LiveController::startLiveStream()
{
    // A new stream would give the sensors a new measurement id in the
    // middle of their recording, and switch a setup's sensors to streaming.
    QString refusal;
    if (m_recordingRunning && m_recordingRunning())
        refusal = tr("Stop the recording before you start the live view.");
    else if (m_setupRunning && m_setupRunning())
        refusal = tr("Wait until the sensors are set up before you start the live view.");
    if (!refusal.isEmpty()) {
        qCDebug(lcWorkflows) << " Live view not started: " << refusal;
        NotificationHub::instance()->sendWarning(refusal);
        return;
    }
    const bool wasStreaming = isStreaming();
    prepareLiveStream();
    if (deviceManager() != nullptr) {
        for (const quint64 serial : qAsConst(m_streamDevices)) {
            queue(new SetFeature(serial, SetFeature::Feature2, false));
            const KtDevice* device = deviceManager()->getDeviceBySerial(serial);
            const bool usb = device != nullptr && device->getUsbConnected();
            // One stream per sensor: one left on from before would come in
            // on the other link as a second copy of every sample.
            queue(new SetFeature(serial, usb ? SetFeature::LiveStreamBluetooth : SetFeature::LiveStreamUsb, false));
            queue(new SetFeature(serial, usb ? SetFeature::LiveStreamUsb : SetFeature::LiveStreamBluetooth, true));
        }
    }
    m_keepAliveTimer.setInterval(kKeepAliveIntervalMs);
    m_keepAliveTimer.start();
    if (!wasStreaming)
        Q_EMIT streamingChanged();
}

void LiveController::prepareLiveStream()
{
    // The stream before this one ends here, whether or not its sensors
    // have confirmed that it is off: what it brought is kept.
    saveStreamedData();
    m_ending.clear();
    m_streamDevices = connectedSerials();
    for (const quint64 serial : qAsConst(m_streamDevices)) {
        qCDebug(lcWorkflows) << " Clear old listening messages before creating stream listeners.";
        clearMessageLists(serial);
        qCDebug(lcWorkflows) << " Clear device data buffers";
        deviceManager()->clearDeviceDataBuffers(serial);
    }

    m_liveMeasurementId = generateNewMeasurement();
    m_feedback->follow(m_liveMeasurementId);
    m_unsaved = QSet<quint64>(m_streamDevices.cbegin(), m_streamDevices.cend());
    MeasurementController* measurements = measurementController();
    // What a live view keeps is no recording: the processors and the
    // sprint lists leave it out.
    if (measurements != nullptr) {
        if (Measurement* live = measurements->getMeasurementOnHostById(m_liveMeasurementId))
            live->markAsLiveView();
    }
    m_streamParsers.clear();
    for (const quint64 serial : qAsConst(m_streamDevices)) {
        auto* headerParser = new LiveStreamParseHeader(serial);
        auto* streamParser = new ParseLiveStream(serial, m_liveMeasurementId);
        m_streamParsers.insert(serial, streamParser);
        qCDebug(lcWorkflows) << " headerParser generated: " << headerParser;
        qCDebug(lcWorkflows) << " Parse livestream generated " << streamParser;
        if (measurements != nullptr) {
            connect(headerParser, &ParseHeader::DeviceTrackFound, measurements,
                    &MeasurementController::DeviceTrackFound);
            connect(headerParser, &ParseHeader::DeviceTracksParsed, measurements,
                    &MeasurementController::trackListComplete);
            connect(measurements, &MeasurementController::DeviceTrackListChanged, streamParser,
                    &ParseDataStream::DeviceTrackListChanged);
        }
        connect(streamParser, &ParseDataStream::newLiveValue, this, &LiveController::newLiveValue);
        addListeningMessage(serial, headerParser);
        addListeningMessage(serial, streamParser);
        Q_EMIT liveStreamStarted(hex(m_liveMeasurementId), hex(serial));
    }
}

QObject* LiveController::feedbackObject() const
{
    return m_feedback;
}

bool LiveController::hasStateQueryPending(quint64 serial)
{
    for (const MessageList* list : {scheduledMessages(serial), activeMessages(serial)}) {
        for (const Message* message : *list) {
            if (qobject_cast<const GetTopState*>(message) != nullptr)
                return true;
        }
    }
    return false;
}

void LiveController::StreamKeepAlive()
{
    const QList<quint64> serials = connectedSerials();
    for (const quint64 serial : serials) {
        if (!hasStateQueryPending(serial))
            queue(new GetTopState(serial));
    }
}

void LiveController::stopLiveStream()
{
    const bool wasStreaming = isStreaming();
    m_keepAliveTimer.stop();
    if (wasStreaming)
        Q_EMIT streamingChanged();
    const QList<quint64> serials = connectedSerials();
    for (const quint64 serial : serials) {
        auto* usbOff = new SetFeature(serial, SetFeature::LiveStreamUsb, false);
        auto* bluetoothOff = new SetFeature(serial, SetFeature::LiveStreamBluetooth, false);
        // The stream is over once both are off: a sensor streaming over
        // Bluetooth still sends after the USB stream has been switched off,
        // and its list is saved only when nothing more can come.
        connect(bluetoothOff, &Message::messageDone, this, &LiveController::streamStopped);
        queue(usbOff);
        queue(bluetoothOff);
    }
    // A sensor that went away while streaming will not confirm anything;
    // what came from it is kept now.
    for (const quint64 serial : qAsConst(m_streamDevices)) {
        if (!serials.contains(serial))
            saveLiveTrackList(serial);
    }
    if (m_liveMeasurementId != 0)
        Q_EMIT liveStreamStopped(hex(m_liveMeasurementId));
}

void LiveController::streamStopped(quint64 devSerial)
{
    // The confirmation may share its window with the last packets, which
    // the listeners are offered only after the reply has been handled.
    if (m_deliveries > 0) {
        m_ending.insert(devSerial);
        return;
    }
    endStream(devSerial);
}

void LiveController::endStream(quint64 serial)
{
    qCDebug(lcWorkflows) << " LiveController, stream stopped, clearing buffers.";
    if (deviceManager() != nullptr)
        deviceManager()->clearDeviceDataBuffers(serial);
    saveLiveTrackList(serial);
}

void LiveController::receivedDataFromDevice(quint64 DeviceSerial, QByteArray dataReceived, quint64 bufferOffset)
{
    ++m_deliveries;
    AppController::receivedDataFromDevice(DeviceSerial, dataReceived, bufferOffset);
    --m_deliveries;
    if (m_deliveries > 0 || m_ending.isEmpty())
        return;
    const QSet<quint64> ending = std::exchange(m_ending, {});
    for (const quint64 serial : ending)
        endStream(serial);
}

void LiveController::sensorLost(quint64 deviceSerial)
{
    // Everything it sent has been parsed; nothing more can come.
    m_ending.remove(deviceSerial);
    saveLiveTrackList(deviceSerial);
}

void LiveController::saveStreamedData()
{
    const QList<quint64> serials = m_streamDevices;
    for (const quint64 serial : serials)
        saveLiveTrackList(serial);
}

void LiveController::saveLiveTrackList(quint64 serial)
{
    if (!m_unsaved.remove(serial))
        return;
    if (m_liveMeasurementId == 0 || measurementController() == nullptr)
        return;
    Measurement* measurement = measurementController()->getMeasurementOnHostById(m_liveMeasurementId);
    // Only a list the stream filled: asking for another would make an empty one.
    if (measurement == nullptr || !measurement->getDevicesInMeasurement().contains(serial))
        return;
    if (!measurement->saveSingleTrackList(serial))
        qCDebug(lcWorkflows) << " Could not save the live track list of device " << hex(serial);
    DataQuality transfer;
    if (const ParseLiveStream* parser = m_streamParsers.value(serial))
        transfer.maskFailures = parser->maskFailures();
    QualityFile::update(measurement, serial, transfer);
}

QVariantMap LiveController::liveQuality(QString deviceSerial)
{
    const quint64 serial = Helper::quint64FromHex(deviceSerial);
    Measurement* measurement = m_liveMeasurementId != 0 && measurementController() != nullptr
        ? measurementController()->getMeasurementOnHostById(m_liveMeasurementId)
        : nullptr;
    if (measurement == nullptr || !measurement->getDevicesInMeasurement().contains(serial))
        return {};
    DataQuality quality = DataQuality::measure(measurement->getTrackList(serial));
    if (const ParseLiveStream* parser = m_streamParsers.value(serial))
        quality.maskFailures = parser->maskFailures();
    return quality.toVariantMap(AnalysisExport::baseFrequencyOf(measurement));
}
