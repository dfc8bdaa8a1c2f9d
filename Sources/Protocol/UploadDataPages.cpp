#include "Protocol/UploadDataPages.h"

#include "Log/LogCategories.h"

#include <QDebug>

UploadDataPages::UploadDataPages(quint64 deviceSerial, quint64 measurementId)
    : ParseDataStream(deviceSerial, measurementId)
{
}

UploadDataPages::UploadDataPages(quint64 deviceSerial, quint64 measurementId, FlashAddress start,
                                 FlashAddress stop)
    : ParseDataStream(deviceSerial, measurementId)
    , currentAddress(start)
    , startAddress(start)
    , stopAddress(stop)
{
}

void UploadDataPages::BeforeComposeHook()
{
    pagesReceived = 0;
    rangeStopAddress = currentAddress;
    rangeStopAddress.incrementAddressByPage(kPagesPerRequest);
    command = QByteArrayLiteral("<GetFlashPages>");
    okToken = QByteArrayLiteral("<SndFlashPage>");
    nokToken = QByteArrayLiteral("<NOK");
    expectedLength = kPageSize;
    AddressRangeToPayLoad(currentAddress, rangeStopAddress);
    qCDebug(lcProtocol) << " UploadDataPages currentStartAddress: " << currentAddress.toQuint32();
    qCDebug(lcProtocol) << " UploadDataPages currentStopAddress: " << rangeStopAddress.toQuint32();
}

bool UploadDataPages::tryToParseResponseData(const QByteArray& window, int dataStart, int endIndex)
{
    Q_UNUSED(endIndex)
    continueUpload = ParsePacket(window, quint64(dataStart), kPageSize);
    ++pagesReceived;
    // The next page comes in a frame numbered one higher.
    ++messageNumber;
    return true;
}

bool UploadDataPages::expectsMoreResponses()
{
    return pagesReceived <= quint32(kPagesPerRequest - 1);
}

void UploadDataPages::successfullyParsedHook()
{
    bool next = currentAddress < stopAddress && continueUpload;
    if (next) {
        if (!expectsMoreResponses()) {
            const FlashAddress before = currentAddress;
            currentAddress.incrementAddressByPage(kPagesPerRequest);
            // Near the end of the flash ten pages on wrap round to the front.
            next = before < currentAddress;
        }
    }
    if (next) {
        rescheduleRequested = true;
        isDone = false;
    } else {
        rescheduleRequested = false;
        isDone = true;
    }
    qCDebug(lcProtocol) << " Upload a next Page? " << (next ? "true" : "false");
}

void UploadDataPages::setMeasurementId(quint64 measurementId)
{
    streamMeasurementId = measurementId;
}

void UploadDataPages::setStartAddress(FlashAddress address)
{
    startAddress = address;
    currentAddress = address;
    continueUpload = true;
}

void UploadDataPages::setStartAddress(quint32 packed)
{
    setStartAddress(FlashAddress(packed));
}

void UploadDataPages::setStopAddress(FlashAddress address)
{
    stopAddress = address;
}

void UploadDataPages::setStopAddress(quint32 packed)
{
    stopAddress = FlashAddress(packed);
}
