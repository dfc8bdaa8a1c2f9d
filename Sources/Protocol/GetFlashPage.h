#pragma once

#include "Protocol/FlashAddress.h"
#include "Protocol/Message.h"

// Reads one raw flash page at the start address. Kept for diagnostics; the
// upload workflow uses the dedicated page readers.
class GetFlashPage : public Message
{
    Q_OBJECT
public:
    static constexpr int kPageSize = 2048;

    GetFlashPage(quint64 deviceSerial, FlashAddress start, FlashAddress stop);

    void BeforeComposeHook() override;
    bool tryToParseResponseData(const QByteArray& window, int dataStart, int endIndex) override;

    // The data bytes of the last accepted page.
    QByteArray getPage() const { return page; }

private:
    FlashAddress startAddress;
    FlashAddress stopAddress;
    QByteArray page;
};
