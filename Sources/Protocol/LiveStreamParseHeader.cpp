#include "Protocol/LiveStreamParseHeader.h"

#include "Log/LogCategories.h"

#include <QDebug>

LiveStreamParseHeader::LiveStreamParseHeader(quint64 deviceSerial)
    : ParseHeader(deviceSerial)
{
    // Tokens that never occur in a reply, so framed reply recognition can
    // never complete this listener.
    command = QByteArrayLiteral("<LiveStreamParseHeader>");
    okToken = command;
    nokToken = command;
}

bool LiveStreamParseHeader::tryToParse(const QByteArray& window, quint64 bufferOffset)
{
    Q_UNUSED(bufferOffset)
    const bool parsed = FindAndParseStaticHeaders(window);
    isDone = parsed;
    if (parsed)
        qCDebug(lcProtocol) << " Stream header parsed successfully";
    return parsed;
}
