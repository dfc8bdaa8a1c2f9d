#include "Protocol/SetDeviceColor.h"

SetDeviceColor::SetDeviceColor(quint64 deviceSerial, quint32 color)
    : Message(deviceSerial)
    , color(color)
{
}

void SetDeviceColor::BeforeComposeHook()
{
    command = QByteArrayLiteral("<SetDeviceColor>");
    payload = QByteArray(4, '\0');
    int position = 0;
    // The sensor has no use for the top byte: it always gets 0.
    composeUInt8(0, position);
    composeUInt8(quint8(color >> 16), position);
    composeUInt8(quint8(color >> 8), position);
    composeUInt8(quint8(color), position);
}
