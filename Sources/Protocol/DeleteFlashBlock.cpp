#include "Protocol/DeleteFlashBlock.h"

#include "Log/LogCategories.h"

#include <QDebug>

DeleteFlashBlock::DeleteFlashBlock(quint64 deviceSerial, FlashAddress start, FlashAddress stop)
    : Message(deviceSerial)
    , currentAddress(start)
    , startAddress(start)
    , stopAddress(stop)
{
}

void DeleteFlashBlock::BeforeComposeHook()
{
    command = QByteArrayLiteral("<DeleteBlock>");
    expectedLength = 0;
    AddressToPayLoad(currentAddress);
}

void DeleteFlashBlock::successfullyParsedHook()
{
    bool more = false;
    if (currentAddress < stopAddress) {
        const FlashAddress before = currentAddress;
        currentAddress.incrementAddressByOneBlock();
        // Past the last block of the flash the address starts again at the
        // front; going on would erase the whole flash over and over.
        more = before < currentAddress;
    }
    rescheduleRequested = more;
    isDone = !more;
    ++erasedBlocks;
    qCDebug(lcProtocol) << " Deleted flash lun / block: " << unsigned(currentAddress.getLun()) << "/"
                        << currentAddress.getBlock();
    Q_EMIT blockErased(deviceSerial);
    if (isDone)
        Q_EMIT messageDone(deviceSerial);
}

int DeleteFlashBlock::blocksTotal() const
{
    if (stopAddress < startAddress)
        return 1;
    const quint32 pagesPerBlock = FlashAddress::kMaxPage + 1u;
    return int(stopAddress.pageIndex() / pagesPerBlock - startAddress.pageIndex() / pagesPerBlock) + 1;
}

int DeleteFlashBlock::iterationsNeeded()
{
    return qint32(stopAddress.toQuint32() - startAddress.toQuint32());
}

int DeleteFlashBlock::iterationsLeft()
{
    return qint32(stopAddress.toQuint32() - currentAddress.toQuint32());
}
