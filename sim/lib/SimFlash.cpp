#include "SimFlash.h"

namespace sensorsim {

bool SimFlash::isValid(quint32 packed)
{
    return unitOf(packed) < kUnits && blockOf(packed) < kBlocksPerUnit && pageOf(packed) < kPagesPerBlock;
}

qint64 SimFlash::pageIndex(quint32 packed)
{
    return (qint64(unitOf(packed)) * kBlocksPerUnit + blockOf(packed)) * kPagesPerBlock + pageOf(packed);
}

quint32 SimFlash::fromPageIndex(qint64 index)
{
    const int page = int(index % kPagesPerBlock);
    const qint64 blocks = index / kPagesPerBlock;
    return pack(int(blocks / kBlocksPerUnit), int(blocks % kBlocksPerUnit), page);
}

QByteArray SimFlash::readPage(quint32 packed) const
{
    const auto it = m_pages.constFind(packed);
    if (it == m_pages.constEnd())
        return QByteArray(kPageSize, char(0xFF));
    return it.value();
}

bool SimFlash::isBlockErased(int unit, int block) const
{
    for (int page = 0; page < kPagesPerBlock; ++page) {
        if (m_pages.contains(pack(unit, block, page)))
            return false;
    }
    return true;
}

void SimFlash::program(quint32 packed, int offset, const QByteArray& data)
{
    if (!isValid(packed) || offset < 0 || offset >= kPageSize || data.isEmpty())
        return;
    auto it = m_pages.find(packed);
    if (it == m_pages.end())
        it = m_pages.insert(packed, QByteArray(kPageSize, char(0xFF)));
    char* page = it.value().data();
    const int count = qMin(data.size(), kPageSize - offset);
    for (int i = 0; i < count; ++i)
        page[offset + i] = char(quint8(page[offset + i]) & quint8(data.at(i)));
}

void SimFlash::eraseBlock(int unit, int block)
{
    for (int page = 0; page < kPagesPerBlock; ++page)
        m_pages.remove(pack(unit, block, page));
}

} // namespace sensorsim
