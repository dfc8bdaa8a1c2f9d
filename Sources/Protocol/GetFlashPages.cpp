#include "Protocol/GetFlashPages.h"

GetFlashPages::GetFlashPages(quint64 deviceSerial, FlashAddress start, FlashAddress stop)
    : Message(deviceSerial)
    , startAddress(start)
    , currentAddress(start)
    , stopAddress(stop)
{
}

void GetFlashPages::BeforeComposeHook()
{
    command = QByteArrayLiteral("<GetFlashPages>");
    okToken = QByteArrayLiteral("<SndFlashPages>");
    expectedLength = kPageSize;
    payload.clear();
}
