#pragma once

#include "Protocol/Message.h"

#include <bitset>

// Asks whoever sits behind a freshly opened link for its serial number.
//
// A sensor that is still booting, or a slow Bluetooth link, may answer later
// than the reply time-out, when the request has already gone out again under
// a new number. Any of the probe's own transmissions may be answered, and an
// answer binds whenever it comes, also after the probe has run out of tries:
// only this probe asks on its link, and only answers that arrived after its
// first transmission count.
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

protected:
    bool isOwnFrameNumber(quint8 number) const override;
    bool acceptsLateReplies() const override { return true; }

private:
    std::bitset<256> m_sentNumbers;
};
