#include "Data/SampleMapCodec.h"

#include "Data/ScalarSampleStore.h"
#include "Data/Storable.h"
#include "Data/VectorSampleStore.h"

#include <QByteArray>
#include <QDataStream>
#include <QtEndian>

#include <cstring>
#include <vector>

namespace {

// Sample maps are the bulk of a record; they are encoded and decoded in
// blocks instead of one stream operator call per number.
const int kBlockEntries = 8192;

bool fastDoubles(const QDataStream& stream)
{
    return stream.floatingPointPrecision() == QDataStream::DoublePrecision;
}

void putU32(char* out, quint32 value, QDataStream::ByteOrder order)
{
    if (order == QDataStream::BigEndian)
        qToBigEndian(value, out);
    else
        qToLittleEndian(value, out);
}

void putDouble(char* out, double value, QDataStream::ByteOrder order)
{
    quint64 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    if (order == QDataStream::BigEndian)
        qToBigEndian(bits, out);
    else
        qToLittleEndian(bits, out);
}

quint32 getU32(const char* in, QDataStream::ByteOrder order)
{
    return order == QDataStream::BigEndian ? qFromBigEndian<quint32>(in) : qFromLittleEndian<quint32>(in);
}

double getDouble(const char* in, QDataStream::ByteOrder order)
{
    const quint64 bits = order == QDataStream::BigEndian ? qFromBigEndian<quint64>(in) : qFromLittleEndian<quint64>(in);
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Reads `count` doubles into `out`, in blocks, so that a count larger than
// the data behind it fails at the end of the data instead of allocating.
bool readDoubles(QDataStream& stream, quint32 count, std::vector<double>& out)
{
    if (!fastDoubles(stream)) {
        for (quint32 i = 0; i < count && stream.status() == QDataStream::Ok; ++i) {
            double value = 0;
            stream >> value;
            out.push_back(value);
        }
        return stream.status() == QDataStream::Ok;
    }
    const QDataStream::ByteOrder order = stream.byteOrder();
    char block[kBlockEntries * 8];
    quint32 done = 0;
    while (done < count) {
        const int entries = static_cast<int>(qMin<quint32>(count - done, kBlockEntries));
        if (stream.readRawData(block, entries * 8) != entries * 8) {
            stream.setStatus(QDataStream::ReadPastEnd);
            return false;
        }
        for (int e = 0; e < entries; ++e)
            out.push_back(getDouble(block + e * 8, order));
        done += static_cast<quint32>(entries);
    }
    return true;
}

// Ends a record's load: a broken record leaves the store empty, a whole one
// gives back the room it kept for growth.
template <typename Store>
bool finishLoad(const QDataStream& stream, Store& store)
{
    store.finishRecordLoad();
    if (stream.status() != QDataStream::Ok) {
        store.clear();
        return false;
    }
    store.squeeze();
    return true;
}

} // namespace

// Map from sample number to double, highest number first.
void SampleMapCodec::writeScalarMap(QDataStream& stream, const ScalarSampleStore& store)
{
    const int count = store.size();
    stream << static_cast<quint32>(count);
    if (!fastDoubles(stream)) {
        for (int i = count - 1; i >= 0; --i)
            stream << store.numberAt(i) << store.valueAt(i);
        return;
    }
    const QDataStream::ByteOrder order = stream.byteOrder();
    QByteArray block(kBlockEntries * 12, Qt::Uninitialized);
    int i = count - 1;
    while (i >= 0) {
        char* out = block.data();
        int entries = 0;
        for (; i >= 0 && entries < kBlockEntries; --i, ++entries, out += 12) {
            putU32(out, store.numberAt(i), order);
            putDouble(out + 4, store.valueAt(i), order);
        }
        stream.writeRawData(block.constData(), entries * 12);
    }
}

// Map from sample number to a list of doubles, highest number first.
void SampleMapCodec::writeVectorMap(QDataStream& stream, const VectorSampleStore& store)
{
    const int count = store.size();
    stream << static_cast<quint32>(count);
    for (int i = count - 1; i >= 0; --i) {
        stream << store.numberAt(i);
        const int components = store.componentCountAt(i);
        const double* values = store.componentsAt(i);
        stream << static_cast<quint32>(components);
        for (int c = 0; c < components; ++c)
            stream << values[c];
    }
}

// Reads the map straight into the store, block by block: no copy of the
// whole channel is made on the way.
bool SampleMapCodec::readScalarMap(QDataStream& stream, ScalarSampleStore& store)
{
    const quint32 count = Storable::readCount(stream, 12);
    if (stream.status() != QDataStream::Ok)
        return false;
    const qint64 left = Storable::bytesLeft(stream);
    const quint32 expected = left >= 0 ? qMin<quint32>(count, quint32(left / 12)) : qMin<quint32>(count, kBlockEntries);
    store.beginRecordLoad(expected);

    if (!fastDoubles(stream)) {
        for (quint32 i = 0; i < count && stream.status() == QDataStream::Ok; ++i) {
            quint32 number = 0;
            double value = 0;
            stream >> number >> value;
            if (stream.status() == QDataStream::Ok)
                store.addRecordEntry(number, value);
        }
    } else {
        const QDataStream::ByteOrder order = stream.byteOrder();
        QByteArray block(kBlockEntries * 12, Qt::Uninitialized);
        quint32 done = 0;
        while (done < count) {
            const int entries = static_cast<int>(qMin<quint32>(count - done, kBlockEntries));
            if (stream.readRawData(block.data(), entries * 12) != entries * 12) {
                stream.setStatus(QDataStream::ReadPastEnd);
                break;
            }
            const char* in = block.constData();
            for (int e = 0; e < entries; ++e, in += 12)
                store.addRecordEntry(getU32(in, order), getDouble(in + 4, order));
            done += static_cast<quint32>(entries);
        }
    }
    return finishLoad(stream, store);
}

bool SampleMapCodec::readVectorMap(QDataStream& stream, VectorSampleStore& store)
{
    // Each entry is at least a number and an empty list's count.
    const quint32 count = Storable::readCount(stream, 8);
    store.beginRecordLoad();
    std::vector<double> components;
    for (quint32 i = 0; i < count && stream.status() == QDataStream::Ok; ++i) {
        quint32 number = 0;
        stream >> number;
        const quint32 n = Storable::readCount(stream, 8);
        components.clear();
        if (stream.status() != QDataStream::Ok || !readDoubles(stream, n, components))
            break;
        store.addRecordEntry(number, components.data(), static_cast<int>(components.size()));
    }
    return finishLoad(stream, store);
}
