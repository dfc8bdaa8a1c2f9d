#include "Workflows/UploadController.h"

#include "Application/Helper.h"
#include "Application/NotificationHub.h"
#include "Data/Measurement.h"
#include "Data/MeasurementController.h"
#include "Data/MeasurementsModel.h"
#include "Devices/DeviceManager.h"
#include "Log/LogCategories.h"
#include "Protocol/GetTopState.h"
#include "Protocol/SetFeature.h"
#include "Protocol/UploadDataPage.h"
#include "Protocol/UploadHeader.h"
#include "Workflows/AllocationTables.h"
#include "Workflows/TableRound.h"
#include "Workflows/FlashEraser.h"
#include "Workflows/PendingUploads.h"
#include "Workflows/RecordingControl.h"
#include "Workflows/SensorIdentifier.h"
#include "Workflows/UploadAttempts.h"
#include "Workflows/UploadOutcome.h"

#include <QDebug>
#include <QStringList>

#include <limits>

namespace {

const FlashAddress kFirstErasedBlock(0, 1, 0);
const FlashAddress kLastErasedBlock(1, 4095, 0);

QString hex(quint64 value)
{
    return QString::number(value, 16);
}

bool parseHex(const QString& text, quint64& value)
{
    bool ok = false;
    value = text.toULongLong(&ok, 16);
    return ok;
}

} // namespace

UploadController::UploadController(QObject* parent, DeviceManager* deviceManager,
                                   MeasurementController* measurementController, StateController* stateController)
    : AppController(parent, deviceManager, measurementController, stateController)
    , m_readers(measurementController, deviceManager)
    , m_outcome(measurementController)
{
    m_identifier = new SensorIdentifier([this](Message* message) { queue(message); },
                                        [this](quint64 serial) { return isDeviceOnline(serial); }, this);
    connect(m_identifier, &SensorIdentifier::started, this,
            [this](quint64 serial) { Q_EMIT identifyingSensor(hex(serial)); });
    connect(m_identifier, &SensorIdentifier::finished, this, &UploadController::identifyingFinished);
    m_recording = new RecordingControl(this);
    m_recording->setEraseQuery([this] { return isErasing(); });
    connect(m_recording, &RecordingControl::recordingChanged, this, &UploadController::recordingChanged);
    connect(m_recording, &RecordingControl::stopNotConfirmed, this, [](quint64 serial) {
        NotificationHub::instance()->sendWarning(
            tr("Sensor %1 did not confirm the end of the recording.").arg(Helper::idText(serial)));
    });
    connect(m_recording, &RecordingControl::stopped, this, [this](quint64 id) {
        // The new recording is in the sensors' tables now.
        uploadMATfromAllDevices();
        Q_EMIT recordingStopped(id != 0 ? hex(id) : QString());
    });
    m_eraser = new FlashEraser([this](Message* message) { return queue(message); },
                               [this](Message* message) { dropMessage(message); }, this);
    connect(m_eraser, &FlashEraser::erasingChanged, this, &UploadController::erasingChanged);
    connect(m_eraser, &FlashEraser::progressChanged, this, &UploadController::eraseProgressChanged);
    connect(m_eraser, &FlashEraser::complete, this, [this](int sensors) {
        Q_EMIT eraseComplete(sensors);
        readTablesOf(m_eraser->sensors());
    });
    connect(m_eraser, &FlashEraser::failed, this, [this](const QString& serial, const QString& reason) {
        NotificationHub::instance()->sendWarning(reason);
        Q_EMIT eraseFailed(serial, reason);
        readTablesOf(m_eraser->sensors());
    });
    m_tables = new AllocationTables(this, measurementController, this);
    m_pending = new PendingUploads(
        m_active, m_tables, [this](quint64 serial) { return isDeviceOnline(serial); },
        [this](quint64 serial, quint64 id) { return uploadMeasurementFromDevice(hex(serial), hex(id)); }, this);
    connect(m_pending, &PendingUploads::checkDue, this, &UploadController::CheckAllPendingUploads);
    connect(m_pending, &PendingUploads::changed, this, &UploadController::updatePagesToUpload);
    connect(m_tables, &AllocationTables::tableParsed, this, &UploadController::deviceMATcomplete);
    m_tableRound = new TableRound(this);
    connect(m_tables, &AllocationTables::tableFailed, m_tableRound, &TableRound::missed);
    connect(m_tableRound, &TableRound::finished, this, &UploadController::tablesRead);
    if (deviceManager != nullptr) {
        // Made before anyone else hears of the connection, so that a table
        // read asked for on it knows the sensor is new.
        connect(deviceManager, &DeviceManager::deviceConnected, m_tables, &AllocationTables::sensorJoined);
        connect(deviceManager, &DeviceManager::deviceDisconnected, m_tables, &AllocationTables::sensorLeft);
        connect(deviceManager, &DeviceManager::deviceFirmwareChanged, m_tables, &AllocationTables::sensorKnown);
        connect(deviceManager, &DeviceManager::deviceDisconnected, m_eraser, &FlashEraser::sensorLost);
        connect(deviceManager, &DeviceManager::deviceDisconnected, m_tableRound, &TableRound::missed);
    }
}

// Recording

QString UploadController::startRecording()
{
    const QString refusal = m_recording->refusal(!connectedSerials().isEmpty());
    if (!refusal.isEmpty()) {
        qCDebug(lcWorkflows) << " Recording not started: " << refusal;
        NotificationHub::instance()->sendWarning(refusal);
        return QString();
    }
    const quint64 id = generateNewMeasurement();
    if (id == 0) {
        NotificationHub::instance()->sendWarning(tr("The recording could not be created."));
        return QString();
    }
    m_recording->started(id);
    const QList<quint64> serials = connectedSerials();
    for (const quint64 serial : serials) {
        qCDebug(lcWorkflows) << "Start recording on sensor: " << hex(serial);
        queue(new SetFeature(serial, SetFeature::RecordToFlash, true));
        requestDeviceState(serial);
    }
    return hex(id);
}

void UploadController::stopRecording()
{
    m_recording->beginStop();
    const QList<quint64> serials = connectedSerials();
    for (const quint64 serial : serials) {
        // Whatever this workflow had queued for the sensor goes first. An
        // upload dropped that way stays pending, and is queued again only
        // behind the stop.
        if (queue(m_recording->stopCommand(serial), true))
            m_recording->awaitAnswer(serial);
        queue(new GetTopState(serial));
        requestDeviceState(serial);
    }
    m_recording->endStop();
}

// Erasing

void UploadController::deleteAllDataBlocks()
{
    const QString refusal = m_eraser->refusal(isRecording(), !connectedSerials().isEmpty());
    if (!refusal.isEmpty()) {
        NotificationHub::instance()->sendWarning(refusal);
        return;
    }
    m_eraser->start(connectedSerials(), kFirstErasedBlock.toQuint32(), kLastErasedBlock.toQuint32());
}

void UploadController::readTablesOf(const QList<quint64>& serials)
{
    for (const quint64 serial : serials) {
        if (isDeviceOnline(serial))
            m_tables->read(serial);
    }
}

// Allocation tables

void UploadController::uploadMatFromDevice(QString deviceSerial)
{
    quint64 serial = 0;
    if (parseHex(deviceSerial, serial))
        m_tables->read(serial);
}

void UploadController::uploadMATfromAllDevices()
{
    const QList<quint64> serials = connectedSerials();
    m_tableRound->start(serials);
    for (const quint64 serial : serials)
        uploadMatFromDevice(hex(serial));
}

void UploadController::uploadAllMeasurementsFromDevice(quint64 deviceSerial)
{
    qCDebug(lcWorkflows) << "Upload all measurements from device: " << hex(deviceSerial);
    m_tables->readOnceKnown(deviceSerial);
}

void UploadController::uploadAllMeasurementsFromDevice(QString deviceSerialString)
{
    uploadMatFromDevice(deviceSerialString);
}

void UploadController::deviceMATcomplete(quint64 deviceSerial)
{
    m_tables->markRead(deviceSerial);
    int count = 0;
    if (MeasurementController* measurements = measurementController())
        count = measurements->getMeasurementsOnDeviceModel(deviceSerial)->rowCount();
    qCDebug(lcWorkflows) << " Device MAT is complete for device: " << hex(deviceSerial)
                         << " Number of measurements on device : " << count;
    m_tableRound->read(deviceSerial, count);
    updatePagesToUpload();
    if (count > 0)
        CheckPendingUploads(deviceSerial);
    else
        qCDebug(lcWorkflows) << " nothing to upload for device: " << hex(deviceSerial);
}

// Scheduling and running uploads

void UploadController::uploadMeasurement(QString measurementIdStr)
{
    qCDebug(lcWorkflows) << " Uploading measurement: " << measurementIdStr;
    uploadMATfromAllDevices();
    quint64 id = 0;
    if (!parseHex(measurementIdStr, id) || deviceManager() == nullptr)
        return;
    const int total = deviceManager()->numberOfDevicesTotal();
    for (int index = 0; index < total; ++index)
        scheduleUpload(deviceManager()->getDeviceSerial(index), id);
}

void UploadController::uploadEveryRecording(QString deviceSerial)
{
    quint64 serial = 0;
    MeasurementController* measurements = measurementController();
    if (!parseHex(deviceSerial, serial) || measurements == nullptr)
        return;
    const MeasurementsModel* listed = measurements->getMeasurementsOnDeviceModel(serial);
    // The list is newest first; the oldest is uploaded first.
    for (int row = 0; row < listed->rowCount(); ++row) {
        if (const Measurement* recording = listed->getMeasurement(row))
            scheduleUpload(serial, recording->getMeasurementID());
    }
}

void UploadController::scheduleUpload(quint64 deviceId, quint64 measurementId)
{
    // A fresh request from the user gets fresh chances.
    m_outcome.forget(deviceId, measurementId);
    m_pending->add(deviceId, measurementId);
}

void UploadController::CheckAllPendingUploads()
{
    bool pending = false;
    const QList<quint64> serials = connectedSerials();
    for (const quint64 serial : serials) {
        if (CheckPendingUploads(serial))
            pending = true;
    }
    if (!pending) {
        qCDebug(lcWorkflows) << " No more uploads pending, stop upload timer.";
        m_pending->stopChecking();
    }
}

bool UploadController::CheckPendingUploads(quint64 deviceSerial)
{
    return m_pending->check(deviceSerial);
}

bool UploadController::uploadMeasurementFromDevice(QString deviceSerial, QString measurementIdStr)
{
    quint64 serial = 0;
    quint64 id = 0;
    const bool serialOk = parseHex(deviceSerial, serial);
    const bool idOk = parseHex(measurementIdStr, id);
    qCDebug(lcWorkflows) << "Upload of measurement" << measurementIdStr << "from device" << deviceSerial;
    if (!serialOk || !idOk)
        return false;
    MeasurementController* measurements = measurementController();
    if (measurements == nullptr)
        return false;
    // One upload per sensor at a time: two readers would share the sensor's
    // queue and, for one measurement, its track list.
    if (const quint64 running = m_active.measurementOf(serial)) {
        qCDebug(lcWorkflows) << " Device " << hex(serial) << " is uploading measurement " << hex(running);
        return false;
    }

    Measurement* deviceMeasurement = measurements->getMeasurementOnDeviceById(serial, id);
    if (deviceMeasurement == nullptr) {
        uploadMeasurementFromDeviceFailed(serial, id);
        return false;
    }
    UploadReaders::Plan plan;
    if (!m_readers.plan(serial, deviceMeasurement, plan))
        return false;
    // A header page that cannot be read leaves the data pages nowhere to
    // go: the upload breaks off (and is tried again) instead of ending as
    // if it had been read.
    UploadHeader* header = plan.header;
    connect(header, &Message::messageFailed, this, [this, header, serial] {
        if (header->failed())
            dropActiveReader(serial);
    });
    const bool headerQueued = queue(header);
    UploadDataPage* reader = plan.reader;
    // Saving is done here rather than by the registry on its own, so that
    // the end of an upload is reported from what was written.
    connect(reader, &UploadDataPage::uploadDone, this, &UploadController::readerFinished, Qt::UniqueConnection);
    connect(reader, &UploadDataPage::uploadAborted, this, &UploadController::uploadAborted, Qt::UniqueConnection);
    connect(reader, &UploadDataPage::uploadPageDone, this, &UploadController::pageStored);
    connect(reader, &UploadDataPage::uploadPageEmpty, this, &UploadController::pageEmpty);
    connect(reader, &UploadDataPage::uploadRewound, this, &UploadController::readingAgain);
    if (!queue(reader))
        return false;

    m_active.begin(serial, plan.upload);
    const double fraction = ActiveUploads::fraction(plan.upload);
    if (fraction >= 0.0 && fraction < 1.0)
        announceProgress(serial, fraction);
    return headerQueued;
}

void UploadController::pageStored(quint64 DeviceSerial, quint64 MeasurementId, quint32 Address)
{
    const ActiveUploads::Upload* upload = m_active.pageStored(DeviceSerial, MeasurementId, Address);
    if (upload == nullptr)
        return;
    // The whole of it is announced once it is saved as well.
    const double fraction = ActiveUploads::fraction(*upload);
    if (fraction >= 0.0 && fraction < 1.0)
        announceProgress(DeviceSerial, fraction);
    updatePagesToUpload();
}

void UploadController::pageEmpty(quint64 DeviceSerial, quint64 MeasurementId, quint32 Address)
{
    m_active.pageEmpty(DeviceSerial, MeasurementId, Address);
}

void UploadController::readingAgain(quint64 DeviceSerial, quint64 MeasurementId, quint32 Address)
{
    const ActiveUploads::Upload* upload = m_active.rewound(DeviceSerial, MeasurementId, Address);
    if (upload == nullptr)
        return;
    qCDebug(lcWorkflows) << " Stored data of measurement " << hex(MeasurementId) << " from device "
                         << hex(DeviceSerial) << " does not match its progress, reading it all again.";
    const double fraction = ActiveUploads::fraction(*upload);
    if (fraction >= 0.0)
        announceProgress(DeviceSerial, fraction);
    updatePagesToUpload();
}

void UploadController::announceProgress(quint64 serial, double fraction)
{
    const ActiveUploads::Upload* upload = m_active.find(serial);
    if (upload == nullptr)
        return;
    refreshCard(serial, upload->measurementId);
    Q_EMIT uploadProgress(hex(serial), hex(upload->measurementId), fraction);
}

void UploadController::dropActiveReader(quint64 serial)
{
    const ActiveUploads::Upload* upload = m_active.find(serial);
    if (upload != nullptr && !upload->reader.isNull())
        dropMessage(upload->reader.data());
}

void UploadController::dropMessage(Message* message)
{
    const quint64 serial = message->getDeviceSerial();
    if (scheduledMessages(serial)->contains(message)) {
        removeScheduledMessage(message);
        message->disposalHook();
    } else if (activeMessages(serial)->contains(message)) {
        removeActiveMessage(message);
    }
}

void UploadController::refreshCard(quint64 serial, quint64 id)
{
    if (MeasurementController* measurements = measurementController())
        measurements->getMeasurementsOnDeviceModel(serial)->refreshUploadState(id);
}

void UploadController::giveUp(quint64 serial, quint64 id, const QString& reason)
{
    qCDebug(lcWorkflows) << " Upload of measurement " << hex(id) << " from device " << hex(serial)
                         << " given up: " << reason;
    NotificationHub::instance()->sendWarning(reason);
    refreshCard(serial, id);
    Q_EMIT uploadFailed(hex(serial), hex(id), reason);
}

void UploadController::readerFinished(quint64 DeviceSerial, quint64 MeasurementId)
{
    ActiveUploads::Upload* upload = m_active.find(DeviceSerial, MeasurementId);
    if (upload == nullptr)
        return;
    const UploadOutcome::Verdict verdict = m_outcome.finished(DeviceSerial, MeasurementId, upload->reader.data());
    switch (verdict.kind) {
    case UploadOutcome::Kind::Complete:
        announceProgress(DeviceSerial, 1.0);
        qCDebug(lcWorkflows) << " Upload of measurement " << hex(MeasurementId) << " from device "
                             << hex(DeviceSerial) << " complete; sample groups that failed their check: "
                             << upload->reader->maskFailures();
        Q_EMIT uploadComplete(hex(DeviceSerial), hex(MeasurementId));
        break;
    case UploadOutcome::Kind::NotSaved:
        Q_EMIT uploadFailed(hex(DeviceSerial), hex(MeasurementId), verdict.reason);
        break;
    default:
        giveUp(DeviceSerial, MeasurementId, verdict.reason);
        break;
    }
    refreshCard(DeviceSerial, MeasurementId);
    removeFromActiveUploads(DeviceSerial, MeasurementId);
}

void UploadController::uploadMeasurementFromDeviceFailed(quint64 DeviceSerial, quint64 MeasurementId)
{
    qCDebug(lcWorkflows) << " Upload failed for measurement " << hex(MeasurementId) << " and device "
                         << hex(DeviceSerial);
    m_pending->remove(DeviceSerial, MeasurementId);
    // Most sensors do not hold a given recording; that is only worth
    // saying when none does and none is still to be asked.
    if (m_pending->entries().values().contains(MeasurementId) || m_active.isUploading(MeasurementId))
        return;
    if (measurementController() == nullptr || deviceManager() == nullptr || m_readers.anySensorHolds(MeasurementId))
        return;
    NotificationHub::instance()->sendWarning(
        tr("No sensor holds recording %1 any more, so it cannot be uploaded.").arg(Helper::idText(MeasurementId)));
}

void UploadController::removeFromActiveUploads(quint64 DeviceSerial, quint64 MeasurementId)
{
    if (m_active.find(DeviceSerial, MeasurementId) == nullptr)
        return;
    m_active.end(DeviceSerial);
    updatePagesToUpload();
    CheckPendingUploads(DeviceSerial);
}

void UploadController::uploadAborted(quint64 DeviceSerial, quint64 MeasurementId)
{
    ActiveUploads::Upload* upload = m_active.find(DeviceSerial, MeasurementId);
    if (upload == nullptr)
        return;
    const ActiveUploads::Upload ended = *upload;
    m_active.end(DeviceSerial);
    const UploadOutcome::Verdict verdict =
        m_outcome.aborted(DeviceSerial, MeasurementId, ended, isDeviceOnline(DeviceSerial));
    refreshCard(DeviceSerial, MeasurementId);
    if (!verdict.warning.isEmpty())
        NotificationHub::instance()->sendWarning(verdict.warning);
    if (verdict.kind == UploadOutcome::Kind::Resume) {
        qCDebug(lcWorkflows) << " Upload of measurement " << hex(MeasurementId) << " from device "
                             << hex(DeviceSerial) << " broke off; it goes on when the device can be reached.";
        m_pending->resume(DeviceSerial, MeasurementId);
    } else {
        giveUp(DeviceSerial, MeasurementId, verdict.reason);
    }
    updatePagesToUpload();
    CheckPendingUploads(DeviceSerial);
}

int UploadController::pagesToUpload() const
{
    const qint64 pages = m_active.pagesLeft() + m_readers.pendingPages(m_pending->entries(), m_active);
    return int(qMin<qint64>(pages, std::numeric_limits<int>::max()));
}

void UploadController::updatePagesToUpload()
{
    const int pages = pagesToUpload();
    if (pages == m_pagesToUpload)
        return;
    m_pagesToUpload = pages;
    Q_EMIT pagesToUploadChanged(pages);
}

// Identifying

void UploadController::identifySensor(QString deviceSerial)
{
    qCDebug(lcWorkflows) << " Identify Sensor: " << deviceSerial;
    m_identifier->identify(Helper::quint64FromHex(deviceSerial));
}

void UploadController::identifySensors(QStringList deviceSerials)
{
    for (const QString& serial : qAsConst(deviceSerials))
        identifySensor(serial);
}

void UploadController::identifySensorSlot()
{
    m_identifier->step();
}

void UploadController::DeviceTracksParsed()
{
    qCDebug(lcWorkflows) << " Device Tracks parsed completely. ";
}

bool UploadController::hasReadTable(quint64 deviceSerial) const
{
    return m_tables->isRead(deviceSerial);
}
