#pragma once

#include "Protocol/Message.h"

// Asks a sensor for its top-level state (0 idle, 1 recording, others as the
// sensor defines them). Also keeps a live stream from timing out.
class GetTopState : public Message
{
    Q_OBJECT
public:
    explicit GetTopState(quint64 deviceSerial);

    void BeforeComposeHook() override;
    bool tryToParseResponseData(const QByteArray& window, int dataStart, int endIndex) override;

    quint8 getState() const { return state; }

Q_SIGNALS:
    void gotState(quint64 DeviceSerial, quint8 state);

private:
    quint8 state = 0;
};
