#include "RecordBytes.h"

#include <cstring>

namespace {

void appendBigEndian(QByteArray& out, quint64 value, int width)
{
    for (int shift = (width - 1) * 8; shift >= 0; shift -= 8)
        out.append(static_cast<char>((value >> shift) & 0xFF));
}

} // namespace

RecordBytes& RecordBytes::i8(qint8 value)
{
    appendBigEndian(m_bytes, static_cast<quint8>(value), 1);
    return *this;
}

RecordBytes& RecordBytes::i16(qint16 value)
{
    appendBigEndian(m_bytes, static_cast<quint16>(value), 2);
    return *this;
}

RecordBytes& RecordBytes::i32(qint32 value)
{
    appendBigEndian(m_bytes, static_cast<quint32>(value), 4);
    return *this;
}

RecordBytes& RecordBytes::i64(qint64 value)
{
    appendBigEndian(m_bytes, static_cast<quint64>(value), 8);
    return *this;
}

RecordBytes& RecordBytes::f64(double value)
{
    quint64 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    appendBigEndian(m_bytes, bits, 8);
    return *this;
}

RecordBytes& RecordBytes::string(const QString& value)
{
    if (value.isNull())
        return nullString();
    u32(static_cast<quint32>(value.size() * 2));
    for (const QChar c : value)
        appendBigEndian(m_bytes, c.unicode(), 2);
    return *this;
}

RecordBytes& RecordBytes::raw(const QByteArray& bytes)
{
    m_bytes.append(bytes);
    return *this;
}
