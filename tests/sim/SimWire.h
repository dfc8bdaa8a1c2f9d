#pragma once

// Wire bytes for the simulator's tests, written by hand from the frame layout
// (never produced by the program's own message classes).

#include <QByteArray>

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

} // namespace simwire
