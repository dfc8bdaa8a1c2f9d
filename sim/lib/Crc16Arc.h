#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace sensorsim {

// CRC-16/ARC (reflected polynomial 0x8005, initial value 0, no final XOR),
// table driven. The sensor writes it behind allocation-table entries, stream
// headers and the channel masks of sample groups.
class Crc16Arc
{
public:
    static quint16 compute(const char* data, int length);
    static quint16 compute(const QByteArray& data) { return compute(data.constData(), data.size()); }
};

} // namespace sensorsim
