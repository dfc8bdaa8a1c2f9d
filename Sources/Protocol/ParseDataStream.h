#pragma once

#include "Data/TrackList.h"
#include "Protocol/Message.h"

#include <QPointer>

class Track;

// Stores sample groups (track mask with its CRC, sample number, one sample
// per set mask bit) into the tracks of a track list. The base of the live
// stream listener and of the flash data-page readers.
//
// Bit i of a mask stands for the i-th track of the list; samples are
// stored only once the list of this parser's device and measurement has
// been announced through DeviceTrackListChanged().
class ParseDataStream : public Message
{
    Q_OBJECT
public:
    ParseDataStream(quint64 deviceSerial, quint64 measurementId);

    // Parses the groups of `length` bytes from `start`; a length of -1 means
    // the length is the byte at `start` and the groups follow it. True when
    // at least one sample was stored.
    bool ParsePacket(const QByteArray& window, quint64 start, int length);

    quint64 getStreamMeasurementId() const { return streamMeasurementId; }
    TrackList* getTrackList() const { return trackList; }
    quint64 getLastParsedPosition() const { return lastParsedPosition; }
    // Sample groups whose mask failed its check (and what followed them in
    // their page or packet, which cannot be read in step). Only the mask
    // carries a check: damaged sample bytes cannot be told from good ones.
    int maskFailures() const { return m_maskFailures; }

public Q_SLOTS:
    void DeviceTrackListChanged(quint64 DeviceSerial, quint64 MeasurementId, TrackList* trackList);

Q_SIGNALS:
    void newLiveValue(quint32 TrackID, double value);

protected:
    // Bytes one sample of the track occupies; 0 when the track cannot be
    // read (unknown kind or width).
    static int sampleWidth(const Track* track);

    quint64 streamMeasurementId;
    // Not owned; the measurement that owns the list may drop it at any time.
    QPointer<TrackList> trackList;
    quint64 lastParsedPosition = 0;
    quint64 lastBufferOffset = 0;
    int m_maskFailures = 0;
};
