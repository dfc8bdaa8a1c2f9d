#pragma once

#include "Protocol/AppController.h"
#include "Protocol/FlashAddress.h"

#include <QMap>
#include <QMultiMap>
#include <QPair>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QTimer>

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
// connected. An upload that breaks off (the sensor unplugged, its link lost,
// its reader dropped) stays pending and, once the sensor is back, goes on
// from the last page stored; one that stores nothing several times in a row
// on a connected sensor is given up.
class UploadController : public AppController
{
    Q_OBJECT
    Q_PROPERTY(int pagesToUpload READ pagesToUpload NOTIFY pagesToUploadChanged)
public:
    static constexpr int kPendingUploadIntervalMs = 1000;
    static constexpr int kIdentifyIntervalMs = 50;
    static constexpr int kIdentifyHueStep = 15;
    static constexpr int kIdentifyLastHue = 720;
    // Pages one request asks for. A cable answers at once, so a short run
    // hides the reply delay; a Bluetooth link answers tens of milliseconds
    // late, which only a longer run makes up for.
    static constexpr int kUsbPagesPerRequest = 8;
    static constexpr int kBluetoothPagesPerRequest = 16;
    // A newly connected sensor first answers who it is; its table is read
    // once it has (or after this long), so that the 2 KB page does not hold
    // up those answers on a slow link.
    static constexpr int kIdentityWaitMs = 1500;
    // Attempts in a row that store no page before an upload is given up.
    static constexpr int kMaxFruitlessAttempts = 3;

    UploadController(QObject* parent, DeviceManager* deviceManager, MeasurementController* measurementController,
                     StateController* stateController);

    // Pages still to come of the active and pending uploads (recordings the
    // sensors list without a stop address count from the active page only).
    int pagesToUpload() const;
    quint64 activeUpload(quint64 deviceSerial) const { return m_activeUploads.value(deviceSerial, 0); }
    // The device's pending ids, the one scheduled last first.
    QList<quint64> pendingUploads(quint64 deviceSerial) const { return m_pendingUploads.values(deviceSerial); }
    // Whether the device's table has been read since it connected.
    bool hasReadTable(quint64 deviceSerial) const { return m_tablesRead.contains(deviceSerial); }
    bool isCheckingPendingUploads() const { return m_pendingUploadTimer.isActive(); }
    bool isIdentifying() const { return m_identifyTimer.isActive(); }

Q_SIGNALS:
    // Pages stored of the range being uploaded, from 0 to 1 (1 when done).
    void uploadProgress(QString deviceSerial, QString measurementId, double fraction);
    void pagesToUploadChanged(int pages);

public Q_SLOTS:
    void DeviceTracksParsed();
    void stopRecording();
    void startRecording();
    void uploadMATfromAllDevices();
    void deleteAllDataBlocks();
    void uploadAllMeasurementsFromDevice(QString deviceSerialString);
    void uploadAllMeasurementsFromDevice(quint64 deviceSerial);
    bool uploadMeasurementFromDevice(QString deviceSerial, QString measurementIdStr);
    void uploadMeasurementFromDeviceFailed(quint64 DeviceSerial, quint64 MeasurementId);
    void uploadMatFromDevice(QString deviceSerial);
    void identifySensor(QString deviceSerial);
    void uploadMeasurement(QString measurementIdStr);
    void scheduleUpload(quint64 deviceId, quint64 measurementId);
    void removeFromActiveUploads(quint64 DeviceSerial, quint64 MeasurementId);
    void uploadAborted(quint64 DeviceSerial, quint64 MeasurementId);
    void deviceMATcomplete(quint64 deviceSerial);
    void CheckAllPendingUploads();
    bool CheckPendingUploads(quint64 deviceSerial);
    void identifySensorSlot();

private Q_SLOTS:
    void deviceJoined(quint64 deviceSerial);
    void deviceLeft(quint64 deviceSerial);
    void identityKnown(quint64 deviceSerial);
    void pageStored(quint64 DeviceSerial, quint64 MeasurementId, quint32 Address);

private:
    using UploadKey = QPair<quint64, quint64>; // device serial, measurement id

    // What is known of a device's active upload.
    struct ActiveUpload
    {
        quint64 measurementId = 0;
        quint32 firstPage = 0;  // page index of the first data page
        quint32 stopPage = 0;   // page index of the stop address
        quint32 nextPage = 0;   // page index of the first page not yet stored
        bool openEnded = false; // the sensor lists no stop address
        quint32 pagesStored = 0;
        // A resumed upload reads the last page it claims to have stored
        // once more; its samples must already be there.
        bool verifying = false;
        qint64 samplesBefore = 0;
        QPointer<UploadDataPage> reader;
    };

    UploadMAT* matUploader(quint64 serial);
    UploadHeader* headerUploader(quint64 serial, Measurement* deviceMeasurement);
    UploadDataPage* dataUploader(quint64 serial, Measurement* deviceMeasurement, FlashAddress from);
    bool queuedOrInFlight(quint64 serial, const Message* message);
    bool tableReadDone(quint64 serial);
    // Where an upload of the device's part goes on: the page of the stored
    // progress (read once more to check it), or the first data page when
    // nothing usable is stored.
    FlashAddress resumeAddress(Measurement* host, Measurement* deviceMeasurement, quint64 serial);
    int pagesPerRequest(quint64 serial) const;
    void removePendingEntries(quint64 serial, quint64 id);
    // Drops the device's active upload reader; it reports aborted.
    void dropActiveReader(quint64 serial);
    void announceProgress(quint64 serial, double fraction);
    void updatePagesToUpload();

    QMap<quint64, UploadMAT*> m_tableReaders;
    QMultiMap<quint64, quint64> m_pendingUploads;
    QMap<quint64, quint64> m_activeUploads;
    quint64 m_identifySerial = 0;
    quint64 m_identifyHue = 0;
    QTimer m_identifyTimer;
    QTimer m_pendingUploadTimer;

    QMap<quint64, ActiveUpload> m_uploads;
    // Devices whose table has been read since they connected.
    QSet<quint64> m_tablesRead;
    // Connected devices that have not yet said who they are, and those of
    // them whose table read waits for it.
    QSet<quint64> m_awaitingIdentity;
    QSet<quint64> m_deferredTableReads;
    QMap<UploadKey, int> m_fruitlessAttempts;
    // Uploads whose stored progress turned out not to match the stored
    // samples: they start again from the first page.
    QSet<UploadKey> m_noResume;
    int m_pagesToUpload = 0;
};
