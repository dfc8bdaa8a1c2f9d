#pragma once

#include <QByteArray>

#include <initializer_list>

// Builders for the bytes a sensor puts on the wire, written from the wire
// formats so that tests never take expected bytes from the code under test.
namespace WireBytes {

// Bytes given as integers 0..255.
QByteArray bytes(std::initializer_list<int> values);

// A reply frame: "<msg>", the number byte, the reply token, the data and
// "</msg>" with carriage return and line feed.
QByteArray frame(quint8 number, const QByteArray& token, const QByteArray& data = QByteArray());

QByteArray u16(quint16 value);
QByteArray u32(quint32 value);
QByteArray u64(quint64 value);

// The block followed by its CRC-16/ARC, high byte first.
QByteArray withCrc(const QByteArray& block);

} // namespace WireBytes
