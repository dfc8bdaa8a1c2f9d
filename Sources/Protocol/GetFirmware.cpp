#include "Protocol/GetFirmware.h"

#include "Log/LogCategories.h"

#include <QDebug>

GetFirmware::GetFirmware(quint64 deviceSerial)
    : Message(deviceSerial)
{
}

void GetFirmware::BeforeComposeHook()
{
    command = QByteArrayLiteral("<GetFirmware>");
    payload.clear();
    okToken = QByteArrayLiteral("<SndFirmware>");
    expectedLength = 2;
}

bool GetFirmware::tryToParseResponseData(const QByteArray& window, int dataStart, int endIndex)
{
    Q_UNUSED(endIndex)
    bool ok = false;
    quint64 position = quint64(dataStart);
    const quint16 revision = parseUInt16(window, position, &ok);
    if (!ok)
        return false;
    firmwareRevision = revision;
    qCDebug(lcProtocol) << "Got FirmwareRevision a: " << revision;
    Q_EMIT gotFirmwareRevision(deviceSerial, revision);
    return true;
}
