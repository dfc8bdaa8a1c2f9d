#include "Protocol/GetFlashPage.h"

GetFlashPage::GetFlashPage(quint64 deviceSerial, FlashAddress start, FlashAddress stop)
    : Message(deviceSerial)
    , startAddress(start)
    , stopAddress(stop)
{
}

void GetFlashPage::BeforeComposeHook()
{
    command = QByteArrayLiteral("<GetFlashPage>");
    okToken = QByteArrayLiteral("<SndFlashPage>");
    expectedLength = kPageSize;
    AddressToPayLoad(startAddress);
}

bool GetFlashPage::tryToParseResponseData(const QByteArray& window, int dataStart, int endIndex)
{
    page = window.mid(dataStart, endIndex - dataStart);
    return true;
}
