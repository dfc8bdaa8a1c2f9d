#pragma once

#include <QByteArray>
#include <QList>

#include <initializer_list>

// Builders for the bytes a sensor puts on the wire, written from the wire
// formats so that tests never take expected bytes from the code under test.
namespace WireBytes {

// Bytes given as integers 0..255.
QByteArray bytes(std::initializer_list<int> values);

// A reply frame: "<msg>", the number byte, the reply token, the data and
// "</msg>" with carriage return and line feed.
QByteArray frame(quint8 number, const QByteArray& token, const QByteArray& data = QByteArray());
// A request frame, which the host sends to a sensor: laid out as a reply,
// with the command token and its payload.
inline QByteArray request(quint8 number, const QByteArray& token, const QByteArray& payload = QByteArray())
{
    return frame(number, token, payload);
}

QByteArray u16(quint16 value);
QByteArray u32(quint32 value);
QByteArray u64(quint64 value);

// The block followed by its CRC-16/ARC, high byte first.
QByteArray withCrc(const QByteArray& block);

// Stream header: the 20-byte static header (magic DD 88, device count, a
// spare word, measurement id, a spare long, CRC over the first 18 bytes),
// a device header (serial, track count, then the entries) and one 6-byte
// track entry (id, width, down-sampling, configuration index).
QByteArray staticHeader(quint16 deviceCount, quint64 measurementId, quint16 word = 0x0102,
                        quint32 spare = 0x0A0B0C0D);
QByteArray deviceHeader(quint64 serial, const QList<QByteArray>& trackEntries);
QByteArray trackEntry(quint16 id, quint8 width, quint16 downSampling, quint8 configIndex);

// Sample group: mask, CRC over the mask, sample number, then the samples.
QByteArray sampleGroup(quint16 mask, quint32 sampleNumber, const QByteArray& samples);
// Live packet: AA 55, the payload length, the payload, BB 66.
QByteArray packet(const QByteArray& payload);

} // namespace WireBytes
