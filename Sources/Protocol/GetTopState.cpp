#include "Protocol/GetTopState.h"

GetTopState::GetTopState(quint64 deviceSerial)
    : Message(deviceSerial)
{
}

void GetTopState::BeforeComposeHook()
{
    command = QByteArrayLiteral("<GetTopState>");
    payload.clear();
    okToken = QByteArrayLiteral("<SndTopState>");
    expectedLength = 1;
}

bool GetTopState::tryToParseResponseData(const QByteArray& window, int dataStart, int endIndex)
{
    Q_UNUSED(endIndex)
    bool ok = false;
    quint64 position = quint64(dataStart);
    const quint8 value = parseUInt8(window, position, &ok);
    if (!ok)
        return false;
    state = value;
    Q_EMIT gotState(deviceSerial, value);
    return true;
}
