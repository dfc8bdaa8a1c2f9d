#include "Protocol/Message.h"

#include "Application/Helper.h"
#include "Log/LogCategories.h"
#include "Protocol/FlashAddress.h"

#include <QDebug>

const QByteArray Message::kStartStreamToken = QByteArrayLiteral("<msg>");
const QByteArray Message::kEndStreamToken = QByteArrayLiteral("</msg>\r\n");
quint8 Message::messageNumberGlobal = 0x31;

namespace {

bool fits(const QByteArray& data, quint64 position, quint64 width)
{
    const auto size = quint64(data.size());
    return position <= size && size - position >= width;
}

// Reads `width` bytes most significant first; the caller has checked the bounds.
quint64 readBigEndian(const QByteArray& data, quint64 position, int width)
{
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData()) + position;
    quint64 value = 0;
    for (int i = 0; i < width; ++i)
        value = (value << 8) | bytes[i];
    return value;
}

template <typename T>
T readChecked(const QByteArray& data, quint64& position, bool* ok)
{
    constexpr int width = int(sizeof(T));
    if (!fits(data, position, width)) {
        if (ok)
            *ok = false;
        return 0;
    }
    const T value = T(readBigEndian(data, position, width));
    position += width;
    if (ok)
        *ok = true;
    return value;
}

} // namespace

Message::Message(quint64 deviceSerial)
{
    Init();
    takeMessageNumber();
    this->deviceSerial = deviceSerial;
}

Message::Message(QString interfaceIdentifier)
{
    Init();
    this->interfaceIdentifier = std::move(interfaceIdentifier);
}

Message::Message(int deviceIndex, int number)
{
    Init();
    this->deviceIndex = deviceIndex;
    messageNumber = quint8(number & 0xFF);
}

Message::~Message() = default;

void Message::Init()
{
    okToken = QByteArrayLiteral("<OK>");
    nokToken = QByteArrayLiteral("<NOK>");
    expectedLength = 0;
    isDone = false;
    hasFailed = false;
    rescheduleRequested = false;
    retryPending = false;
    timeoutCount = 0;
    maxTries = 20;
    timeoutIntervalMs = 300;
    timeoutTimer.setInterval(timeoutIntervalMs);
    timeoutTimer.setSingleShot(false);
    connect(&timeoutTimer, &QTimer::timeout, this, &Message::timedOut, Qt::UniqueConnection);
}

void Message::reset()
{
    Init();
}

void Message::takeMessageNumber()
{
    messageNumber = messageNumberGlobal;
    ++messageNumberGlobal;
}

QByteArray Message::Compose()
{
    takeMessageNumber();
    BeforeComposeHook();

    QByteArray frame;
    frame.reserve(kStartStreamToken.size() + 1 + command.size() + payload.size() + kEndStreamToken.size());
    frame.append(kStartStreamToken);
    frame.append(char(messageNumber));
    frame.append(command);
    frame.append(payload);
    frame.append(kEndStreamToken);

    retryPending = false;
    refusalReported = false;
    timeoutTimer.start();
    return frame;
}

void Message::timedOut()
{
    ++timeoutCount;
    if (timeoutCount < maxTries) {
        retryPending = true;
        qCDebug(lcProtocol) << " Message " << command << " timed out  " << timeoutCount << " times.";
        messageTimeoutHook();
        return;
    }
    qCDebug(lcProtocol) << " Message " << command << " failed, no more retries.  ";
    giveUp();
}

void Message::giveUp()
{
    hasFailed = true;
    retryPending = false;
    timeoutTimer.stop();
    messageFailedHook();
}

void Message::answerReceived()
{
    timeoutTimer.stop();
}

bool Message::tryToParse(const QByteArray& window, quint64 bufferOffset)
{
    Q_UNUSED(bufferOffset)
    // A message that has given up stays in its owner's list until the next
    // clean-up; the frame that made it fail must not be handled again.
    if (hasFailed && !acceptsLateReplies())
        return false;
    // Nor is a finished exchange handled twice: its last frame stays in the
    // window for a while.
    if (isDone)
        return false;

    qCDebug(lcProtocol) << "Message : " << command << "(" << metaObject()->className()
                        << ") Tries to parse: " << window.size();

    int from = -1;
    for (;;) {
        const int endIndex = window.lastIndexOf(kEndStreamToken, from);
        if (endIndex < 0)
            return false;
        const int startIndex = window.lastIndexOf(kStartStreamToken, endIndex);
        if (startIndex < 0)
            return false;
        // Frames are examined newest first: once one began before the
        // request went out, so did every older one.
        if (bufferOffset + quint64(startIndex) < replyNotBefore)
            return false;
        if (tryToParseBody(window, startIndex + kStartStreamToken.size(), endIndex))
            return true;
        if (startIndex <= 0)
            return false;
        from = startIndex;
    }
}

bool Message::offerWindow(const QString& link, const QByteArray& window, quint64 bufferOffset)
{
    if (!link.isEmpty() && !replyLink.isEmpty() && link != replyLink)
        return false;
    return tryToParse(window, bufferOffset);
}

bool Message::tryToParseBody(const QByteArray& window, int bodyStart, int endIndex)
{
    if (bodyStart < 0 || bodyStart >= window.size())
        return false;
    const auto frameNumber = quint8(window.at(bodyStart));
    // Both outcomes need our number. Checking it first spares the two token
    // searches, which run to the end of the window, for every other frame.
    if (!isOwnFrameNumber(frameNumber))
        return false;
    const int okIndex = window.indexOf(okToken, bodyStart + 1);
    const int nokIndex = window.indexOf(nokToken, bodyStart + 1);

    if (okIndex >= 0 && matchesExpectedLength(okIndex + okToken.size(), endIndex)) {
        answerReceived();
        const bool parsed = tryToParseResponseData(window, okIndex + okToken.size(), endIndex);
        if (parsed) {
            expectsMoreResponses();
            successfullyParsedHook();
        } else {
            failedToParseHook();
        }
        return parsed;
    }
    if (nokIndex >= 0 && !refusalReported) {
        refusalReported = true;
        qCDebug(lcProtocol) << " Message " << command << " Nr: " << unsigned(frameNumber) << "failed! ";
        messageFailedHook();
    }
    return false;
}

bool Message::tryToParseResponseData(const QByteArray& window, int dataStart, int endIndex)
{
    Q_UNUSED(window)
    Q_UNUSED(dataStart)
    Q_UNUSED(endIndex)
    return true;
}

bool Message::matchesExpectedLength(int dataStart, int endIndex)
{
    return endIndex - dataStart == expectedLength;
}

int Message::iterationsNeeded()
{
    return 1;
}

int Message::iterationsLeft()
{
    return 1;
}

void Message::successfullyParsedHook()
{
    if (expectsMoreResponses())
        return;
    isDone = true;
    Q_EMIT messageDone(deviceSerial);
}

void Message::failedToParseHook()
{
    // The sensor answered this very request, so waiting longer cannot help,
    // and leaving the message active would hold up every later message of
    // its device. Give up instead.
    qCDebug(lcProtocol) << " Message " << command << " could not use its reply, giving up.";
    giveUp();
}

void Message::messageFailedHook()
{
    Q_EMIT messageFailed(deviceSerial);
}

void Message::messageTimeoutHook()
{
    Q_EMIT messageTimeout(deviceSerial);
}

void Message::disposalHook()
{
    // Nothing may fire for a message that its owner has let go of.
    timeoutTimer.stop();
    if (!isDone) {
        qCDebug(lcProtocol) << " Message was aborted: " << this;
        Q_EMIT messageAborted(deviceSerial);
    }
    deleteLater();
}

bool Message::reschedule()
{
    if (expectsMoreResponses())
        return false;
    return rescheduleRequested;
}

bool Message::expectsMoreResponses()
{
    return false;
}

quint8 Message::parseUInt8(const QByteArray& data, quint64& position, bool* ok)
{
    return readChecked<quint8>(data, position, ok);
}

quint16 Message::parseUInt16(const QByteArray& data, quint64& position, bool* ok)
{
    return readChecked<quint16>(data, position, ok);
}

quint32 Message::parseUInt32(const QByteArray& data, quint64& position, bool* ok)
{
    return readChecked<quint32>(data, position, ok);
}

quint64 Message::parseUInt64(const QByteArray& data, quint64& position, bool* ok)
{
    return readChecked<quint64>(data, position, ok);
}

double Message::parseScalarValue(quint8 width, bool isSigned, double scale, const QByteArray& data,
                                 quint64& position, bool* ok)
{
    switch (width) {
    case 1: {
        const quint8 raw = parseUInt8(data, position, ok);
        return (isSigned ? double(qint8(raw)) : double(raw)) * scale;
    }
    case 2: {
        const quint16 raw = parseUInt16(data, position, ok);
        return (isSigned ? double(qint16(raw)) : double(raw)) * scale;
    }
    case 4: {
        const quint32 raw = parseUInt32(data, position, ok);
        return (isSigned ? double(qint32(raw)) : double(raw)) * scale;
    }
    case 8: {
        const quint64 raw = parseUInt64(data, position, ok);
        return (isSigned ? double(qint64(raw)) : double(raw)) * scale;
    }
    default:
        return 0;
    }
}

bool Message::checkCRC(const QByteArray& data, quint64 start, quint16 length)
{
    if (!fits(data, start, quint64(length) + 2))
        return false;
    const char* block = data.constData() + start;
    const quint16 crc = Helper::CRC16(block, 0, length);
    return quint8(block[length]) == quint8(crc >> 8) && quint8(block[length + 1]) == quint8(crc & 0xFF);
}

void Message::composeUInt8(quint8 value, int& position)
{
    if (position < 0)
        return;
    if (payload.size() < position + 1)
        payload.resize(position + 1);
    payload[position++] = char(value);
}

void Message::composeUInt16(quint16 value, int& position)
{
    composeUInt8(quint8(value >> 8), position);
    composeUInt8(quint8(value), position);
}

void Message::composeUInt64(quint64 value, int& position)
{
    for (int shift = 56; shift >= 0; shift -= 8)
        composeUInt8(quint8(value >> shift), position);
}

void Message::AddressToPayLoad(FlashAddress& address)
{
    payload = QByteArray(4, '\0');
    int position = 0;
    composeUInt8(address.getLun(), position);
    composeUInt16(address.getBlock(), position);
    composeUInt8(address.getPage(), position);
}

void Message::AddressRangeToPayLoad(FlashAddress& start, FlashAddress& stop)
{
    payload = QByteArray(8, '\0');
    int position = 0;
    for (FlashAddress* address : {&start, &stop}) {
        composeUInt8(address->getLun(), position);
        composeUInt16(address->getBlock(), position);
        composeUInt8(address->getPage(), position);
    }
}
