#pragma once

#include "Protocol/FlashAddress.h"
#include "Workflows/ActiveUploads.h"

#include <QMultiMap>

class DeviceManager;
class Measurement;
class MeasurementController;
class UploadDataPage;
class UploadHeader;

// Makes the readers of one upload of a sensor's part of a recording: the
// header reader, whose tracks fill the host's track list, and the data-page
// reader, which goes on from the stored progress where that can be trusted.
// What the readers report is for the owner to connect.
class UploadReaders
{
public:
    static constexpr int kUsbPagesPerRequest = 64;
    static constexpr int kBluetoothPagesPerRequest = 64;

    UploadReaders(MeasurementController* measurements, DeviceManager* devices);

    struct Plan
    {
        UploadHeader* header = nullptr;
        UploadDataPage* reader = nullptr;
        ActiveUploads::Upload upload;
    };

    // The host copy gets the sensor's addresses (it is made when there is
    // none); false when it cannot be had.
    bool plan(quint64 serial, Measurement* deviceMeasurement, Plan& plan);

    // Where an upload of the device's part goes on: the page of the stored
    // progress (read once more to check it), or the first data page when
    // nothing usable is stored.
    static FlashAddress resumeAddress(Measurement* host, Measurement* deviceMeasurement, quint64 serial);
    int pagesPerRequest(quint64 serial) const;
    // Pages of the pending uploads that are not running, each pair counted
    // once; recordings listed without a stop address count nothing.
    qint64 pendingPages(const QMultiMap<quint64, quint64>& pending, const ActiveUploads& active) const;
    // Whether the table of any sensor known lists the recording.
    bool anySensorHolds(quint64 measurementId) const;

private:
    UploadHeader* headerReader(quint64 serial, Measurement* deviceMeasurement) const;
    UploadDataPage* dataReader(quint64 serial, Measurement* deviceMeasurement, FlashAddress from) const;

    MeasurementController* m_measurements;
    DeviceManager* m_devices;
};
