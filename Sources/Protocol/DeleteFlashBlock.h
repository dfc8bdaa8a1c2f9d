#pragma once

#include "Protocol/FlashAddress.h"
#include "Protocol/Message.h"

// Erases the sensor's flash block by block, from the start to the stop
// address (both included). Each acknowledged block sends it back to the end
// of its device's queue for the next one.
class DeleteFlashBlock : public Message
{
    Q_OBJECT
public:
    DeleteFlashBlock(quint64 deviceSerial, FlashAddress start, FlashAddress stop);

    void BeforeComposeHook() override;
    void successfullyParsedHook() override;
    int iterationsNeeded() override;
    int iterationsLeft() override;

    FlashAddress getCurrentAddress() const { return currentAddress; }
    // Blocks of the range, and those the sensor has confirmed erased.
    int blocksTotal() const;
    int blocksErased() const { return erasedBlocks; }

Q_SIGNALS:
    // One more block confirmed; messageDone follows the last one.
    void blockErased(quint64 DeviceSerial);

private:
    FlashAddress currentAddress;
    FlashAddress startAddress;
    FlashAddress stopAddress;
    int erasedBlocks = 0;
};
