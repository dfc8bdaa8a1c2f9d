#include "SensorPort.h"

#include <algorithm>
#include <cmath>

namespace sensorsim {

SensorPort::SensorPort(RequestReader::LengthLookup lengths, quint64 seed)
    : m_random(seed)
    , m_reader(std::move(lengths))
{
}

void SensorPort::detach()
{
    m_attached = false;
    m_reader.clear();
    m_replies.clear();
    discardOutput();
    m_closing = false;
}

void SensorPort::reopen()
{
    m_open = true;
    m_closing = false;
    m_framesSent = 0;
}

// ---------------------------------------------------------------- input

void SensorPort::feed(const QByteArray& bytes, qint64 nowUs)
{
    m_reader.feed(bytes);
    m_lastInputUs = nowUs;
}

qint64 SensorPort::nextInputFlushUs(qint64 idleUs) const
{
    return (m_reader.bufferedBytes() > 0 && m_lastInputUs >= m_flushedInputUs) ? m_lastInputUs + idleUs : kNever;
}

bool SensorPort::consumeTokenRule(QHash<QByteArray, int>& rules, const QByteArray& token)
{
    auto it = rules.find(token);
    if (it == rules.end() || it.value() == 0)
        return false;
    if (it.value() > 0)
        --it.value();
    return true;
}

bool SensorPort::refuses(const QByteArray& token)
{
    return consumeTokenRule(m_faults.nokTokens, token) || m_random.chance(m_faults.nokProbability);
}

bool SensorPort::dropsReply(const QByteArray& token)
{
    return consumeTokenRule(m_faults.dropTokens, token) || m_random.chance(m_faults.dropProbability);
}

int SensorPort::pagesInRun(int count)
{
    int pages = count;
    if (m_faults.pageRunCutAfter > 0)
        pages = qMin(pages, m_faults.pageRunCutAfter);
    // Drawn only while the knob is on, so switching it on leaves the other
    // faults of a seed as they were up to that point.
    if (count > 1 && m_random.chance(m_faults.pageRunCutProbability))
        pages = qMin(pages, 1 + int(m_random.below(quint64(count - 1))));
    return pages;
}

// ---------------------------------------------------------------- replies

void SensorPort::queueReplies(QVector<QByteArray> frames, qint64 nowUs)
{
    if (frames.isEmpty())
        return;
    qint64 delay = qint64(qMax(0, m_faults.replyDelayMs)) * 1000;
    if (m_faults.replyJitterMs > 0)
        delay += qint64(m_random.below(quint64(m_faults.replyJitterMs) * 1000 + 1));
    const qint64 release = qMax(m_lastReleaseUs, nowUs + delay);
    m_lastReleaseUs = release;
    for (QByteArray& frame : frames)
        m_replies.push_back({release, std::move(frame)});
}

QByteArray SensorPort::popReply()
{
    QByteArray frame = std::move(m_replies.front().frame);
    m_replies.pop_front();
    return frame;
}

// ---------------------------------------------------------------- output

void SensorPort::send(qint64 atUs, QByteArray bytes, bool isFrame)
{
    if (!m_open || m_closing || !m_attached) {
        m_discarded += bytes.size();
        return;
    }
    if (m_faults.garbageProbability > 0.0 && m_random.chance(m_faults.garbageProbability)) {
        const int length = 1 + int(m_random.below(quint64(qMax(1, m_faults.garbageMaxBytes))));
        QByteArray garbage(length, Qt::Uninitialized);
        for (int i = 0; i < length; ++i)
            garbage[i] = char(m_random.next());
        m_out.append(garbage);
    }
    if (m_faults.corruptProbability > 0.0) {
        if (!m_corruptArmed || m_armedCorruptProbability != m_faults.corruptProbability) {
            m_armedCorruptProbability = m_faults.corruptProbability;
            m_bytesUntilCorrupt = m_random.geometric(m_faults.corruptProbability);
            m_corruptArmed = true;
        }
        while (m_bytesUntilCorrupt < bytes.size()) {
            const int at = int(m_bytesUntilCorrupt);
            bytes[at] = char(quint8(bytes.at(at)) ^ quint8(1 + m_random.below(255)));
            m_bytesUntilCorrupt = at + 1 + m_random.geometric(m_faults.corruptProbability);
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
    // A host that attached and stopped reading loses what it left, whole
    // units at a time, so what it reads later starts at a unit boundary.
    if (pendingBytes() > kMaxPendingBytes)
        discardOutput();
}

void SensorPort::discardOutput()
{
    m_discarded += pendingBytes();
    m_outBase += m_out.size();
    m_out.clear();
    m_outHead = 0;
    m_units.clear();
}

QByteArray SensorPort::take(int maxBytes, qint64 nowUs)
{
    if (!m_open)
        return QByteArray();
    const qint64 available = pendingBytes();
    const qint64 budget = maxBytes < 0 ? available : qMin<qint64>(available, maxBytes);
    qint64 count = 0;
    if (m_faults.bytesPerSecond <= 0) {
        count = budget;
        m_units.clear();
    } else {
        const double rate = double(m_faults.bytesPerSecond);
        if (m_units.empty() && available > 0)
            m_units.push_back({m_outBase + m_out.size(), nowUs}); // rate switched on with bytes queued
        qint64 position = m_outBase + m_outHead;
        while (!m_units.empty() && count < budget) {
            OutUnit& unit = m_units.front();
            const double start = std::max(m_txClockUs, double(unit.readyUs));
            if (start >= double(nowUs))
                break;
            const qint64 fits = qint64(std::floor((double(nowUs) - start) * rate / 1e6));
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
        m_open = false;
    }
    return result;
}

} // namespace sensorsim
