#pragma once

#include <QByteArray>
#include <QHash>
#include <QtGlobal>

namespace sensorsim {

// The sensor's flash: 2 logical units x 4096 blocks x 64 pages x 2048 bytes.
// Only pages that have been programmed take memory; everything else reads as
// erased (0xFF). Programming works like real flash: it can only clear bits,
// so a page area is written once between erasures (an allocation-table entry
// gets its stop address later, into the still-erased rest of the entry).
class SimFlash
{
public:
    static constexpr int kUnits = 2;
    static constexpr int kBlocksPerUnit = 4096;
    static constexpr int kPagesPerBlock = 64;
    static constexpr int kPageSize = 2048;
    static constexpr qint64 kTotalPages = qint64(kUnits) * kBlocksPerUnit * kPagesPerBlock;

    // Packed address: bits 31-24 unit, 23-8 block, 7-0 page.
    static quint32 pack(int unit, int block, int page) { return (quint32(unit) << 24) | (quint32(block) << 8) | quint32(page); }
    static int unitOf(quint32 packed) { return int(packed >> 24); }
    static int blockOf(quint32 packed) { return int((packed >> 8) & 0xFFFF); }
    static int pageOf(quint32 packed) { return int(packed & 0xFF); }
    static bool isValid(quint32 packed);
    // Position of a valid address in page order, and back.
    static qint64 pageIndex(quint32 packed);
    static quint32 fromPageIndex(qint64 index);
    // The next page, wrapping from the last page of unit 1 to the first of unit 0.
    static quint32 nextPage(quint32 packed) { return fromPageIndex((pageIndex(packed) + 1) % kTotalPages); }

    // 2048 bytes; an invalid address reads as erased too.
    QByteArray readPage(quint32 packed) const;
    bool isPageErased(quint32 packed) const { return !m_pages.contains(packed); }
    bool isBlockErased(int unit, int block) const;
    // ANDs data into the page at the offset (bytes beyond the page are ignored).
    void program(quint32 packed, int offset, const QByteArray& data);
    void eraseBlock(int unit, int block);
    void eraseAll() { m_pages.clear(); }
    int programmedPages() const { return m_pages.size(); }

private:
    QHash<quint32, QByteArray> m_pages;
};

} // namespace sensorsim
