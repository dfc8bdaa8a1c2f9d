#pragma once

#include "Protocol/Message.h"

// Asks a sensor for its firmware revision.
class GetFirmware : public Message
{
    Q_OBJECT
public:
    explicit GetFirmware(quint64 deviceSerial);

    void BeforeComposeHook() override;
    bool tryToParseResponseData(const QByteArray& window, int dataStart, int endIndex) override;

    quint16 getFirmwareRevision() const { return firmwareRevision; }

Q_SIGNALS:
    void gotFirmwareRevision(quint64 DeviceSerial, quint16 firmwareRevision);

private:
    quint16 firmwareRevision = 0;
};
