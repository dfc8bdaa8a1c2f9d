#include "Protocol/ParseLiveStream.h"

ParseLiveStream::ParseLiveStream(quint64 deviceSerial, quint64 measurementId)
    : ParseDataStream(deviceSerial, measurementId)
{
    // Tokens that never occur in a reply: this listener is never completed
    // by framed reply recognition.
    command = QByteArrayLiteral("<ParseLiveStream>");
    okToken = command;
    nokToken = command;
}

void ParseLiveStream::BeforeComposeHook()
{
    // A listener has no request of its own.
}

bool ParseLiveStream::tryToParse(const QByteArray& window, quint64 bufferOffset)
{
    lastBufferOffset = bufferOffset;
    const quint64 start = lastParsedPosition > bufferOffset ? lastParsedPosition - bufferOffset : 0;
    FindAndParsePackets(window, start);
    return false;
}

bool ParseLiveStream::offerWindow(const QString& link, const QByteArray& window, quint64 bufferOffset)
{
    lastParsedPosition = m_positions.value(link, 0);
    tryToParse(window, bufferOffset);
    m_positions.insert(link, lastParsedPosition);
    return false;
}

void ParseLiveStream::FindAndParsePackets(const QByteArray& window, quint64 start)
{
    const auto size = quint64(window.size());
    const auto* bytes = reinterpret_cast<const uchar*>(window.constData());
    for (quint64 p = start; p + 3 < size; ++p) {
        if (bytes[p] != 0xAA || bytes[p + 1] != 0x55)
            continue;
        const quint64 length = bytes[p + 2];
        if (p + length + 4 < size && bytes[p + length + 3] == 0xBB && bytes[p + length + 4] == 0x66)
            ParsePacket(window, p + 3, int(length));
    }
}
