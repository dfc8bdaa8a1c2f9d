#pragma once

#include "RequestReader.h"
#include "SensorFaults.h"
#include "SensorPort.h"
#include "SignalGenerator.h"
#include "SimClock.h"
#include "SimFlash.h"

#include <QByteArray>
#include <QVector>
#include <QtGlobal>

#include <array>
#include <functional>
#include <memory>

namespace sensorsim {

// One entry of the sensor's track table.
struct TrackEntry
{
    quint16 trackId = 0;
    quint16 downSampling = 1; // 0 and 1 both mean every sample
    quint8 visible = 1;
    quint8 configIndex = 0;

    bool operator==(const TrackEntry& o) const
    {
        return trackId == o.trackId && downSampling == o.downSampling && visible == o.visible && configIndex == o.configIndex;
    }
};

// What "<StoreSettings>" keeps over a restart.
struct SensorSettings
{
    QVector<TrackEntry> tracks;
    quint16 baseFrequency = 100;
    quint32 colour = 0x0000FF00;

    // Accelerometer, gyroscope, fusion quaternion and battery at 100 Hz, so a
    // sensor that was never set up still streams and records something useful.
    static SensorSettings factoryDefaults();
    bool operator==(const SensorSettings& o) const
    {
        return tracks == o.tracks && baseFrequency == o.baseFrequency && colour == o.colour;
    }
};

// One request as it arrived, with what became of it.
struct RequestRecord
{
    enum Outcome { Answered, Refused, Dropped, Cut };

    qint64 timeUs = 0;
    Port port = Port::Cable;
    quint8 number = 0;
    QByteArray token;
    QByteArray payload;
    Outcome outcome = Answered;  // Cut: a run of pages that broke off
    bool injected = false; // the outcome came from a fault knob

    static const char* outcomeName(Outcome outcome);
};

// A measurement as the allocation table lists it.
struct TableEntry
{
    quint64 measurementId = 0;
    quint32 start = 0;
    quint32 stop = 0;
    bool complete = false;
};

// A KINEtrak sensor at the other end of the wire, written from the wire
// formats alone. It has a cable and a Bluetooth port, each with its own host:
// bytes from a host go in through receive(), in any chunking, and what the
// sensor sends on that port comes out through take(). Replies go out on the
// port their request came in on; the live stream goes out on the cable while
// feature 4 is on and over Bluetooth while feature 5 is on. Everything else
// (features, track table, recording, flash) is the one sensor's. Time comes
// from a SimClock: with a ManualClock nothing happens until the test advances
// it, with a SystemClock the sensor runs in real time. Everything is
// single-threaded.
class SimulatedSensor
{
public:
    using Port = sensorsim::Port;

    static constexpr int kMaxTracks = 16;
    static constexpr int kMaxPacketPayload = 255;
    static constexpr int kTableEntrySize = 20;
    static constexpr int kTableEntries = SimFlash::kPageSize / kTableEntrySize;
    static constexpr int kMaxPagesPerRequest = 64;
    // A request left incomplete for this long is judged as it stands.
    static constexpr qint64 kInputIdleUs = 20000;
    static const quint32 kTableAddress;     // unit 0, block 1, page 0
    static const quint32 kFirstDataAddress; // unit 0, block 2, page 0

    explicit SimulatedSensor(quint64 serial, std::shared_ptr<SimClock> clock = nullptr, quint64 seed = 1);

    // The links. The calls without a port address the primary port, the
    // cable unless changed: code written for a sensor with one link works on
    // a sensor reached only over Bluetooth once that is made its primary port.
    // While no host is on the other port, the primary port also carries the
    // other port's stream, as a sensor with one link always did.
    void setPrimaryPort(Port port);
    Port primaryPort() const { return m_primary; }

    void receive(const QByteArray& bytes) { receive(bytes, m_primary); }
    void receive(const QByteArray& bytes, Port port);
    // What the sensor has sent on the port up to now, at most maxBytes (-1: no
    // limit), respecting the link's byte rate.
    QByteArray take(int maxBytes = -1) { return take(maxBytes, m_primary); }
    QByteArray take(int maxBytes, Port port);
    // Bytes sent but not yet taken (whether or not the byte rate lets them through yet).
    qint64 pendingBytes() const { return pendingBytes(m_primary); }
    qint64 pendingBytes(Port port) const { return portOf(port).pendingBytes(); }
    // Bytes thrown away because nobody was there to read them.
    qint64 discardedBytes(Port port) const { return portOf(port).discardedBytes(); }
    // Runs the sensor up to the clock's present (take() and receive() do this too).
    void pump();
    bool isLinkOpen() const { return isLinkOpen(m_primary); }
    bool isLinkOpen(Port port) const { return portOf(port).isOpen(); }
    // A host is attached from its first receive() or take() on the port
    // until it disconnects; output for a port without one is thrown away.
    bool isHostAttached(Port port) const { return portOf(port).isAttached(); }
    // The host went away on the port (port closed, cable pulled): the stream
    // that port carried stops, its unsent output and half-received requests
    // are dropped; the other port and a recording go on.
    void hostDisconnected() { hostDisconnected(m_primary); }
    void hostDisconnected(Port port);
    // The link is back after closeAfterFrames closed it.
    void reopenLink() { reopenLink(m_primary); }
    void reopenLink(Port port);
    // Power cycle: both links drop, settings come back from the stored ones,
    // features and the measurement id are cleared, a running recording ends
    // without its stop address (the allocation table then lists it as started only).
    void restart();

    // State
    quint64 serial() const { return m_serial; }
    // Which foot the sensor's sprint steps are those of (left by default).
    void setRightFoot(bool right) { m_signals.setRightFoot(right); }
    bool isRightFoot() const { return m_signals.isRightFoot(); }
    // Impact peaks on the accelerometer (see SignalGenerator::setSpikes), in
    // the stream and in what is recorded from now on.
    void setSpikes(bool on) { m_signals.setSpikes(on); }
    bool hasSpikes() const { return m_signals.hasSpikes(); }
    quint16 firmware() const { return m_firmware; }
    void setFirmware(quint16 revision) { m_firmware = revision; }
    quint8 topState() const { return m_recording ? 1 : 0; }
    bool featureOn(quint8 code) const { return m_features[code]; }
    bool isStreaming() const { return m_features[4] || m_features[5]; }
    // Whether the live stream goes out on this port now.
    bool isStreaming(Port port) const { return portOf(port).carriesStream(); }
    bool isRecording() const { return m_recording; }
    const SensorSettings& settings() const { return m_settings; }
    void setSettings(const SensorSettings& settings) { m_settings = settings; }
    const SensorSettings& storedSettings() const { return m_stored; }
    const QVector<TrackEntry>& tracks() const { return m_settings.tracks; }
    quint16 baseFrequency() const { return m_settings.baseFrequency; }
    quint32 colour() const { return m_settings.colour; }
    quint64 measurementId() const { return m_measurementId; }
    quint32 nextSampleNumber() const { return quint32(m_sampleIndex); }

    // Stream shaping: sample groups per live packet (as many as fit, at most
    // this many), and repeating the stream header while streaming (0: only
    // when streaming is switched on).
    void setGroupsPerPacket(int groups) { m_groupsPerPacket = qBound(1, groups, 32); }
    int groupsPerPacket() const { return m_groupsPerPacket; }
    void setHeaderRepeatMs(int ms) { m_headerRepeatUs = qMax(0, ms) * qint64(1000); }

    // Faults, each port its own
    SensorFaults& faults() { return faults(m_primary); }
    SensorFaults& faults(Port port) { return portOf(port).faults(); }
    void setFaults(const SensorFaults& faults) { setFaults(faults, m_primary); }
    void setFaults(const SensorFaults& faults, Port port) { portOf(port).setFaults(faults); }

    // Requests in arrival order.
    const QVector<RequestRecord>& requestLog() const { return m_log; }
    QList<QByteArray> requestTokens() const;
    // How many requests with this token arrived.
    int requestCount(const QByteArray& token) const { return requestTokens().count(token); }
    void clearRequestLog() { m_log.clear(); }
    void setRequestObserver(std::function<void(const RequestRecord&)> observer) { m_observer = std::move(observer); }

    // Flash
    SimFlash& flash() { return m_flash; }
    const SimFlash& flash() const { return m_flash; }
    QVector<TableEntry> tableEntries() const;
    // Records a measurement of the given length with the current track table
    // straight into flash, as if it had been recorded earlier. False while the
    // sensor samples, or when the table or the flash is full.
    // `gapFrom`/`gapLength`: the samples with numbers gapFrom .. gapFrom +
    // gapLength - 1 are missing from it, as if the sensor had lost them.
    bool addRecordedMeasurement(quint64 measurementId, double seconds, qint64 gapFrom = 0, qint64 gapLength = 0);

    // Building blocks, public for tests and tools.
    QByteArray streamHeader(quint32 firstSampleNumber) const;
    static int trackWidth(quint16 trackId) { return SignalGenerator::sampleWidth(trackId); }
    static QVector<int> payloadLengths(const QByteArray& token);

    SimClock* clock() const { return m_clock.get(); }
    std::shared_ptr<SimClock> sharedClock() const { return m_clock; }

private:
    struct Outcome
    {
        QVector<QByteArray> frames; // empty means "<NOK>"
    };

    static constexpr int kPortCount = 2;
    SensorPort& portOf(Port port) { return m_ports[size_t(port)]; }
    const SensorPort& portOf(Port port) const { return m_ports[size_t(port)]; }
    void attachHost(Port port);
    // Whether the port carries the other port's stream too (while that one has no host).
    bool standsInFor(Port port) const;
    // Whether the port, with a host on it, carries the stream of streamOf's feature.
    bool carries(Port port, Port streamOf) const;
    void updateStreamRouting(qint64 nowUs);
    bool anyPortTakesStream() const;

    void handleRequest(const Request& request, qint64 nowUs, Port port);
    Outcome execute(const Request& request, qint64 nowUs);
    bool setFeature(quint8 code, bool on, qint64 nowUs);
    void updateSampling(qint64 nowUs);
    bool isSampling() const { return isStreaming() || m_recording; }
    qint64 sampleTimeUs(qint64 index) const;
    void produceSample(qint64 index, double t, double uptime, qint64 atUs);
    bool buildGroup(qint64 index, double t, double uptime);
    void addToPacket(qint64 atUs);
    void flushPacket(qint64 atUs);

    bool startRecording();
    void addToPage();
    bool flushPage();
    void stopRecording();
    quint32 findRecordingStart() const;

    quint64 m_serial;
    quint16 m_firmware = 42;
    std::shared_ptr<SimClock> m_clock;
    SignalGenerator m_signals;
    std::array<SensorPort, kPortCount> m_ports;
    Port m_primary = Port::Cable;

    SensorSettings m_settings;
    SensorSettings m_stored;
    bool m_features[256] = {};
    quint64 m_measurementId = 0;

    // Sampling (shared by the live stream and the recording)
    bool m_sampling = false;
    qint64 m_sampleStartUs = 0;
    qint64 m_sampleIndex = 0;
    qint64 m_pumpedUs = 0;
    qint64 m_headerRepeatUs = 0;
    int m_groupsPerPacket = 1;
    QByteArray m_group;
    QByteArray m_packet; // live packet payload being filled
    int m_packetGroups = 0;

    // Recording
    bool m_recording = false;
    int m_recordSlot = -1;
    quint32 m_recordStart = 0;
    quint32 m_pageCursor = 0;
    quint32 m_lastDataPage = 0;
    QByteArray m_pageBuffer;
    SimFlash m_flash;

    QVector<RequestRecord> m_log;
    std::function<void(const RequestRecord&)> m_observer;
};

} // namespace sensorsim
