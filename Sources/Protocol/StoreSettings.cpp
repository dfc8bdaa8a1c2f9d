#include "Protocol/StoreSettings.h"

StoreSettings::StoreSettings(quint64 deviceSerial)
    : Message(deviceSerial)
{
}

void StoreSettings::BeforeComposeHook()
{
    command = QByteArrayLiteral("<StoreSettings>");
    payload.clear();
}
