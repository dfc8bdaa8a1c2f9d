#pragma once

#include "Protocol/FlashAddress.h"
#include "Protocol/ParseHeader.h"

// Reads a measurement's header page from flash and announces its tracks.
class UploadHeader : public ParseHeader
{
    Q_OBJECT
public:
    static constexpr int kPageSize = 2048;

    UploadHeader(quint64 deviceSerial, FlashAddress pageAddress);

    void BeforeComposeHook() override;
    // Pages go over the cable when the sensor has one as well.
    bool prefersFastLink() const override { return true; }
    bool tryToParseResponseData(const QByteArray& window, int dataStart, int endIndex) override;

    FlashAddress getPageAddress() const { return pageAddress; }

private:
    FlashAddress pageAddress;
};
