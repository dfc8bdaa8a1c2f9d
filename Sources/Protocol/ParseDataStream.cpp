#include "Protocol/ParseDataStream.h"

#include "Data/Track.h"
#include "Data/TrackList.h"
#include "Data/VectorIndex.h"
#include "Log/LogCategories.h"

#include <QDebug>

ParseDataStream::ParseDataStream(quint64 deviceSerial, quint64 measurementId)
    : Message(deviceSerial)
    , streamMeasurementId(measurementId)
{
}

void ParseDataStream::DeviceTrackListChanged(quint64 DeviceSerial, quint64 MeasurementId, TrackList* list)
{
    if (DeviceSerial != deviceSerial || MeasurementId != streamMeasurementId)
        return;
    if (trackList && trackList != list)
        disconnect(trackList, &TrackList::newLiveValue, this, &ParseDataStream::newLiveValue);
    trackList = list;
    if (list)
        connect(list, &TrackList::newLiveValue, this, &ParseDataStream::newLiveValue, Qt::UniqueConnection);
    qCDebug(lcProtocol) << "CheckB";
}

int ParseDataStream::sampleWidth(const Track* track)
{
    const auto valid = [](int width) { return width == 1 || width == 2 || width == 4 || width == 8; };
    if (track->getType() == Track::ScalarTrack)
        return valid(track->getTrackWidth()) ? track->getTrackWidth() : 0;
    if (track->getType() == Track::VectorTrack) {
        int width = 0;
        for (const VectorIndex* component : track->getComponents()) {
            if (!component || !valid(component->getDataWidth()))
                return 0;
            width += component->getDataWidth();
        }
        return width;
    }
    return 0;
}

bool ParseDataStream::ParsePacket(const QByteArray& window, quint64 start, int length)
{
    if (!trackList)
        return false;
    const auto windowSize = quint64(window.size());
    if (length == -1) {
        bool ok = false;
        length = parseUInt8(window, start, &ok);
        if (!ok)
            return false;
    }
    if (length < 0 || start >= windowSize)
        return false;

    // Reads stop at the end of the packet: bytes after it (end markers, the
    // next packet, a frame's end token) never become part of a sample.
    const quint64 end = qMin(windowSize, start + quint64(length));
    const QByteArray packet = QByteArray::fromRawData(window.constData(), int(end));
    const int trackCount = trackList->numberOfTracks();

    bool stored = false;
    quint64 position = start;
    const auto used = [&] { return position - start; };
    while (used() < quint64(length)) {
        bool ok = false;
        const quint64 maskAt = position;
        const quint16 mask = parseUInt16(packet, position, &ok);
        if (!ok)
            break;
        if (!checkCRC(packet, maskAt, 2)) {
            // Erased flash (all ones) after the last group of a page is the
            // normal end, however few bytes the last group left over; anything
            // else is a group that failed its check.
            bool erased = mask == 0xFFFF;
            for (quint64 at = maskAt + 2; erased && at < qMin(end, maskAt + 4); ++at)
                erased = quint8(packet.at(int(at))) == 0xFF;
            if (!erased)
                ++m_maskFailures;
            break;
        }
        position += 2;
        if (used() >= quint64(length))
            break;
        const quint32 sampleNumber = parseUInt32(packet, position, &ok);
        if (used() >= quint64(length) || !ok)
            break;

        bool packetExhausted = false;
        for (int bit = 0; bit < 16 && !packetExhausted; ++bit) {
            if (!(mask & (1u << bit)) || bit >= trackCount)
                continue;
            Track* track = trackList->getTrackByIndex(quint8(bit));
            if (!track)
                continue;
            const int width = sampleWidth(track);
            if (width == 0)
                continue;
            if (position + quint64(width) > end) {
                // A sample cut off by the end of the packet: nothing of it is
                // stored, and nothing after it can be read in step.
                packetExhausted = true;
                break;
            }
            track->setCurrentSampleNumber(sampleNumber);
            const quint64 before = position;
            track->parseAndStoreSample(packet, position);
            if (position != before) {
                lastParsedPosition = position + lastBufferOffset;
                stored = true;
            }
            if (used() >= quint64(length))
                break;
        }
        if (packetExhausted)
            break;
    }
    return stored;
}
