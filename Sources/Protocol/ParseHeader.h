#pragma once

#include "Protocol/Message.h"

// Finds and parses the binary stream header that announces a measurement:
// a static header (magic 0xDD88, device count, measurement id, CRC), then
// one device header per device with its track entries. Every track entry
// and every finished device header leaves as a signal.
//
// Never sent on its own: it listens to received data, or (as the header
// page reader) parses a flash page reply.
class ParseHeader : public Message
{
    Q_OBJECT
public:
    static constexpr quint16 kHeaderMagic = 0xDD88;
    static constexpr int kStaticHeaderSize = 20;
    static constexpr int kDeviceHeaderSize = 10;
    static constexpr int kTrackEntrySize = 6;

    explicit ParseHeader(quint64 deviceSerial);

    void BeforeComposeHook() override;

    bool FindAndParseStaticHeaders(const QByteArray& window);
    bool ParseStaticHeader(const QByteArray& window, quint64 position);
    quint64 ParseDynamicHeader(const QByteArray& window, quint64 position);
    quint64 ParseTrack(const QByteArray& window, quint64 position);

Q_SIGNALS:
    void BaseFrequencyFound(quint16 baseFrequency);
    void DeviceTrackFound(quint64 DeviceSerial, quint64 MeasurementID, quint16 trackID, quint16 dataWidth,
                          quint16 downSampling, quint8 configIndex);
    void DeviceTracksParsed(quint64 DeviceSerial, quint64 MeasurementID);

protected:
    // True when the device headers and track entries announced by the static
    // header at `position` all lie inside the window.
    static bool headerIsComplete(const QByteArray& window, quint64 position, quint16 deviceCount);

    quint16 headerMagic = 0;
    quint16 deviceHeaderCount = 0;
    quint16 headerWord = 0;
    quint64 headerMeasurementId = 0;
    quint64 headerDeviceSerial = 0;
    quint16 trackCount = 0;
    quint32 headerLong = 0;
};
