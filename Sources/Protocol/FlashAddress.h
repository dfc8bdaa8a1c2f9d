#pragma once

#include <QtGlobal>

class QDebug;

// A page in the sensor's flash: logical unit (0..1), block (0..4095) and
// page (0..63), with a packed 32-bit form (unit in bits 31-24, block in bits
// 23-8, page in bits 7-0). An out-of-range address collapses to 0/0/0 and is
// marked invalid rather than pointing somewhere arbitrary.
class FlashAddress
{
public:
    static constexpr quint8 kMaxLun = 1;
    static constexpr quint16 kMaxBlock = 4095;
    static constexpr quint8 kMaxPage = 63;

    FlashAddress();
    FlashAddress(quint8 lun, quint16 block, quint8 page);
    explicit FlashAddress(quint32 packed);

    void InitAddress(quint8 lun, quint16 block, quint8 page);

    bool isValid() const { return valid; }
    quint8 getLun() const { return lun; }
    quint16 getBlock() const { return block; }
    quint8 getPage() const { return page; }
    quint32 toQuint32() const;
    // The page's position counted from unit 0, block 0, page 0, so that
    // distances between addresses are plain differences.
    quint32 pageIndex() const;

    void incrementAddressByOnePage();
    void incrementAddressByOneBlock();
    void incrementAddressByPage(int n);

private:
    // Past the last block of a unit the next unit begins; past the last
    // block of the last unit the address wraps round to the very start.
    void nextUnit();

    quint8 lun = 0;
    quint16 block = 0;
    quint8 page = 0;
    bool valid = true;
};

bool operator<(const FlashAddress& left, const FlashAddress& right);
bool operator==(const FlashAddress& left, const FlashAddress& right);
bool operator!=(const FlashAddress& left, const FlashAddress& right);

QDebug operator<<(QDebug debug, const FlashAddress& address);
