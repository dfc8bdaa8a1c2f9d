#include "Protocol/FlashAddress.h"

#include "Log/LogCategories.h"

#include <QDebug>

FlashAddress::FlashAddress() = default;

FlashAddress::FlashAddress(quint8 lun, quint16 block, quint8 page)
{
    InitAddress(lun, block, page);
}

FlashAddress::FlashAddress(quint32 packed)
{
    InitAddress(quint8(packed >> 24), quint16((packed >> 8) & 0xFFFF), quint8(packed & 0xFF));
}

void FlashAddress::InitAddress(quint8 lun, quint16 block, quint8 page)
{
    if (block <= kMaxBlock && lun <= kMaxLun && page <= kMaxPage) {
        this->lun = lun;
        this->block = block;
        this->page = page;
        valid = true;
        return;
    }
    this->lun = 0;
    this->block = 0;
    this->page = 0;
    valid = false;
    qCDebug(lcProtocol) << "Tried to initalize FlashAddress from invalid address (lun,block,page): "
                        << unsigned(lun) << "," << unsigned(block) << "," << unsigned(page);
}

quint32 FlashAddress::toQuint32() const
{
    return (quint32(lun) << 24) | (quint32(block) << 8) | quint32(page);
}

quint32 FlashAddress::pageIndex() const
{
    return (quint32(lun) * (quint32(kMaxBlock) + 1) + block) * (quint32(kMaxPage) + 1) + page;
}

void FlashAddress::nextUnit()
{
    if (lun == 0) {
        lun = 1;
    } else {
        lun = 0;
        qCDebug(lcProtocol) << "Flash address overflow.";
    }
}

void FlashAddress::incrementAddressByOnePage()
{
    if (page < kMaxPage) {
        ++page;
        return;
    }
    page = 0;
    if (block < kMaxBlock) {
        ++block;
        return;
    }
    block = 0;
    nextUnit();
}

void FlashAddress::incrementAddressByOneBlock()
{
    if (block < kMaxBlock) {
        ++block;
        return;
    }
    block = 0;
    nextUnit();
}

void FlashAddress::incrementAddressByPage(int n)
{
    for (int i = 0; i < n; ++i)
        incrementAddressByOnePage();
}

bool operator<(const FlashAddress& left, const FlashAddress& right)
{
    return left.toQuint32() < right.toQuint32();
}

bool operator==(const FlashAddress& left, const FlashAddress& right)
{
    return left.toQuint32() == right.toQuint32() && left.isValid() == right.isValid();
}

bool operator!=(const FlashAddress& left, const FlashAddress& right)
{
    return !(left == right);
}

QDebug operator<<(QDebug debug, const FlashAddress& address)
{
    QDebugStateSaver saver(debug);
    debug.nospace() << "FlashAddress(" << unsigned(address.getLun()) << "/" << address.getBlock() << "/"
                    << unsigned(address.getPage()) << (address.isValid() ? "" : ", invalid") << ")";
    return debug;
}
