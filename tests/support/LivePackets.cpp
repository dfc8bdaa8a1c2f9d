#include "LivePackets.h"

namespace LivePackets {

namespace {

quint32 bigEndian(const uchar* bytes, int width)
{
    quint32 value = 0;
    for (int i = 0; i < width; ++i)
        value = (value << 8) | bytes[i];
    return value;
}

} // namespace

QList<Group> decode(const QByteArray& bytes, const QList<int>& widths)
{
    QList<Group> groups;
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    const int size = bytes.size();
    for (int p = 0; p + 4 < size; ++p) {
        if (data[p] != 0xAA || data[p + 1] != 0x55)
            continue;
        const int length = data[p + 2];
        const int end = p + 3 + length;
        if (end + 1 >= size || data[end] != 0xBB || data[end + 1] != 0x66)
            continue;
        int at = p + 3;
        while (at + 8 <= end) {
            Group group;
            group.mask = quint16(bigEndian(data + at, 2));
            group.sampleNumber = bigEndian(data + at + 4, 4);
            at += 8;
            int sampleBytes = 0;
            for (int track = 0; track < widths.size(); ++track) {
                if (group.mask & (1u << track))
                    sampleBytes += widths.at(track);
            }
            if (at + sampleBytes > end)
                break;
            group.samples = bytes.mid(at, sampleBytes);
            at += sampleBytes;
            groups.append(group);
        }
        p = end + 1;
    }
    return groups;
}

bool scalarSample(const Group& group, const QList<int>& widths, int track, qint16& value)
{
    if (!(group.mask & (1u << track)) || widths.value(track) != 2)
        return false;
    int offset = 0;
    for (int i = 0; i < track; ++i) {
        if (group.mask & (1u << i))
            offset += widths.at(i);
    }
    if (offset + 2 > group.samples.size())
        return false;
    value = qint16(bigEndian(reinterpret_cast<const uchar*>(group.samples.constData()) + offset, 2));
    return true;
}

} // namespace LivePackets
