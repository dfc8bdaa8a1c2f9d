#pragma once

#include "Protocol/FlashAddress.h"
#include "Protocol/ParseDataStream.h"

// Reads a recorded measurement's data pages from flash, from the start to the
// stop address (both included), storing every page's sample groups. Between
// requests it goes back to the end of its device's queue. It ends at the stop
// address or at the first page without samples.
//
// By default each request asks for one page. On links where the reply delay
// costs more than a page takes to arrive, a request may ask for a run of
// pages instead: the sensor answers with one page frame per page, numbered
// on from the request's own number. Those numbers are kept from other
// messages while the run is on its way, and a run that breaks off (a lost
// frame) is asked for again from its first missing page.
class UploadDataPage : public ParseDataStream
{
    Q_OBJECT
public:
    static constexpr int kPageSize = 2048;
    // The most pages one request may name; more is refused by the sensors.
    static constexpr int kMaxPagesPerRequest = 64;

    UploadDataPage(quint64 deviceSerial, quint64 measurementId);
    UploadDataPage(quint64 deviceSerial, quint64 measurementId, FlashAddress start, FlashAddress stop);

    void BeforeComposeHook() override;
    bool tryToParseResponseData(const QByteArray& window, int dataStart, int endIndex) override;
    void successfullyParsedHook() override;
    void failedToParseHook() override;
    void messageTimeoutHook() override;
    void disposalHook() override;
    bool expectsMoreResponses() override;

    void setMeasurementId(quint64 measurementId);
    void setStartAddress(FlashAddress address);
    void setStartAddress(quint32 packed);
    void setStopAddress(FlashAddress address);
    void setStopAddress(quint32 packed);
    // 1 (the default) to kMaxPagesPerRequest.
    void setPagesPerRequest(int pages);
    int getPagesPerRequest() const { return pagesPerRequest; }

    FlashAddress getCurrentAddress() const { return currentAddress; }
    FlashAddress getStartAddress() const { return startAddress; }
    FlashAddress getStopAddress() const { return stopAddress; }
    // Pages stored since this reader was made.
    quint32 getPagesStored() const { return pagesStored; }

Q_SIGNALS:
    void uploadPageDone(quint64 DeviceSerial, quint64 MeasurementId, quint32 Address);
    void uploadDone(quint64 DeviceSerial, quint64 MeasurementId);
    void uploadAborted(quint64 DeviceSerial, quint64 MeasurementId);

private:
    void finish();
    // How many pages the next request names: the run length, cut at the
    // stop address and at the end of the flash.
    int pagesForNextRequest() const;

    FlashAddress currentAddress;
    FlashAddress startAddress;
    FlashAddress stopAddress;
    bool continueUpload = true;
    int pagesPerRequest = 1;
    // Page frames of the current request still to come.
    int pagesExpected = 0;
    // Pages that arrived for the current request.
    int pagesThisRequest = 0;
    quint32 pagesStored = 0;
};
