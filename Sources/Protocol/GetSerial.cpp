#include "Protocol/GetSerial.h"

#include "Log/LogCategories.h"

#include <QDebug>

GetSerial::GetSerial(QString interfaceIdentifier)
    : Message(std::move(interfaceIdentifier))
{
}

GetSerial::GetSerial(int deviceIndex, int number)
    : Message(deviceIndex, number)
{
}

void GetSerial::BeforeComposeHook()
{
    m_sentNumbers.set(messageNumber);
    command = QByteArrayLiteral("<GetSerial>");
    payload.clear();
    okToken = QByteArrayLiteral("<SndSerial>");
    expectedLength = 8;
}

bool GetSerial::tryToParseResponseData(const QByteArray& window, int dataStart, int endIndex)
{
    Q_UNUSED(endIndex)
    bool ok = false;
    quint64 position = quint64(dataStart);
    const quint64 serial = parseUInt64(window, position, &ok);
    if (!ok)
        return false;
    receivedSerial = serial;
    qCDebug(lcProtocol) << "Got serialnumber: " << QString::number(serial, 16);
    return true;
}

bool GetSerial::isOwnFrameNumber(quint8 number) const
{
    return m_sentNumbers.test(number);
}
