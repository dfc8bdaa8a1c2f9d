#include "Protocol/ParseHeader.h"

#include "Log/LogCategories.h"

#include <QDebug>

ParseHeader::ParseHeader(quint64 deviceSerial)
    : Message(deviceSerial)
{
    command = QByteArrayLiteral("<NeverNeededAsItIsAListenerMesssage>");
}

void ParseHeader::BeforeComposeHook()
{
    // A listener has no request of its own.
}

bool ParseHeader::FindAndParseStaticHeaders(const QByteArray& window)
{
    bool found = false;
    for (quint64 p = 0; p + 16 < quint64(window.size()); ++p) {
        if (ParseStaticHeader(window, p))
            found = true;
    }
    return found;
}

bool ParseHeader::ParseStaticHeader(const QByteArray& window, quint64 position)
{
    // Almost every candidate position fails on the magic; test that before
    // spending a CRC on it.
    quint64 at = position;
    if (parseUInt16(window, at, nullptr) != kHeaderMagic)
        return false;

    at = position;
    headerMagic = parseUInt16(window, at, nullptr);
    deviceHeaderCount = parseUInt16(window, at, nullptr);
    headerWord = parseUInt16(window, at, nullptr);
    headerMeasurementId = parseUInt64(window, at, nullptr);
    headerLong = parseUInt32(window, at, nullptr);
    if (!checkCRC(window, position, 18) || deviceHeaderCount == 0)
        return false;

    // Announce nothing until every device header and track entry has
    // arrived: a header cut off by the end of the window is taken whole from
    // a later window instead of being reported with made-up zeros.
    if (!headerIsComplete(window, position, deviceHeaderCount))
        return false;

    quint64 q = position + kStaticHeaderSize;
    for (quint16 i = 0; i < deviceHeaderCount; ++i)
        q += ParseDynamicHeader(window, q);
    return true;
}

bool ParseHeader::headerIsComplete(const QByteArray& window, quint64 position, quint16 deviceCount)
{
    const auto size = quint64(window.size());
    quint64 q = position + kStaticHeaderSize;
    // Every device header takes at least ten bytes, so this loop ends within
    // the window whatever count the header claims.
    for (quint16 i = 0; i < deviceCount; ++i) {
        if (q + kDeviceHeaderSize > size)
            return false;
        quint64 at = q + 8;
        const quint16 tracks = parseUInt16(window, at, nullptr);
        q += kDeviceHeaderSize + quint64(kTrackEntrySize) * tracks;
        if (q > size)
            return false;
    }
    return true;
}

quint64 ParseHeader::ParseDynamicHeader(const QByteArray& window, quint64 position)
{
    quint64 at = position;
    headerDeviceSerial = parseUInt64(window, at, nullptr);
    trackCount = parseUInt16(window, at, nullptr);
    quint64 r = position + kDeviceHeaderSize;
    for (quint16 i = 0; i < trackCount; ++i)
        r += ParseTrack(window, r);
    Q_EMIT DeviceTracksParsed(headerDeviceSerial, headerMeasurementId);
    return kDeviceHeaderSize + quint64(kTrackEntrySize) * trackCount;
}

quint64 ParseHeader::ParseTrack(const QByteArray& window, quint64 position)
{
    quint64 at = position;
    const quint16 trackId = parseUInt16(window, at, nullptr);
    const quint8 dataWidth = parseUInt8(window, at, nullptr);
    const quint16 downSampling = parseUInt16(window, at, nullptr);
    const quint8 configIndex = parseUInt8(window, at, nullptr);
    qCDebug(lcProtocol) << "Track: " << QString::number(trackId, 16) << " downSampling: " << downSampling
                        << " dataWidth: " << unsigned(dataWidth) << " configIndex: " << unsigned(configIndex);
    Q_EMIT DeviceTrackFound(headerDeviceSerial, headerMeasurementId, trackId, dataWidth, downSampling,
                            configIndex);
    return kTrackEntrySize;
}
