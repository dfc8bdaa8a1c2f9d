#pragma once

#include "Protocol/FlashAddress.h"
#include "Protocol/ParseDataStream.h"

// Reads data pages ten at a time: one request names a range, and the sensor
// answers with one page frame per page, numbered on from the request's own
// number. No workflow uses it; the one-page reader is the one in service.
class UploadDataPages : public ParseDataStream
{
    Q_OBJECT
public:
    static constexpr int kPageSize = 2048;
    static constexpr int kPagesPerRequest = 10;

    UploadDataPages(quint64 deviceSerial, quint64 measurementId);
    UploadDataPages(quint64 deviceSerial, quint64 measurementId, FlashAddress start, FlashAddress stop);

    void BeforeComposeHook() override;
    bool tryToParseResponseData(const QByteArray& window, int dataStart, int endIndex) override;
    void successfullyParsedHook() override;
    bool expectsMoreResponses() override;

    void setMeasurementId(quint64 measurementId);
    void setStartAddress(FlashAddress address);
    void setStartAddress(quint32 packed);
    void setStopAddress(FlashAddress address);
    void setStopAddress(quint32 packed);

    FlashAddress getCurrentAddress() const { return currentAddress; }
    FlashAddress getRangeStopAddress() const { return rangeStopAddress; }
    quint32 getPagesReceived() const { return pagesReceived; }

private:
    FlashAddress currentAddress;
    FlashAddress startAddress;
    FlashAddress stopAddress;
    FlashAddress rangeStopAddress;
    bool continueUpload = true;
    quint32 pagesReceived = 0;
};
