#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace sensorsim {

// Byte-level helpers shared by the sensor's reader and writers: frame tokens,
// big-endian integers, the sensor's command and reply tokens.
class Wire
{
public:
    static const QByteArray& frameStart(); // "<msg>"
    static const QByteArray& frameEnd();   // "</msg>\r\n"

    // "<msg>", the number byte, the reply token, the data, "</msg>\r\n".
    static QByteArray frame(quint8 number, const QByteArray& token, const QByteArray& data = QByteArray());

    static void appendU8(QByteArray& out, quint8 value) { out.append(char(value)); }
    static void appendU16(QByteArray& out, quint16 value);
    static void appendU32(QByteArray& out, quint32 value);
    static void appendU64(QByteArray& out, quint64 value);

    // Readers; the caller checks that enough bytes are there.
    static quint16 readU16(const char* p);
    static quint32 readU32(const char* p);
    static quint64 readU64(const char* p);
};

} // namespace sensorsim
