#pragma once

#include <QByteArray>
#include <QString>

// Builds the bytes of a stored record by hand, field by field, in the
// encodings of a default Qt 5 data stream (big-endian, doubles as 64-bit
// IEEE values, strings as a byte length and UTF-16 big-endian units), so
// that tests can compare what a writer produced with an independent
// composition of the record layout.
class RecordBytes
{
public:
    RecordBytes& i8(qint8 value);
    RecordBytes& i16(qint16 value);
    RecordBytes& u16(quint16 value) { return i16(static_cast<qint16>(value)); }
    RecordBytes& i32(qint32 value);
    RecordBytes& u32(quint32 value) { return i32(static_cast<qint32>(value)); }
    RecordBytes& i64(qint64 value);
    RecordBytes& u64(quint64 value) { return i64(static_cast<qint64>(value)); }
    RecordBytes& f64(double value);
    RecordBytes& boolean(bool value) { return i8(value ? 1 : 0); }
    RecordBytes& string(const QString& value);
    RecordBytes& nullString() { return u32(0xFFFFFFFFu); }
    RecordBytes& raw(const QByteArray& bytes);

    const QByteArray& bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
};
