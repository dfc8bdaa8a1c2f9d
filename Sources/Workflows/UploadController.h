#pragma once

#include "Protocol/AppController.h"
#include "Protocol/FlashAddress.h"
#include "Workflows/ActiveUploads.h"
#include "Workflows/FlashEraser.h"
#include "Workflows/PendingUploads.h"
#include "Workflows/RecordingControl.h"
#include "Workflows/SensorIdentifier.h"
#include "Workflows/UploadAttempts.h"
#include "Workflows/UploadOutcome.h"
#include "Workflows/UploadReaders.h"

#include <QMap>
#include <QMultiMap>
#include <QPair>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

class AllocationTables;
class TableRound;
class Measurement;
class UploadDataPage;
class UploadHeader;
class UploadMAT;

// Everything that concerns the sensors' flash: starting and stopping
// recordings, reading each sensor's allocation table, uploading recorded
// measurements page by page into measurements on the host, erasing, and
// identifying a sensor by running its colour round the colour circle.
//
// Uploads are queued per sensor as pending entries and run one at a time per
// sensor; a one-second timer keeps looking for work while any is pending. An
// upload is tried only once the sensor's table has been read since it
// connected. An upload is complete when its stop page is stored and saved,
// and only then reported so. One that breaks off (the sensor unplugged, its
// link lost, its reader dropped, a page that comes without samples) stays
// pending and, once the sensor can be reached, goes on from the last page
// stored; one that stores nothing, or stops at the same empty page, several
// times in a row on a connected sensor is given up with a warning.
class UploadController : public AppController
{
    Q_OBJECT
    Q_PROPERTY(int pagesToUpload READ pagesToUpload NOTIFY pagesToUploadChanged)
    Q_PROPERTY(bool erasing READ isErasing NOTIFY erasingChanged)
    Q_PROPERTY(double eraseProgress READ eraseProgress NOTIFY eraseProgressChanged)
    Q_PROPERTY(bool recording READ isRecording NOTIFY recordingChanged)
public:
    using ActivityQuery = std::function<bool()>;

    static constexpr int kPendingUploadIntervalMs = PendingUploads::kCheckIntervalMs;
    // Pages one request asks for: long enough that the time between the
    // last page of one run and the first of the next is small beside the
    // run (about a millisecond on a cable, tens of them over Bluetooth).
    static constexpr int kUsbPagesPerRequest = UploadReaders::kUsbPagesPerRequest;
    static constexpr int kBluetoothPagesPerRequest = UploadReaders::kBluetoothPagesPerRequest;
    // Attempts in a row that store no page, or that stop at the same page
    // without samples, before an upload is given up.
    static constexpr int kMaxFruitlessAttempts = UploadAttempts::kMaxAttempts;

    UploadController(QObject* parent, DeviceManager* deviceManager, MeasurementController* measurementController,
                     StateController* stateController);

    // Pages still to come of the active and pending uploads (recordings the
    // sensors list without a stop address count from the active page only).
    int pagesToUpload() const;
    quint64 activeUpload(quint64 deviceSerial) const { return m_active.measurementOf(deviceSerial); }
    // The device's pending ids, the one scheduled last first.
    QList<quint64> pendingUploads(quint64 deviceSerial) const { return m_pending->of(deviceSerial); }
    // Whether the device's table has been read since it connected.
    bool hasReadTable(quint64 deviceSerial) const;
    bool isCheckingPendingUploads() const { return m_pending->isChecking(); }
    bool isIdentifying() const { return m_identifier->isRunning(); }

    bool isErasing() const { return m_eraser->isErasing(); }
    double eraseProgress() const { return m_eraser->progress(); }
    // From an accepted start until the sensors have answered the stop.
    bool isRecording() const { return m_recording->isRecording(); }
    // What runs elsewhere and forbids a recording: a live view, a setup.
    void setLiveViewQuery(ActivityQuery query) { m_recording->setLiveViewQuery(std::move(query)); }
    void setSetupQuery(ActivityQuery query) { m_recording->setSetupQuery(std::move(query)); }

Q_SIGNALS:
    // Pages stored of the range being uploaded, from 0 to 1; 1 once the
    // stop page is stored and saved.
    void uploadProgress(QString deviceSerial, QString measurementId, double fraction);
    void pagesToUploadChanged(int pages);
    // The sensor's part of the measurement is on the host, up to its stop
    // page, and saved.
    void uploadComplete(QString deviceSerial, QString measurementId);
    // The upload has been given up (it is no longer pending); the reason is
    // a sentence for the user.
    void uploadFailed(QString deviceSerial, QString measurementId, QString reason);

    void erasingChanged();
    void eraseProgressChanged();
    // Every block of every sensor of the erase has been confirmed erased.
    void eraseComplete(int sensors);
    // The erase has ended without completing: the sensor was lost or did
    // not confirm a block.
    void eraseFailed(QString deviceSerial, QString reason);

    void recordingChanged();
    // The sensors have answered the stop of the recording (or are gone).
    void recordingStopped(QString measurementId);

    void identifyingSensor(QString deviceSerial);
    void identifyingFinished();

    // The tables asked for by uploadMATfromAllDevices are in (or their
    // sensors gone): how many sensors answered and the recordings they hold.
    void tablesRead(int sensors, int recordings);

public Q_SLOTS:
    void DeviceTracksParsed();
    void stopRecording();
    // The new recording's id, or empty (with a warning saying why) when it
    // cannot start.
    QString startRecording();
    void uploadMATfromAllDevices();
    void deleteAllDataBlocks();
    void uploadAllMeasurementsFromDevice(QString deviceSerialString);
    void uploadAllMeasurementsFromDevice(quint64 deviceSerial);
    bool uploadMeasurementFromDevice(QString deviceSerial, QString measurementIdStr);
    void uploadMeasurementFromDeviceFailed(quint64 DeviceSerial, quint64 MeasurementId);
    void uploadMatFromDevice(QString deviceSerial);
    void identifySensor(QString deviceSerial);
    // One after another, each for its whole colour cycle.
    void identifySensors(QStringList deviceSerials);
    void uploadMeasurement(QString measurementIdStr);
    // Every recording the sensor lists, that sensor's part of each.
    void uploadEveryRecording(QString deviceSerial);
    void scheduleUpload(quint64 deviceId, quint64 measurementId);
    void removeFromActiveUploads(quint64 DeviceSerial, quint64 MeasurementId);
    void uploadAborted(quint64 DeviceSerial, quint64 MeasurementId);
    void deviceMATcomplete(quint64 deviceSerial);
    void CheckAllPendingUploads();
    bool CheckPendingUploads(quint64 deviceSerial);
    void identifySensorSlot();

private Q_SLOTS:
    void pageStored(quint64 DeviceSerial, quint64 MeasurementId, quint32 Address);
    void pageEmpty(quint64 DeviceSerial, quint64 MeasurementId, quint32 Address);
    void readingAgain(quint64 DeviceSerial, quint64 MeasurementId, quint32 Address);
    void readerFinished(quint64 DeviceSerial, quint64 MeasurementId);

private:
    // Drops the device's active upload reader; it reports aborted.
    void dropActiveReader(quint64 serial);
    void announceProgress(quint64 serial, double fraction);
    void updatePagesToUpload();
    void giveUp(quint64 serial, quint64 id, const QString& reason);
    // Takes the message out of this workflow's queues; it reports aborted.
    void dropMessage(Message* message);
    // Tells the sensor's card what the host now holds of the recording.
    void refreshCard(quint64 serial, quint64 id);
    // Reads the tables of the sensors among these that are still there.
    void readTablesOf(const QList<quint64>& serials);

    AllocationTables* m_tables = nullptr;
    TableRound* m_tableRound = nullptr;
    PendingUploads* m_pending = nullptr;
    ActiveUploads m_active;
    SensorIdentifier* m_identifier = nullptr;
    FlashEraser* m_eraser = nullptr;
    RecordingControl* m_recording = nullptr;
    UploadReaders m_readers;

    UploadOutcome m_outcome;
    int m_pagesToUpload = 0;
};
