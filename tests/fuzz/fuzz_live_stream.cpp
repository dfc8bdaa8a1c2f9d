// The live stream listener fed as the link manager feeds it, over arbitrary
// bytes: the input is cut into deliveries (each first byte, times four plus
// one, gives the size of the next delivery), appended to a receive buffer
// capped at 4096 bytes whose dropped front is counted in bufferOffset. The
// track list has a two-byte scalar track and a quaternion track. The whole
// input also goes once through the length-byte form of the group parser.
#include "FuzzSupport.h"

#include "Data/Track.h"
#include "Data/TrackList.h"
#include "Protocol/ParseLiveStream.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzSetUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TrackList list(nullptr, 1, 2);
    list.AddTrack(quint16(Track::AccX), 1, 2, 0);
    list.AddTrack(quint16(Track::FusionWithMagDmp), 1, 16, 0);
    ParseLiveStream parser(1, 2);
    parser.DeviceTrackListChanged(1, 2, &list);

    QByteArray buffer;
    quint64 bufferOffset = 0;
    size_t at = 0;
    while (at < size) {
        const size_t chunk = size_t(data[at]) * 4 + 1;
        ++at;
        const size_t n = chunk < size - at ? chunk : size - at;
        buffer.append(reinterpret_cast<const char*>(data + at), int(n));
        at += n;
        if (buffer.size() > 4096) {
            const int drop = buffer.size() - 4096;
            buffer.remove(0, drop);
            bufferOffset += quint64(drop);
        }
        parser.tryToParse(buffer, bufferOffset);
    }

    const QByteArray whole = fuzzBytes(data, size);
    parser.ParsePacket(whole, 0, -1);
    return 0;
}
