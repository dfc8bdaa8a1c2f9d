#pragma once

#include "Protocol/FlashAddress.h"
#include "Protocol/Message.h"

// Asks for flash pages without naming a range; what the sensor sends back is
// its own choice. Kept for diagnostics; no workflow uses it.
class GetFlashPages : public Message
{
    Q_OBJECT
public:
    static constexpr int kPageSize = 2048;

    GetFlashPages(quint64 deviceSerial, FlashAddress start, FlashAddress stop);

    void BeforeComposeHook() override;

private:
    FlashAddress startAddress;
    FlashAddress currentAddress;
    FlashAddress stopAddress;
};
