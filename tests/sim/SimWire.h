#pragma once

// Wire bytes for the simulator's tests, written by hand from the frame layout
// (never produced by the program's own message classes).

#include <QByteArray>
#include <QVector>

#include <initializer_list>

namespace simwire {

// A request frame: start tag, number byte, command token, payload, end tag.
inline QByteArray request(char number, const QByteArray& token, const QByteArray& payload = QByteArray())
{
    return QByteArray("<msg>") + number + token + payload + QByteArray("</msg>\r\n");
}

inline QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

inline quint32 be32(const QByteArray& b, int at)
{
    return (quint32(quint8(b[at])) << 24) | (quint32(quint8(b[at + 1])) << 16) | (quint32(quint8(b[at + 2])) << 8)
        | quint8(b[at + 3]);
}

// The payloads of a byte stream that holds only live packets (AA 55, length,
// payload, BB 66); empty if anything else is in it.
inline QVector<QByteArray> livePackets(const QByteArray& stream)
{
    QVector<QByteArray> packets;
    int i = 0;
    while (i + 5 <= stream.size()) {
        if (quint8(stream[i]) != 0xAA || quint8(stream[i + 1]) != 0x55)
            return {};
        const int length = quint8(stream[i + 2]);
        if (i + 5 + length > stream.size() || quint8(stream[i + 3 + length]) != 0xBB
            || quint8(stream[i + 4 + length]) != 0x66)
            return {};
        packets.append(stream.mid(i + 3, length));
        i += 5 + length;
    }
    return i == stream.size() ? packets : QVector<QByteArray>();
}

} // namespace simwire
