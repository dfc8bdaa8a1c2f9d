#include "Protocol/UploadHeader.h"

UploadHeader::UploadHeader(quint64 deviceSerial, FlashAddress pageAddress)
    : ParseHeader(deviceSerial)
    , pageAddress(pageAddress)
{
}

void UploadHeader::BeforeComposeHook()
{
    command = QByteArrayLiteral("<GetFlashPage>");
    okToken = QByteArrayLiteral("<SndFlashPage>");
    nokToken = QByteArrayLiteral("<NOK");
    expectedLength = kPageSize;
    AddressToPayLoad(pageAddress);
}

bool UploadHeader::tryToParseResponseData(const QByteArray& window, int dataStart, int endIndex)
{
    Q_UNUSED(dataStart)
    Q_UNUSED(endIndex)
    // The whole window is scanned, so a header of an earlier page reply that
    // is still in the window is announced again. A page without any header
    // is refused, which ends this read as failed.
    return FindAndParseStaticHeaders(window);
}
