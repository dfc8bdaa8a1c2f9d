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

} // namespace WireBytes
