#include "SimulatedSensor.h"

#include "Crc16Arc.h"
#include "SystemClock.h"
#include "Wire.h"

#include <cmath>

namespace sensorsim {

namespace {

constexpr qint64 kNever = SensorPort::kNever;

const QByteArray kGetSerial("<GetSerial>");
const QByteArray kGetFirmware("<GetFirmware>");
const QByteArray kGetTopState("<GetTopState>");
const QByteArray kSetDeviceColor("<SetDeviceColor>");
const QByteArray kSetFeature("<SetFeature>");
const QByteArray kSetBaseFreq("<SetBaseFreq>");
const QByteArray kResetTracks("<ResetTracks>");
const QByteArray kAddTrack("<AddTrack>");
const QByteArray kSetMeasId("<SetMeasID>");
const QByteArray kStoreSettings("<StoreSettings>");
const QByteArray kGetFlashPage("<GetFlashPage>");
const QByteArray kGetFlashPages("<GetFlashPages>");
const QByteArray kDeleteBlock("<DeleteBlock>");

const QByteArray kOk("<OK>");
const QByteArray kNok("<NOK>");
const QByteArray kSndSerial("<SndSerial>");
const QByteArray kSndFirmware("<SndFirmware>");
const QByteArray kSndTopState("<SndTopState>");
const QByteArray kSndFlashPage("<SndFlashPage>");

constexpr quint8 kFeatureUsbStream = 4;
constexpr quint8 kFeatureBluetoothStream = 5;
constexpr quint8 kFeatureRecording = 6;

quint8 streamFeature(Port port)
{
    return port == Port::Cable ? kFeatureUsbStream : kFeatureBluetoothStream;
}

Port otherPort(Port port)
{
    return port == Port::Cable ? Port::Bluetooth : Port::Cable;
}

bool crcMatches(const char* data, int length)
{
    return Crc16Arc::compute(data, length) == Wire::readU16(data + length);
}

} // namespace

const quint32 SimulatedSensor::kTableAddress = SimFlash::pack(0, 1, 0);
const quint32 SimulatedSensor::kFirstDataAddress = SimFlash::pack(0, 2, 0);

const char* RequestRecord::outcomeName(Outcome outcome)
{
    switch (outcome) {
    case Answered:
        return "answered";
    case Refused:
        return "refused";
    case Dropped:
        return "dropped";
    case Cut:
        return "cut";
    }
    return "?";
}

SensorSettings SensorSettings::factoryDefaults()
{
    SensorSettings settings;
    settings.baseFrequency = 100;
    settings.tracks = {
        {0x0110, 1, 1, 4}, {0x0111, 1, 1, 4}, {0x0112, 1, 1, 4},
        {0x0120, 1, 1, 4}, {0x0121, 1, 1, 4}, {0x0122, 1, 1, 4},
        {0x0140, 1, 1, 2}, {0x0310, 10, 1, 0},
    };
    return settings;
}

QVector<int> SimulatedSensor::payloadLengths(const QByteArray& token)
{
    static const QHash<QByteArray, QVector<int>> s_lengths = {
        {kGetSerial, {0}}, {kGetFirmware, {0}}, {kGetTopState, {0}},
        {kSetDeviceColor, {4}}, {kSetFeature, {2}}, {kSetBaseFreq, {2}},
        {kResetTracks, {0}}, {kAddTrack, {14}}, {kSetMeasId, {8}},
        {kStoreSettings, {0}}, {kGetFlashPage, {4}}, {kGetFlashPages, {0, 8}},
        {kDeleteBlock, {4}},
    };
    return s_lengths.value(token);
}

SimulatedSensor::SimulatedSensor(quint64 serial, std::shared_ptr<SimClock> clock, quint64 seed)
    : m_serial(serial)
    , m_clock(clock ? std::move(clock) : std::make_shared<SystemClock>())
    , m_signals(seed)
    , m_ports{{SensorPort(&SimulatedSensor::payloadLengths, seed ^ 0xFA017FA017FA017FULL),
               SensorPort(&SimulatedSensor::payloadLengths, seed ^ 0xB1E7007B1E7007B1ULL)}}
    , m_settings(SensorSettings::factoryDefaults())
    , m_stored(m_settings)
{
    m_pumpedUs = m_clock->nowUs();
    m_group.reserve(512);
    m_packet.reserve(kMaxPacketPayload);
    m_pageBuffer.reserve(SimFlash::kPageSize);
}

// ---------------------------------------------------------------- the links

void SimulatedSensor::setPrimaryPort(Port port)
{
    pump();
    m_primary = port;
    updateStreamRouting(m_clock->nowUs());
}

void SimulatedSensor::attachHost(Port port)
{
    SensorPort& p = portOf(port);
    if (p.isAttached() || !p.isOpen())
        return;
    p.attach();
    updateStreamRouting(m_clock->nowUs());
    pump(); // a stream this host tunes into starts with a header, now
}

void SimulatedSensor::receive(const QByteArray& bytes, Port port)
{
    pump();
    attachHost(port);
    SensorPort& p = portOf(port);
    if (!p.isLive() || bytes.isEmpty())
        return;
    const qint64 now = m_clock->nowUs();
    p.feed(bytes, now);
    Request request;
    while (p.isLive() && p.nextRequest(request))
        handleRequest(request, now, port);
    pump(); // replies without delay leave at once
}

QByteArray SimulatedSensor::take(int maxBytes, Port port)
{
    pump();
    attachHost(port);
    SensorPort& p = portOf(port);
    if (!p.isOpen())
        return QByteArray();
    const QByteArray bytes = p.take(maxBytes, m_clock->nowUs());
    if (!p.isOpen())
        hostDisconnected(port); // the sensor closed the link under its host
    return bytes;
}

void SimulatedSensor::hostDisconnected(Port port)
{
    pump();
    const qint64 now = m_clock->nowUs();
    // The stream this port carried ends with its host, the other port's
    // too where this one stood in for it; the other port's own stream goes on.
    if (standsInFor(port))
        m_features[streamFeature(otherPort(port))] = false;
    m_features[streamFeature(port)] = false;
    portOf(port).detach();
    updateSampling(now);
    updateStreamRouting(now);
}

void SimulatedSensor::reopenLink(Port port)
{
    pump();
    portOf(port).reopen();
}

void SimulatedSensor::restart()
{
    pump();
    hostDisconnected(Port::Cable);
    hostDisconnected(Port::Bluetooth);
    // Power is lost: what sits in the page buffer never reaches the flash and
    // the allocation table keeps the entry without its stop address.
    m_recording = false;
    m_pageBuffer.clear();
    std::fill(std::begin(m_features), std::end(m_features), false);
    m_settings = m_stored;
    m_measurementId = 0;
    m_packet.clear();
    m_packetGroups = 0;
    const qint64 now = m_clock->nowUs();
    updateSampling(now);
    updateStreamRouting(now);
    for (SensorPort& p : m_ports)
        p.reopen();
}

bool SimulatedSensor::standsInFor(Port port) const
{
    return port == m_primary && !portOf(otherPort(port)).isAttached();
}

bool SimulatedSensor::carries(Port port, Port streamOf) const
{
    const SensorPort& p = portOf(port);
    return p.isAttached() && p.isOpen() && (port == streamOf || standsInFor(port));
}

void SimulatedSensor::updateStreamRouting(qint64 nowUs)
{
    bool wanted[kPortCount];
    bool changed = false;
    for (size_t i = 0; i < kPortCount; ++i) {
        const Port port = Port(i);
        const Port other = otherPort(port);
        wanted[i] = (m_features[streamFeature(port)] && carries(port, port))
            || (m_features[streamFeature(other)] && carries(port, other));
        changed = changed || wanted[i] != m_ports[i].carriesStream();
    }
    if (!changed)
        return;
    // What was gathered so far belongs to the ports that carried the stream up to now.
    flushPacket(nowUs);
    for (size_t i = 0; i < kPortCount; ++i) {
        SensorPort& p = m_ports[i];
        if (wanted[i] && !p.carriesStream())
            p.setNextHeaderUs(nowUs); // a port that joins a stream gets its header first
        else if (!wanted[i])
            p.setNextHeaderUs(kNever);
        p.setCarriesStream(wanted[i]);
    }
}

bool SimulatedSensor::anyPortTakesStream() const
{
    for (const SensorPort& p : m_ports) {
        if (p.carriesStream() && p.isLive())
            return true;
    }
    return false;
}

// ---------------------------------------------------------------- time

void SimulatedSensor::pump()
{
    const qint64 now = m_clock->nowUs();
    if (now < m_pumpedUs)
        return;
    enum Event { None, Flush, Reply, Header, Sample };
    for (;;) {
        // On a tie input is judged first, then replies leave, then stream
        // headers, then the next sample; the cable before Bluetooth.
        Event event = None;
        size_t at = 0;
        qint64 t = kNever;
        auto consider = [&](qint64 when, Event kind, size_t index) {
            if (when < t) {
                t = when;
                event = kind;
                at = index;
            }
        };
        for (size_t i = 0; i < kPortCount; ++i)
            consider(m_ports[i].nextInputFlushUs(kInputIdleUs), Flush, i);
        for (size_t i = 0; i < kPortCount; ++i)
            consider(m_ports[i].nextReplyUs(), Reply, i);
        for (size_t i = 0; i < kPortCount; ++i) {
            if (m_sampling && m_ports[i].carriesStream())
                consider(m_ports[i].nextHeaderUs(), Header, i);
        }
        if (m_sampling)
            consider(sampleTimeUs(m_sampleIndex), Sample, 0);
        if (event == None || t > now)
            break;

        SensorPort& port = m_ports[at];
        if (event == Flush) {
            // Nothing more has come for a while: judge what is buffered as it is.
            port.markInputFlushed();
            Request request;
            while (port.isLive() && port.nextRequest(request, true))
                handleRequest(request, t, Port(at));
        } else if (event == Reply) {
            port.send(t, port.popReply(), true);
        } else if (event == Header) {
            flushPacket(t);
            port.send(t, streamHeader(quint32(m_sampleIndex)), false);
            port.setNextHeaderUs(m_headerRepeatUs > 0 ? t + m_headerRepeatUs : kNever);
        } else {
            const double sinceStart = double(m_sampleIndex) / double(m_settings.baseFrequency);
            produceSample(m_sampleIndex, sinceStart, double(t) / 1e6, t);
            ++m_sampleIndex;
        }
    }
    m_pumpedUs = now;
}

qint64 SimulatedSensor::sampleTimeUs(qint64 index) const
{
    return m_sampleStartUs + (index * 1000000) / qMax<qint64>(1, m_settings.baseFrequency);
}

void SimulatedSensor::updateSampling(qint64 nowUs)
{
    const bool wanted = isSampling();
    if (wanted && !m_sampling) {
        m_sampling = true;
        m_sampleStartUs = nowUs;
        m_sampleIndex = 0;
    } else if (!wanted && m_sampling) {
        m_sampling = false;
    }
}

// ---------------------------------------------------------------- requests

QList<QByteArray> SimulatedSensor::requestTokens() const
{
    QList<QByteArray> tokens;
    tokens.reserve(m_log.size());
    for (const RequestRecord& record : m_log)
        tokens.append(record.token);
    return tokens;
}

void SimulatedSensor::handleRequest(const Request& request, qint64 nowUs, Port port)
{
    SensorPort& link = portOf(port);
    RequestRecord record;
    record.timeUs = nowUs;
    record.port = port;
    record.number = request.number;
    record.token = request.token;
    record.payload = request.payload;

    QVector<QByteArray> frames;
    if (link.refuses(request.token)) {
        record.outcome = RequestRecord::Refused;
        record.injected = true;
        frames.append(Wire::frame(request.number, kNok));
    } else {
        Outcome outcome = execute(request, nowUs);
        if (outcome.frames.isEmpty()) {
            record.outcome = RequestRecord::Refused;
            frames.append(Wire::frame(request.number, kNok));
        } else {
            frames = std::move(outcome.frames);
        }
        if (request.token == kGetFlashPages && frames.size() > 1) {
            const int pages = link.pagesInRun(frames.size());
            if (pages < frames.size()) {
                frames.resize(pages);
                record.outcome = RequestRecord::Cut;
                record.injected = true;
            }
        }
    }
    if (link.dropsReply(request.token)) {
        record.outcome = RequestRecord::Dropped;
        record.injected = true;
        frames.clear();
    }
    link.queueReplies(std::move(frames), nowUs);

    m_log.append(record);
    if (m_observer)
        m_observer(record);
}

SimulatedSensor::Outcome SimulatedSensor::execute(const Request& request, qint64 nowUs)
{
    Outcome outcome;
    const QByteArray& token = request.token;
    const QByteArray& payload = request.payload;
    const char* p = payload.constData();
    const quint8 number = request.number;
    auto ok = [&]() { outcome.frames.append(Wire::frame(number, kOk)); };

    if (!payloadLengths(token).contains(payload.size()))
        return outcome; // unknown command or a payload of the wrong length

    if (token == kGetSerial) {
        QByteArray data;
        Wire::appendU64(data, m_serial);
        outcome.frames.append(Wire::frame(number, kSndSerial, data));
    } else if (token == kGetFirmware) {
        QByteArray data;
        Wire::appendU16(data, m_firmware);
        outcome.frames.append(Wire::frame(number, kSndFirmware, data));
    } else if (token == kGetTopState) {
        outcome.frames.append(Wire::frame(number, kSndTopState, QByteArray(1, char(topState()))));
    } else if (token == kSetDeviceColor) {
        m_settings.colour = (quint32(quint8(p[1])) << 16) | (quint32(quint8(p[2])) << 8) | quint8(p[3]);
        ok();
    } else if (token == kSetFeature) {
        const quint8 code = quint8(p[0]);
        const quint8 flag = quint8(p[1]);
        if (flag <= 1 && setFeature(code, flag == 1, nowUs))
            ok();
    } else if (token == kSetBaseFreq) {
        // The table and the rate cannot change under a running stream or
        // recording: its header already announced them.
        const quint16 frequency = Wire::readU16(p);
        if (frequency > 0 && !isSampling()) {
            m_settings.baseFrequency = frequency;
            ok();
        }
    } else if (token == kResetTracks) {
        if (!isSampling()) {
            m_settings.tracks.clear();
            ok();
        }
    } else if (token == kAddTrack) {
        const quint64 addressee = Wire::readU64(p);
        TrackEntry entry;
        entry.trackId = Wire::readU16(p + 8);
        entry.downSampling = Wire::readU16(p + 10);
        entry.visible = quint8(p[12]);
        entry.configIndex = quint8(p[13]);
        if (addressee == m_serial && !isSampling()) {
            // A track id appears once in the table; adding it again updates it
            // in place so the channel mask keeps its bit positions.
            bool updated = false;
            for (TrackEntry& existing : m_settings.tracks) {
                if (existing.trackId == entry.trackId) {
                    existing = entry;
                    updated = true;
                }
            }
            if (!updated && m_settings.tracks.size() < kMaxTracks) {
                m_settings.tracks.append(entry);
                updated = true;
            }
            if (updated)
                ok();
        }
    } else if (token == kSetMeasId) {
        m_measurementId = Wire::readU64(p);
        ok();
    } else if (token == kStoreSettings) {
        m_stored = m_settings;
        ok();
    } else if (token == kGetFlashPage) {
        const quint32 address = Wire::readU32(p);
        if (SimFlash::isValid(address))
            outcome.frames.append(Wire::frame(number, kSndFlashPage, m_flash.readPage(address)));
    } else if (token == kGetFlashPages) {
        // One page frame per page from the start up to (not including) the
        // stop address, numbered on from the request's number.
        if (payload.size() == 8) {
            const quint32 start = Wire::readU32(p);
            const quint32 stop = Wire::readU32(p + 4);
            if (SimFlash::isValid(start) && SimFlash::isValid(stop)) {
                const qint64 count = SimFlash::pageIndex(stop) - SimFlash::pageIndex(start);
                if (count > 0 && count <= kMaxPagesPerRequest) {
                    quint32 address = start;
                    for (qint64 i = 0; i < count; ++i) {
                        outcome.frames.append(Wire::frame(quint8(number + i), kSndFlashPage, m_flash.readPage(address)));
                        address = SimFlash::nextPage(address);
                    }
                }
            }
        }
    } else if (token == kDeleteBlock) {
        const quint32 address = Wire::readU32(p);
        if (SimFlash::isValid(address) && !m_recording) {
            m_flash.eraseBlock(SimFlash::unitOf(address), SimFlash::blockOf(address));
            ok();
        }
    }
    return outcome;
}

bool SimulatedSensor::setFeature(quint8 code, bool on, qint64 nowUs)
{
    if (code == kFeatureRecording) {
        if (on && !m_recording && !startRecording())
            return false;
        if (!on && m_recording)
            stopRecording();
        m_features[code] = on;
        updateSampling(nowUs);
        return true;
    }
    m_features[code] = on;
    if (code == kFeatureUsbStream || code == kFeatureBluetoothStream) {
        updateSampling(nowUs);
        updateStreamRouting(nowUs);
        // Every request to stream gets a fresh header (right after the
        // acknowledgement) on the ports that carry that stream, also when it
        // already runs: the host may have started a new measurement.
        const Port streamOf = code == kFeatureUsbStream ? Port::Cable : Port::Bluetooth;
        for (size_t i = 0; on && i < kPortCount; ++i) {
            if (carries(Port(i), streamOf))
                m_ports[i].setNextHeaderUs(nowUs);
        }
    }
    return true;
}

// ---------------------------------------------------------------- sampling and stream

QByteArray SimulatedSensor::streamHeader(quint32 firstSampleNumber) const
{
    QByteArray header;
    header.reserve(30 + 6 * m_settings.tracks.size());
    Wire::appendU16(header, 0xDD88);
    Wire::appendU16(header, 1);
    Wire::appendU16(header, m_settings.baseFrequency);
    Wire::appendU64(header, m_measurementId);
    Wire::appendU32(header, firstSampleNumber);
    Wire::appendU16(header, Crc16Arc::compute(header.constData(), 18));
    Wire::appendU64(header, m_serial);
    Wire::appendU16(header, quint16(m_settings.tracks.size()));
    for (const TrackEntry& track : m_settings.tracks) {
        Wire::appendU16(header, track.trackId);
        // A quaternion is four 4-byte components; the entry names the component width.
        Wire::appendU8(header, quint8(SignalGenerator::isFusion(track.trackId) ? 4 : trackWidth(track.trackId)));
        Wire::appendU16(header, track.downSampling);
        Wire::appendU8(header, track.configIndex);
    }
    return header;
}

bool SimulatedSensor::buildGroup(qint64 index, double t, double uptime)
{
    quint16 mask = 0;
    const int count = m_settings.tracks.size();
    for (int i = 0; i < count; ++i) {
        const qint64 factor = qMax<qint64>(1, m_settings.tracks.at(i).downSampling);
        if (index % factor == 0)
            mask |= quint16(1u << i);
    }
    if (mask == 0)
        return false;
    m_group.clear();
    Wire::appendU16(m_group, mask);
    Wire::appendU16(m_group, Crc16Arc::compute(m_group.constData(), 2));
    Wire::appendU32(m_group, quint32(index));
    const double basePeriod = 1.0 / double(qMax<quint16>(1, m_settings.baseFrequency));
    for (int i = 0; i < count; ++i) {
        if (!(mask & (1u << i)))
            continue;
        const TrackEntry& track = m_settings.tracks.at(i);
        m_signals.appendSample(m_group, track.trackId, t, uptime, basePeriod * double(qMax<quint16>(1, track.downSampling)));
    }
    return true;
}

void SimulatedSensor::produceSample(qint64 index, double t, double uptime, qint64 atUs)
{
    if (!buildGroup(index, t, uptime))
        return;
    if (anyPortTakesStream())
        addToPacket(atUs);
    if (m_recording) {
        addToPage();
        if (!m_recording)
            updateSampling(atUs); // the flash ran full
    }
}

void SimulatedSensor::addToPacket(qint64 atUs)
{
    if (m_packet.size() + m_group.size() > kMaxPacketPayload)
        flushPacket(atUs);
    m_packet.append(m_group);
    ++m_packetGroups;
    if (m_packetGroups >= m_groupsPerPacket)
        flushPacket(atUs);
}

void SimulatedSensor::flushPacket(qint64 atUs)
{
    if (m_packet.isEmpty())
        return;
    QByteArray packet;
    packet.reserve(m_packet.size() + 5);
    packet.append(char(0xAA));
    packet.append(char(0x55));
    packet.append(char(m_packet.size()));
    packet.append(m_packet);
    packet.append(char(0xBB));
    packet.append(char(0x66));
    m_packet.clear();
    m_packetGroups = 0;
    for (SensorPort& port : m_ports) {
        if (port.carriesStream())
            port.send(atUs, packet, false);
    }
}

// ---------------------------------------------------------------- flash

QVector<TableEntry> SimulatedSensor::tableEntries() const
{
    QVector<TableEntry> entries;
    const QByteArray table = m_flash.readPage(kTableAddress);
    for (int i = 0; i < kTableEntries; ++i) {
        const char* e = table.constData() + i * kTableEntrySize;
        if (!crcMatches(e, 12))
            break;
        TableEntry entry;
        entry.measurementId = Wire::readU64(e);
        entry.start = Wire::readU32(e + 8);
        entry.complete = crcMatches(e + 14, 4);
        entry.stop = entry.complete ? Wire::readU32(e + 14) : 0;
        entries.append(entry);
    }
    return entries;
}

quint32 SimulatedSensor::findRecordingStart() const
{
    // Behind everything the table knows of, on the first block that is erased.
    qint64 lastUsed = SimFlash::pageIndex(kFirstDataAddress) - 1;
    for (const TableEntry& entry : tableEntries()) {
        quint32 end = entry.stop;
        if (!entry.complete || !SimFlash::isValid(end)) {
            // Started but never stopped: its data runs to the first erased page.
            end = entry.start;
            qint64 guard = 0;
            while (guard++ < SimFlash::kTotalPages && !m_flash.isPageErased(SimFlash::nextPage(end)))
                end = SimFlash::nextPage(end);
        }
        if (SimFlash::isValid(end))
            lastUsed = qMax(lastUsed, SimFlash::pageIndex(end));
    }
    qint64 block = lastUsed / SimFlash::kPagesPerBlock + 1;
    const qint64 totalBlocks = qint64(SimFlash::kUnits) * SimFlash::kBlocksPerUnit;
    for (; block < totalBlocks; ++block) {
        const int unit = int(block / SimFlash::kBlocksPerUnit);
        const int b = int(block % SimFlash::kBlocksPerUnit);
        if (m_flash.isBlockErased(unit, b))
            return SimFlash::pack(unit, b, 0);
    }
    return 0xFFFFFFFFu;
}

bool SimulatedSensor::startRecording()
{
    const QByteArray table = m_flash.readPage(kTableAddress);
    int slot = -1;
    for (int i = 0; i < kTableEntries; ++i) {
        if (!crcMatches(table.constData() + i * kTableEntrySize, 12)) {
            slot = i;
            break;
        }
    }
    if (slot < 0 || table.mid(slot * kTableEntrySize, kTableEntrySize) != QByteArray(kTableEntrySize, char(0xFF)))
        return false; // table full, or a damaged entry that only an erase can clear
    const quint32 start = findRecordingStart();
    if (!SimFlash::isValid(start))
        return false;

    QByteArray entry;
    Wire::appendU64(entry, m_measurementId);
    Wire::appendU32(entry, start);
    Wire::appendU16(entry, Crc16Arc::compute(entry.constData(), 12));
    m_flash.program(kTableAddress, slot * kTableEntrySize, entry);

    const quint32 firstSample = m_sampling ? quint32(m_sampleIndex) : 0;
    m_flash.program(start, 0, streamHeader(firstSample));

    m_recording = true;
    m_recordSlot = slot;
    m_recordStart = start;
    m_lastDataPage = start;
    m_pageCursor = SimFlash::nextPage(start);
    m_pageBuffer.clear();
    return true;
}

void SimulatedSensor::addToPage()
{
    if (m_pageBuffer.size() + m_group.size() > SimFlash::kPageSize && !flushPage()) {
        stopRecording(); // the flash is full
        m_features[kFeatureRecording] = false;
        return;
    }
    m_pageBuffer.append(m_group);
}

bool SimulatedSensor::flushPage()
{
    if (m_pageBuffer.isEmpty())
        return true;
    m_flash.program(m_pageCursor, 0, m_pageBuffer);
    m_lastDataPage = m_pageCursor;
    m_pageBuffer.clear();
    const quint32 next = SimFlash::nextPage(m_pageCursor);
    if (SimFlash::pageIndex(next) == 0)
        return false;
    if (SimFlash::pageOf(next) == 0 && !m_flash.isBlockErased(SimFlash::unitOf(next), SimFlash::blockOf(next)))
        return false;
    m_pageCursor = next;
    return true;
}

void SimulatedSensor::stopRecording()
{
    if (!m_recording)
        return;
    if (!m_pageBuffer.isEmpty())
        flushPage();
    m_pageBuffer.clear();
    QByteArray stop;
    Wire::appendU32(stop, m_lastDataPage);
    Wire::appendU16(stop, Crc16Arc::compute(stop.constData(), 4));
    m_flash.program(kTableAddress, m_recordSlot * kTableEntrySize + 14, stop);
    m_recording = false;
}

bool SimulatedSensor::addRecordedMeasurement(quint64 measurementId, double seconds, qint64 gapFrom, qint64 gapLength)
{
    pump();
    if (isSampling())
        return false;
    const quint64 previousId = m_measurementId;
    m_measurementId = measurementId;
    const bool started = startRecording();
    m_measurementId = previousId;
    if (!started)
        return false;
    const qint64 samples = qMax<qint64>(0, qint64(std::llround(seconds * m_settings.baseFrequency)));
    for (qint64 k = 0; k < samples && m_recording; ++k) {
        if (k >= gapFrom && k < gapFrom + gapLength)
            continue;
        const double t = double(k) / double(m_settings.baseFrequency);
        if (buildGroup(k, t, t))
            addToPage();
    }
    stopRecording();
    return true;
}

} // namespace sensorsim
