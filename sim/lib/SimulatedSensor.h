#pragma once

#include "RequestReader.h"
#include "SignalGenerator.h"
#include "SimClock.h"
#include "SimFlash.h"
#include "SimRandom.h"

#include <QByteArray>
#include <QHash>
#include <QVector>
#include <QtGlobal>

#include <deque>
#include <functional>
#include <limits>
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

// Faults the sensor and its link can show; random ones draw from the
// sensor's seed, so a seed reproduces them.
struct SensorFaults
{
    int replyDelayMs = 0;            // every reply leaves this much later
    int replyJitterMs = 0;           // plus a random 0..jitter ms (replies keep their order)
    double dropProbability = 0.0;    // a reply is lost (the command still takes effect)
    double nokProbability = 0.0;     // a command is refused with "<NOK>" (and not carried out)
    QHash<QByteArray, int> dropTokens; // replies to these command tokens are lost: count left, -1 for ever
    QHash<QByteArray, int> nokTokens;  // these command tokens are refused: count left, -1 for ever
    double corruptProbability = 0.0; // per outgoing byte: replaced by another value
    double garbageProbability = 0.0; // per outgoing frame or packet: random bytes go out before it
    int garbageMaxBytes = 16;
    qint64 bytesPerSecond = 0;       // link rate; 0 is unlimited
    int closeAfterFrames = 0;        // the link closes after this many reply frames; 0 never
};

// One request as it arrived, with what became of it.
struct RequestRecord
{
    enum Outcome { Answered, Refused, Dropped };

    qint64 timeUs = 0;
    quint8 number = 0;
    QByteArray token;
    QByteArray payload;
    Outcome outcome = Answered;
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
// formats alone. Bytes from the host go in through receive(), in any chunking;
// what the sensor sends comes out through take(). Time comes from a SimClock:
// with a ManualClock nothing happens until the test advances it, with a
// SystemClock the sensor runs in real time. Everything is single-threaded.
class SimulatedSensor
{
public:
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

    // The link
    void receive(const QByteArray& bytes);
    // What the sensor has sent up to now, at most maxBytes (-1: no limit),
    // respecting the link's byte rate.
    QByteArray take(int maxBytes = -1);
    // Bytes sent but not yet taken (whether or not the byte rate lets them through yet).
    qint64 pendingBytes() const { return m_out.size() - m_outHead; }
    // Runs the sensor up to the clock's present (take() and receive() do this too).
    void pump();
    bool isLinkOpen() const { return m_linkOpen; }
    // The host went away (port closed, cable pulled): the live stream stops,
    // unsent output and half-received requests are dropped; a recording goes on.
    void hostDisconnected();
    // The link is back after closeAfterFrames closed it.
    void reopenLink();
    // Power cycle: settings come back from the stored ones, features and the
    // measurement id are cleared, a running recording ends without its stop
    // address (the allocation table then lists it as started only).
    void restart();

    // State
    quint64 serial() const { return m_serial; }
    quint16 firmware() const { return m_firmware; }
    void setFirmware(quint16 revision) { m_firmware = revision; }
    quint8 topState() const { return m_recording ? 1 : 0; }
    bool featureOn(quint8 code) const { return m_features[code]; }
    bool isStreaming() const { return m_features[4] || m_features[5]; }
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

    // Faults
    SensorFaults& faults() { return m_faults; }
    void setFaults(const SensorFaults& faults) { m_faults = faults; }

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
    bool addRecordedMeasurement(quint64 measurementId, double seconds);

    // Building blocks, public for tests and tools.
    QByteArray streamHeader(quint32 firstSampleNumber) const;
    static int trackWidth(quint16 trackId) { return SignalGenerator::sampleWidth(trackId); }
    static QVector<int> payloadLengths(const QByteArray& token);

    SimClock* clock() const { return m_clock.get(); }
    std::shared_ptr<SimClock> sharedClock() const { return m_clock; }

private:
    struct PendingReply
    {
        qint64 releaseUs;
        QByteArray frame;
    };
    struct OutUnit
    {
        qint64 end; // absolute output position just after the unit
        qint64 readyUs;
    };
    struct Outcome
    {
        QVector<QByteArray> frames; // empty means "<NOK>"
    };

    void handleRequest(const Request& request, qint64 nowUs);
    Outcome execute(const Request& request, qint64 nowUs);
    bool consumeTokenRule(QHash<QByteArray, int>& rules, const QByteArray& token);
    bool setFeature(quint8 code, bool on, qint64 nowUs);
    void updateSampling(qint64 nowUs);
    bool isSampling() const { return isStreaming() || m_recording; }
    qint64 sampleTimeUs(qint64 index) const;
    void produceSample(qint64 index, double t, double uptime, qint64 atUs);
    bool buildGroup(qint64 index, double t, double uptime);
    void addToPacket(qint64 atUs);
    void flushPacket(qint64 atUs);
    void emitUnit(qint64 atUs, QByteArray bytes, bool isFrame);
    void stopStreamOutput(qint64 atUs);

    bool startRecording();
    void addToPage();
    bool flushPage();
    void stopRecording();
    quint32 findRecordingStart() const;

    quint64 m_serial;
    quint16 m_firmware = 42;
    std::shared_ptr<SimClock> m_clock;
    SimRandom m_faultRandom;
    SignalGenerator m_signals;
    RequestReader m_reader;

    SensorSettings m_settings;
    SensorSettings m_stored;
    bool m_features[256] = {};
    quint64 m_measurementId = 0;

    // Sampling (shared by the live stream and the recording)
    bool m_sampling = false;
    qint64 m_sampleStartUs = 0;
    qint64 m_sampleIndex = 0;
    qint64 m_pumpedUs = 0;
    qint64 m_lastInputUs = 0;
    qint64 m_flushedInputUs = 0;
    qint64 m_nextHeaderUs = std::numeric_limits<qint64>::max();
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

    // Output
    std::deque<PendingReply> m_replies;
    qint64 m_lastReleaseUs = 0;
    QByteArray m_out;
    int m_outHead = 0;
    qint64 m_outBase = 0; // absolute position of m_out[0]
    std::deque<OutUnit> m_units;
    double m_txClockUs = 0.0;
    qint64 m_bytesUntilCorrupt = 0;
    bool m_corruptArmed = false;
    double m_armedCorruptProbability = 0.0;
    bool m_linkOpen = true;
    bool m_closing = false;
    qint64 m_closeAt = 0;
    int m_framesSent = 0;

    SensorFaults m_faults;
    QVector<RequestRecord> m_log;
    std::function<void(const RequestRecord&)> m_observer;
};

} // namespace sensorsim
