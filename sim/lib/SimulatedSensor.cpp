#include "SimulatedSensor.h"

#include "Crc16Arc.h"
#include "SystemClock.h"
#include "Wire.h"

#include <cmath>
#include <limits>

namespace sensorsim {

namespace {

constexpr qint64 kNever = std::numeric_limits<qint64>::max();

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
    , m_faultRandom(seed ^ 0xFA017FA017FA017FULL)
    , m_signals(seed)
    , m_reader(&SimulatedSensor::payloadLengths)
    , m_settings(SensorSettings::factoryDefaults())
    , m_stored(m_settings)
{
    m_pumpedUs = m_clock->nowUs();
    m_group.reserve(512);
    m_packet.reserve(kMaxPacketPayload);
    m_pageBuffer.reserve(SimFlash::kPageSize);
}

// ---------------------------------------------------------------- the link

void SimulatedSensor::receive(const QByteArray& bytes)
{
    pump();
    if (!m_linkOpen || m_closing || bytes.isEmpty())
        return;
    const qint64 now = m_clock->nowUs();
    m_reader.feed(bytes);
    m_lastInputUs = now;
    Request request;
    while (m_linkOpen && !m_closing && m_reader.next(request))
        handleRequest(request, now);
    pump(); // replies without delay leave at once
}

QByteArray SimulatedSensor::take(int maxBytes)
{
    pump();
    if (!m_linkOpen)
        return QByteArray();
    const qint64 now = m_clock->nowUs();
    qint64 available = m_out.size() - m_outHead;
    qint64 budget = maxBytes < 0 ? available : qMin<qint64>(available, maxBytes);
    qint64 count = 0;
    if (m_faults.bytesPerSecond <= 0) {
        count = budget;
        m_units.clear();
    } else {
        const double rate = double(m_faults.bytesPerSecond);
        if (m_units.empty() && available > 0)
            m_units.push_back({m_outBase + m_out.size(), now}); // rate switched on with bytes queued
        qint64 position = m_outBase + m_outHead;
        while (!m_units.empty() && count < budget) {
            OutUnit& unit = m_units.front();
            const double start = std::max(m_txClockUs, double(unit.readyUs));
            if (start >= double(now))
                break;
            const qint64 fits = qint64(std::floor((double(now) - start) * rate / 1e6));
            const qint64 remaining = unit.end - position;
            const qint64 sent = std::min({fits, remaining, budget - count});
            if (sent <= 0)
                break;
            count += sent;
            position += sent;
            m_txClockUs = start + double(sent) * 1e6 / rate;
            if (position < unit.end)
                break;
            m_units.pop_front();
        }
    }
    QByteArray result = m_out.mid(m_outHead, int(count));
    m_outHead += int(count);
    if (m_outHead == m_out.size()) {
        m_outBase += m_out.size();
        m_out.clear();
        m_outHead = 0;
    } else if (m_outHead > (1 << 16) && m_outHead > m_out.size() / 2) {
        m_out.remove(0, m_outHead);
        m_outBase += m_outHead;
        m_outHead = 0;
    }
    if (m_closing && m_outBase + m_outHead >= m_closeAt) {
        m_closing = false;
        m_linkOpen = false;
        hostDisconnected();
    }
    return result;
}

void SimulatedSensor::hostDisconnected()
{
    pump();
    const qint64 now = m_clock->nowUs();
    m_features[kFeatureUsbStream] = false;
    m_features[kFeatureBluetoothStream] = false;
    m_packet.clear();
    m_packetGroups = 0;
    m_nextHeaderUs = kNever;
    updateSampling(now);
    m_reader.clear();
    m_replies.clear();
    m_outBase += m_out.size();
    m_out.clear();
    m_outHead = 0;
    m_units.clear();
    m_closing = false;
}

void SimulatedSensor::reopenLink()
{
    pump();
    m_linkOpen = true;
    m_closing = false;
    m_framesSent = 0;
}

void SimulatedSensor::restart()
{
    pump();
    hostDisconnected();
    // Power is lost: what sits in the page buffer never reaches the flash and
    // the allocation table keeps the entry without its stop address.
    m_recording = false;
    m_pageBuffer.clear();
    std::fill(std::begin(m_features), std::end(m_features), false);
    m_settings = m_stored;
    m_measurementId = 0;
    updateSampling(m_clock->nowUs());
    m_linkOpen = true;
    m_framesSent = 0;
}

// ---------------------------------------------------------------- time

void SimulatedSensor::pump()
{
    const qint64 now = m_clock->nowUs();
    if (now < m_pumpedUs)
        return;
    for (;;) {
        const qint64 nextReply = m_replies.empty() ? kNever : m_replies.front().releaseUs;
        const qint64 nextSample = m_sampling ? sampleTimeUs(m_sampleIndex) : kNever;
        const qint64 nextHeader = (m_sampling && isStreaming()) ? m_nextHeaderUs : kNever;
        const qint64 nextFlush = (m_reader.bufferedBytes() > 0 && m_lastInputUs >= m_flushedInputUs)
                                     ? m_lastInputUs + kInputIdleUs : kNever;
        const qint64 t = std::min({nextReply, nextSample, nextHeader, nextFlush});
        if (t > now)
            break;
        if (t == nextFlush) {
            // Nothing more has come for a while: judge what is buffered as it is.
            m_flushedInputUs = m_lastInputUs + 1;
            Request request;
            while (m_linkOpen && !m_closing && m_reader.next(request, true))
                handleRequest(request, t);
        } else if (t == nextReply) {
            QByteArray frame = std::move(m_replies.front().frame);
            m_replies.pop_front();
            emitUnit(t, std::move(frame), true);
        } else if (t == nextHeader) {
            flushPacket(t);
            emitUnit(t, streamHeader(quint32(m_sampleIndex)), false);
            m_nextHeaderUs = m_headerRepeatUs > 0 ? t + m_headerRepeatUs : kNever;
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
    if (!isStreaming())
        stopStreamOutput(nowUs);
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

bool SimulatedSensor::consumeTokenRule(QHash<QByteArray, int>& rules, const QByteArray& token)
{
    auto it = rules.find(token);
    if (it == rules.end() || it.value() == 0)
        return false;
    if (it.value() > 0)
        --it.value();
    return true;
}

void SimulatedSensor::handleRequest(const Request& request, qint64 nowUs)
{
    RequestRecord record;
    record.timeUs = nowUs;
    record.number = request.number;
    record.token = request.token;
    record.payload = request.payload;

    QVector<QByteArray> frames;
    const bool refuse = consumeTokenRule(m_faults.nokTokens, request.token) || m_faultRandom.chance(m_faults.nokProbability);
    if (refuse) {
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
    }
    if (consumeTokenRule(m_faults.dropTokens, request.token) || m_faultRandom.chance(m_faults.dropProbability)) {
        record.outcome = RequestRecord::Dropped;
        record.injected = true;
        frames.clear();
    }

    if (!frames.isEmpty()) {
        qint64 delay = qint64(qMax(0, m_faults.replyDelayMs)) * 1000;
        if (m_faults.replyJitterMs > 0)
            delay += qint64(m_faultRandom.below(quint64(m_faults.replyJitterMs) * 1000 + 1));
        const qint64 release = qMax(m_lastReleaseUs, nowUs + delay);
        m_lastReleaseUs = release;
        for (QByteArray& frame : frames)
            m_replies.push_back({release, std::move(frame)});
    }

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
    if ((code == kFeatureUsbStream || code == kFeatureBluetoothStream)) {
        updateSampling(nowUs);
        // Every request to stream gets a fresh header (right after the
        // acknowledgement), also when a stream already runs: the host may
        // have started a new measurement.
        if (on)
            m_nextHeaderUs = nowUs;
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
    for (int i = 0; i < count; ++i) {
        if (mask & (1u << i))
            m_signals.appendSample(m_group, m_settings.tracks.at(i).trackId, t, uptime);
    }
    return true;
}

void SimulatedSensor::produceSample(qint64 index, double t, double uptime, qint64 atUs)
{
    if (!buildGroup(index, t, uptime))
        return;
    if (isStreaming() && m_linkOpen && !m_closing)
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
    emitUnit(atUs, std::move(packet), false);
}

void SimulatedSensor::stopStreamOutput(qint64 atUs)
{
    flushPacket(atUs);
}

void SimulatedSensor::emitUnit(qint64 atUs, QByteArray bytes, bool isFrame)
{
    if (!m_linkOpen || m_closing)
        return;
    if (m_faults.garbageProbability > 0.0 && m_faultRandom.chance(m_faults.garbageProbability)) {
        const int length = 1 + int(m_faultRandom.below(quint64(qMax(1, m_faults.garbageMaxBytes))));
        QByteArray garbage(length, Qt::Uninitialized);
        for (int i = 0; i < length; ++i)
            garbage[i] = char(m_faultRandom.next());
        m_out.append(garbage);
    }
    if (m_faults.corruptProbability > 0.0) {
        if (!m_corruptArmed || m_armedCorruptProbability != m_faults.corruptProbability) {
            m_armedCorruptProbability = m_faults.corruptProbability;
            m_bytesUntilCorrupt = m_faultRandom.geometric(m_faults.corruptProbability);
            m_corruptArmed = true;
        }
        while (m_bytesUntilCorrupt < bytes.size()) {
            const int at = int(m_bytesUntilCorrupt);
            bytes[at] = char(quint8(bytes.at(at)) ^ quint8(1 + m_faultRandom.below(255)));
            m_bytesUntilCorrupt = at + 1 + m_faultRandom.geometric(m_faults.corruptProbability);
        }
        m_bytesUntilCorrupt -= bytes.size();
    } else {
        m_corruptArmed = false;
    }
    m_out.append(bytes);
    const qint64 end = m_outBase + m_out.size();
    if (m_faults.bytesPerSecond > 0)
        m_units.push_back({end, atUs});
    if (isFrame && m_faults.closeAfterFrames > 0 && ++m_framesSent >= m_faults.closeAfterFrames) {
        m_closing = true;
        m_closeAt = end;
        m_faults.closeAfterFrames = 0;
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

bool SimulatedSensor::addRecordedMeasurement(quint64 measurementId, double seconds)
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
        const double t = double(k) / double(m_settings.baseFrequency);
        if (buildGroup(k, t, t))
            addToPage();
    }
    stopRecording();
    return true;
}

} // namespace sensorsim
