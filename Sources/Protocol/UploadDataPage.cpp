#include "Protocol/UploadDataPage.h"

#include "Log/LogCategories.h"

#include <QDebug>

UploadDataPage::UploadDataPage(quint64 deviceSerial, quint64 measurementId)
    : ParseDataStream(deviceSerial, measurementId)
{
}

UploadDataPage::UploadDataPage(quint64 deviceSerial, quint64 measurementId, FlashAddress start, FlashAddress stop)
    : ParseDataStream(deviceSerial, measurementId)
    , currentAddress(start)
    , startAddress(start)
    , stopAddress(stop)
{
}

int UploadDataPage::pagesForNextRequest() const
{
    if (pagesPerRequest <= 1 || stopAddress < currentAddress)
        return 1;
    const FlashAddress lastPage(FlashAddress::kMaxLun, FlashAddress::kMaxBlock, FlashAddress::kMaxPage);
    // The range's end is named by the page after it, which must exist.
    const quint32 room = lastPage.pageIndex() - currentAddress.pageIndex();
    const quint32 left = stopAddress.pageIndex() - currentAddress.pageIndex() + 1;
    return int(qMax<quint32>(1, qMin(qMin(quint32(pagesPerRequest), left), room)));
}

void UploadDataPage::BeforeComposeHook()
{
    okToken = QByteArrayLiteral("<SndFlashPage>");
    nokToken = QByteArrayLiteral("<NOK");
    expectedLength = kPageSize;
    pagesThisRequest = 0;
    const int pages = pagesForNextRequest();
    if (pages == 1) {
        command = QByteArrayLiteral("<GetFlashPage>");
        AddressToPayLoad(currentAddress);
    } else {
        command = QByteArrayLiteral("<GetFlashPages>");
        FlashAddress rangeEnd = currentAddress;
        rangeEnd.incrementAddressByPage(pages);
        AddressRangeToPayLoad(currentAddress, rangeEnd);
        // The answers carry the numbers after this request's; no other
        // message may take them while they are on their way.
        messageNumberGlobal = quint8(messageNumberGlobal + pages - 1);
    }
    pagesExpected = pages;
    qCDebug(lcProtocol) << " Sending uploadDataPage for device : " << QString::number(deviceSerial, 16);
}

bool UploadDataPage::tryToParseResponseData(const QByteArray& window, int dataStart, int endIndex)
{
    Q_UNUSED(endIndex)
    continueUpload = ParsePacket(window, quint64(dataStart), kPageSize);
    return continueUpload;
}

bool UploadDataPage::expectsMoreResponses()
{
    return pagesExpected > 0 && !isDone;
}

void UploadDataPage::successfullyParsedHook()
{
    ++pagesStored;
    ++pagesThisRequest;
    --pagesExpected;
    Q_EMIT uploadPageDone(deviceSerial, streamMeasurementId, currentAddress.toQuint32());
    const bool next = currentAddress < stopAddress && continueUpload;
    qCDebug(lcProtocol) << " Upload a next Page? " << (next ? "true" : "false");
    if (!next) {
        // Frames still due from a longer run are left unread; their numbers
        // stay reserved until they are long gone.
        pagesExpected = 0;
        finish();
        return;
    }
    currentAddress.incrementAddressByOnePage();
    isDone = false;
    if (pagesExpected > 0) {
        // The next page of the run comes in the frame numbered one higher;
        // it gets a reply time of its own.
        ++messageNumber;
        rescheduleRequested = false;
        timeoutTimer.start();
        return;
    }
    rescheduleRequested = true;
}

void UploadDataPage::failedToParseHook()
{
    // A page without samples (typically the erased page after the last one
    // recorded) ends the upload normally.
    qCDebug(lcProtocol) << " Upload datapage failed to parse, stop it. ";
    pagesExpected = 0;
    finish();
}

void UploadDataPage::messageTimeoutHook()
{
    // The run is asked for again from its first missing page. A link that
    // lost every frame of a run cannot carry runs that long: shorter ones
    // will get through.
    if (pagesThisRequest == 0 && pagesPerRequest > 1)
        pagesPerRequest = qMax(1, pagesPerRequest / 2);
    pagesExpected = 0;
    ParseDataStream::messageTimeoutHook();
}

void UploadDataPage::finish()
{
    rescheduleRequested = false;
    isDone = true;
    timeoutTimer.stop();
    Q_EMIT messageDone(deviceSerial);
    Q_EMIT uploadDone(deviceSerial, streamMeasurementId);
}

void UploadDataPage::disposalHook()
{
    timeoutTimer.stop();
    if (!isDone) {
        qCDebug(lcProtocol) << " Upload datapage was aborted: " << this;
        Q_EMIT messageAborted(deviceSerial);
        Q_EMIT uploadAborted(deviceSerial, streamMeasurementId);
    }
    deleteLater();
}

void UploadDataPage::setMeasurementId(quint64 measurementId)
{
    streamMeasurementId = measurementId;
}

void UploadDataPage::setStartAddress(FlashAddress address)
{
    startAddress = address;
    currentAddress = address;
    continueUpload = true;
}

void UploadDataPage::setStartAddress(quint32 packed)
{
    setStartAddress(FlashAddress(packed));
    qCDebug(lcProtocol) << " UploadDataPage start and current Address: " << packed;
}

void UploadDataPage::setStopAddress(FlashAddress address)
{
    stopAddress = address;
}

void UploadDataPage::setStopAddress(quint32 packed)
{
    stopAddress = FlashAddress(packed);
}

void UploadDataPage::setPagesPerRequest(int pages)
{
    pagesPerRequest = qBound(1, pages, kMaxPagesPerRequest);
}
