#pragma once

#include "Protocol/FlashAddress.h"
#include "Protocol/Message.h"

// Reads the sensor's measurement allocation table: one flash page of 20-byte
// entries (id, start address, stop address, each part with its own CRC).
// The upload workflow keeps one per device and reuses it for every table
// read, so disposal leaves it alive.
class UploadMAT : public Message
{
    Q_OBJECT
public:
    static constexpr int kEntrySize = 20;
    static constexpr int kPageSize = 2048;

    UploadMAT(quint64 deviceSerial, FlashAddress tableAddress);

    void BeforeComposeHook() override;
    bool tryToParseResponseData(const QByteArray& window, int dataStart, int endIndex) override;
    void disposalHook() override;

    bool ParseMAT(const QByteArray& window, int dataStart, int endIndex);

    FlashAddress getTableAddress() const { return tableAddress; }

Q_SIGNALS:
    void foundStartedMeasurement(quint64 DeviceSerial, quint64 MeasurementId, quint32 StartAddress);
    void foundCompleteMeasurement(quint64 DeviceSerial, quint64 MeasurementId, quint32 StartAddress,
                                  quint32 StopAddress);
    void parsingOfMATcomplete(quint64 DeviceSerial);

private:
    FlashAddress tableAddress;
};
