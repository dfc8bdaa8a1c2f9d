#include "Protocol/SetFeature.h"

SetFeature::SetFeature(quint64 deviceSerial, SetFeature::DeviceFeatures feature, bool on)
    : Message(deviceSerial)
    , feature(feature)
    , on(on)
{
}

void SetFeature::BeforeComposeHook()
{
    command = QByteArrayLiteral("<SetFeature>");
    payload = QByteArray(2, '\0');
    int position = 0;
    composeUInt8(quint8(feature), position);
    composeUInt8(on ? 0x01 : 0x00, position);
}
