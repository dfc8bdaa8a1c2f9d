#pragma once

#include <QByteArray>
#include <QList>
#include <QtGlobal>

// Reads live packets out of raw link bytes, written from the wire format
// (AA 55, payload length, sample groups, BB 66; a group is the mask, its
// CRC, the sample number and the samples of the tracks the mask names), so
// that a test can tell on its own what a stream carried.
namespace LivePackets {

struct Group
{
    quint16 mask = 0;
    quint32 sampleNumber = 0;
    QByteArray samples;
};

// Every group of every complete packet in the bytes. `widths` gives the
// sample width of each track in table order.
QList<Group> decode(const QByteArray& bytes, const QList<int>& widths);

// The signed 16-bit sample of table entry `track` in a group, if the group has one.
bool scalarSample(const Group& group, const QList<int>& widths, int track, qint16& value);

} // namespace LivePackets
