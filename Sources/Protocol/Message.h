#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

class FlashAddress;

// One request/response exchange with a sensor.
//
// A message composes its request frame, watches for the reply with its own
// timer, recognises its reply inside the receive window of its device and
// reports the outcome through four signals. Concrete messages supply the
// command token, the payload and the reply parser through the virtual hooks.
// Messages never write to a link themselves: their owner asks for the frame,
// writes it and offers every later receive window back to the message.
class Message : public QObject
{
    Q_OBJECT
public:
    static const QByteArray kStartStreamToken;
    static const QByteArray kEndStreamToken;
    // Shared by every message; each transmission takes the next number so a
    // stale reply can never be mistaken for the answer to a later request.
    static quint8 messageNumberGlobal;

    explicit Message(quint64 deviceSerial);
    explicit Message(QString interfaceIdentifier);
    Message(int deviceIndex, int number);
    ~Message() override;

    QByteArray Compose();

    virtual bool tryToParse(const QByteArray& window, quint64 bufferOffset);
    // A window of the named link (empty when it is not known). A reply comes
    // back on the link its request went out on: the windows of a sensor's
    // other links hold frames whose positions and numbers mean nothing to
    // this request, so they are not looked at.
    virtual bool offerWindow(const QString& link, const QByteArray& window, quint64 bufferOffset);
    // Whether the message moves much data and should go over a sensor's
    // fastest link rather than its preferred one.
    virtual bool prefersFastLink() const { return false; }
    virtual bool tryToParseBody(const QByteArray& window, int bodyStart, int endIndex);
    virtual bool tryToParseResponseData(const QByteArray& window, int dataStart, int endIndex);
    virtual bool matchesExpectedLength(int dataStart, int endIndex);
    virtual int iterationsNeeded();
    virtual int iterationsLeft();
    virtual void BeforeComposeHook() = 0;
    virtual void successfullyParsedHook();
    virtual void failedToParseHook();
    virtual void messageFailedHook();
    virtual void messageTimeoutHook();
    virtual void disposalHook();
    virtual bool reschedule();
    virtual bool expectsMoreResponses();

    bool done() const { return isDone; }
    bool failed() const { return hasFailed; }
    bool wantsToRetry() const { return retryPending; }

    quint64 getDeviceSerial() const { return deviceSerial; }
    int getDeviceIndex() const { return deviceIndex; }
    QString getInterfaceIdentifier() const { return interfaceIdentifier; }
    void setSerial(quint64 serial) { deviceSerial = serial; }

    // What the last Compose() put on the wire and how the reply is watched.
    quint8 getMessageNumber() const { return messageNumber; }
    QByteArray getCommand() const { return command; }
    QByteArray getPayload() const { return payload; }
    int getExpectedLength() const { return expectedLength; }
    quint16 getTimeoutCount() const { return timeoutCount; }
    bool isWaitingForReply() const { return timeoutTimer.isActive(); }

    // The absolute stream position (bufferOffset + index) that the device's
    // receive window had reached when the current transmission was written.
    // A frame that begins before it was on its way before the request, so
    // it is never taken for the reply, whatever number it carries: numbers
    // wrap after 256 transmissions, and a window holds far more short frames
    // than that. The sender sets it just before writing; 0 accepts all.
    void setReplyNotBefore(quint64 position) { replyNotBefore = position; }
    quint64 getReplyNotBefore() const { return replyNotBefore; }
    // The link the current transmission was written to; empty when unknown.
    void setReplyLink(const QString& link) { replyLink = link; }
    QString getReplyLink() const { return replyLink; }

    void reset();
    void answerReceived();

    // Big-endian readers at `position` of `data`. A read that would cross the
    // end of the data reads nothing, leaves `position` alone, reports false
    // through `ok` (which may be null) and returns 0.
    static quint8 parseUInt8(const QByteArray& data, quint64& position, bool* ok);
    static quint16 parseUInt16(const QByteArray& data, quint64& position, bool* ok);
    static quint32 parseUInt32(const QByteArray& data, quint64& position, bool* ok);
    static quint64 parseUInt64(const QByteArray& data, quint64& position, bool* ok);
    // One sample of `width` bytes (1, 2, 4 or 8), signed or unsigned, times
    // `scale`. Other widths read nothing and return 0.
    static double parseScalarValue(quint8 width, bool isSigned, double scale, const QByteArray& data,
                                   quint64& position, bool* ok);

    // True when the two bytes after the block hold its CRC, high byte first.
    static bool checkCRC(const QByteArray& data, quint64 start, quint16 length);

    void composeUInt8(quint8 value, int& position);
    void composeUInt16(quint16 value, int& position);
    void composeUInt64(quint64 value, int& position);

    void AddressToPayLoad(FlashAddress& address);
    void AddressRangeToPayLoad(FlashAddress& start, FlashAddress& stop);

Q_SIGNALS:
    void messageAborted(quint64 DeviceSerial);
    void messageDone(quint64 DeviceSerial);
    void messageFailed(quint64 DeviceSerial);
    void messageTimeout(quint64 DeviceSerial);

public Q_SLOTS:
    void timedOut();

protected:
    // Whether a frame with this number answers this message: by default only
    // the latest transmission's number does.
    virtual bool isOwnFrameNumber(quint8 number) const { return number == messageNumber; }
    // A message that has given up normally ignores later windows, so the
    // frame that made it fail is not handled again; a probe that may still
    // be answered late says so here.
    virtual bool acceptsLateReplies() const { return false; }

    void Init();
    void takeMessageNumber();
    // Ends the exchange for good: no more retries, timer stopped, failure
    // reported. Used by the last time-out and by refused reply data.
    void giveUp();

    quint8 messageNumber = 0;
    QByteArray command;
    QByteArray payload;
    QString interfaceIdentifier;
    qint32 deviceIndex = 0;
    quint64 deviceSerial = 0;
    qint32 expectedLength = 0;
    QByteArray okToken;
    QByteArray nokToken;
    bool isDone = false;
    bool rescheduleRequested = false;
    QTimer timeoutTimer;
    quint16 timeoutCount = 0;
    quint16 timeoutIntervalMs = 300;
    quint16 maxTries = 20;
    bool retryPending = false;
    bool hasFailed = false;
    quint64 replyNotBefore = 0;
    QString replyLink;
    // A refusal stays in the window and is offered again on every poll; it
    // is reported once per transmission.
    bool refusalReported = false;
};
