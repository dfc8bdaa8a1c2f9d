#pragma once

#include "Protocol/Message.h"

// Asks whoever sits behind a freshly opened link for its serial number.
class GetSerial : public Message
{
    Q_OBJECT
public:
    explicit GetSerial(QString interfaceIdentifier);
    GetSerial(int deviceIndex, int number);

    void BeforeComposeHook() override;
    bool tryToParseResponseData(const QByteArray& window, int dataStart, int endIndex) override;

    quint64 getReceivedSerial() const { return receivedSerial; }

    // 0 until a reply has been accepted.
    quint64 receivedSerial = 0;
};
