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

void UploadDataPage::BeforeComposeHook()
{
    command = QByteArrayLiteral("<GetFlashPage>");
    okToken = QByteArrayLiteral("<SndFlashPage>");
    nokToken = QByteArrayLiteral("<NOK");
    expectedLength = kPageSize;
    AddressToPayLoad(currentAddress);
    qCDebug(lcProtocol) << " Sending uploadDataPage for device : " << QString::number(deviceSerial, 16);
}

bool UploadDataPage::tryToParseResponseData(const QByteArray& window, int dataStart, int endIndex)
{
    Q_UNUSED(endIndex)
    continueUpload = ParsePacket(window, quint64(dataStart), kPageSize);
    return continueUpload;
}

void UploadDataPage::successfullyParsedHook()
{
    Q_EMIT uploadPageDone(deviceSerial, streamMeasurementId, currentAddress.toQuint32());
    const bool next = currentAddress < stopAddress && continueUpload;
    if (next) {
        currentAddress.incrementAddressByOnePage();
        rescheduleRequested = true;
        isDone = false;
    }
    qCDebug(lcProtocol) << " Upload a next Page? " << (next ? "true" : "false");
    if (!next)
        finish();
}

void UploadDataPage::failedToParseHook()
{
    // A page without samples (typically the erased page after the last one
    // recorded) ends the upload normally.
    qCDebug(lcProtocol) << " Upload datapage failed to parse, stop it. ";
    finish();
}

void UploadDataPage::finish()
{
    rescheduleRequested = false;
    isDone = true;
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
