#pragma once

#include "Protocol/ParseHeader.h"

// Listens to a device's received data for the header that starts a live
// stream; done with the first window that holds a complete header.
class LiveStreamParseHeader : public ParseHeader
{
    Q_OBJECT
public:
    explicit LiveStreamParseHeader(quint64 deviceSerial);

    bool tryToParse(const QByteArray& window, quint64 bufferOffset) override;
};
