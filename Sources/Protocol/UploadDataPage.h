#pragma once

#include "Protocol/FlashAddress.h"
#include "Protocol/ParseDataStream.h"

// Reads a recorded measurement's data pages from flash one page per request,
// from the start to the stop address (both included), storing every page's
// sample groups. Between pages it goes back to the end of its device's queue.
// It ends at the stop address or at the first page without samples.
class UploadDataPage : public ParseDataStream
{
    Q_OBJECT
public:
    static constexpr int kPageSize = 2048;

    UploadDataPage(quint64 deviceSerial, quint64 measurementId);
    UploadDataPage(quint64 deviceSerial, quint64 measurementId, FlashAddress start, FlashAddress stop);

    void BeforeComposeHook() override;
    bool tryToParseResponseData(const QByteArray& window, int dataStart, int endIndex) override;
    void successfullyParsedHook() override;
    void failedToParseHook() override;
    void disposalHook() override;

    void setMeasurementId(quint64 measurementId);
    void setStartAddress(FlashAddress address);
    void setStartAddress(quint32 packed);
    void setStopAddress(FlashAddress address);
    void setStopAddress(quint32 packed);

    FlashAddress getCurrentAddress() const { return currentAddress; }
    FlashAddress getStartAddress() const { return startAddress; }
    FlashAddress getStopAddress() const { return stopAddress; }

Q_SIGNALS:
    void uploadPageDone(quint64 DeviceSerial, quint64 MeasurementId, quint32 Address);
    void uploadDone(quint64 DeviceSerial, quint64 MeasurementId);
    void uploadAborted(quint64 DeviceSerial, quint64 MeasurementId);

private:
    void finish();

    FlashAddress currentAddress;
    FlashAddress startAddress;
    FlashAddress stopAddress;
    bool continueUpload = true;
};
