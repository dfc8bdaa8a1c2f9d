#include "Crc16Arc.h"

#include <array>

namespace sensorsim {

namespace {

std::array<quint16, 256> buildTable()
{
    std::array<quint16, 256> table{};
    for (int i = 0; i < 256; ++i) {
        quint16 value = quint16(i);
        for (int bit = 0; bit < 8; ++bit)
            value = (value & 1) ? quint16((value >> 1) ^ 0xA001) : quint16(value >> 1);
        table[size_t(i)] = value;
    }
    return table;
}

const std::array<quint16, 256>& table()
{
    static const std::array<quint16, 256> s_table = buildTable();
    return s_table;
}

} // namespace

quint16 Crc16Arc::compute(const char* data, int length)
{
    if (!data || length <= 0)
        return 0;
    const auto& t = table();
    quint16 crc = 0;
    for (int i = 0; i < length; ++i)
        crc = quint16((crc >> 8) ^ t[(crc ^ quint8(data[i])) & 0xFF]);
    return crc;
}

} // namespace sensorsim
