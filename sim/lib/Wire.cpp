#include "Wire.h"

namespace sensorsim {

const QByteArray& Wire::frameStart()
{
    static const QByteArray s_start("<msg>");
    return s_start;
}

const QByteArray& Wire::frameEnd()
{
    static const QByteArray s_end("</msg>\r\n");
    return s_end;
}

QByteArray Wire::frame(quint8 number, const QByteArray& token, const QByteArray& data)
{
    QByteArray out;
    out.reserve(frameStart().size() + 1 + token.size() + data.size() + frameEnd().size());
    out.append(frameStart());
    out.append(char(number));
    out.append(token);
    out.append(data);
    out.append(frameEnd());
    return out;
}

void Wire::appendU16(QByteArray& out, quint16 value)
{
    out.append(char(value >> 8));
    out.append(char(value));
}

void Wire::appendU32(QByteArray& out, quint32 value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(char(value >> shift));
}

void Wire::appendU64(QByteArray& out, quint64 value)
{
    for (int shift = 56; shift >= 0; shift -= 8)
        out.append(char(value >> shift));
}

quint16 Wire::readU16(const char* p)
{
    return quint16((quint16(quint8(p[0])) << 8) | quint8(p[1]));
}

quint32 Wire::readU32(const char* p)
{
    quint32 value = 0;
    for (int i = 0; i < 4; ++i)
        value = (value << 8) | quint8(p[i]);
    return value;
}

quint64 Wire::readU64(const char* p)
{
    quint64 value = 0;
    for (int i = 0; i < 8; ++i)
        value = (value << 8) | quint8(p[i]);
    return value;
}

} // namespace sensorsim
