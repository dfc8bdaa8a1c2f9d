#include "WireBytes.h"

#include "Application/Helper.h"

namespace WireBytes {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray result;
    for (int v : values)
        result.append(char(v));
    return result;
}

QByteArray frame(quint8 number, const QByteArray& token, const QByteArray& data)
{
    QByteArray result("<msg>");
    result.append(char(number));
    result.append(token);
    result.append(data);
    result.append("</msg>\r\n", 8);
    return result;
}

static QByteArray bigEndian(quint64 value, int width)
{
    QByteArray result(width, '\0');
    for (int i = width - 1; i >= 0; --i) {
        result[i] = char(value & 0xFF);
        value >>= 8;
    }
    return result;
}

QByteArray u16(quint16 value)
{
    return bigEndian(value, 2);
}

QByteArray u32(quint32 value)
{
    return bigEndian(value, 4);
}

QByteArray u64(quint64 value)
{
    return bigEndian(value, 8);
}

QByteArray withCrc(const QByteArray& block)
{
    return block + u16(Helper::CRC16(block.constData(), 0, quint16(block.size())));
}

QByteArray staticHeader(quint16 deviceCount, quint64 measurementId, quint16 word, quint32 spare)
{
    return withCrc(u16(0xDD88) + u16(deviceCount) + u16(word) + u64(measurementId) + u32(spare));
}

QByteArray deviceHeader(quint64 serial, const QList<QByteArray>& trackEntries)
{
    QByteArray result = u64(serial) + u16(quint16(trackEntries.size()));
    for (const QByteArray& entry : trackEntries)
        result += entry;
    return result;
}

QByteArray trackEntry(quint16 id, quint8 width, quint16 downSampling, quint8 configIndex)
{
    return u16(id) + char(width) + u16(downSampling) + char(configIndex);
}

QByteArray sampleGroup(quint16 mask, quint32 sampleNumber, const QByteArray& samples)
{
    return withCrc(u16(mask)) + u32(sampleNumber) + samples;
}

QByteArray packet(const QByteArray& payload)
{
    return bytes({0xAA, 0x55, payload.size() & 0xFF}) + payload + bytes({0xBB, 0x66});
}

} // namespace WireBytes
