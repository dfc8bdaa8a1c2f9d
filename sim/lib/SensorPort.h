#pragma once

#include "RequestReader.h"
#include "SensorFaults.h"
#include "SimRandom.h"

#include <QByteArray>
#include <QMetaType>
#include <QVector>
#include <QtGlobal>

#include <deque>
#include <limits>

namespace sensorsim {

// The two ways a host reaches a sensor; a sensor may be reached over both at once.
enum class Port { Cable, Bluetooth };

// One link of a sensor: the requests its host sends, the replies waiting to
// leave, the output waiting to be read, and the faults of that link. The
// sensor decides what goes out on which port; the port decides when and how
// it leaves (delay, byte rate, garbage, corruption) and whether anybody is
// there to get it. Output with nobody to read it is thrown away, so a port
// without a host never grows.
class SensorPort
{
public:
    // Unread output beyond this is thrown away, as an overrun driver would.
    static constexpr qint64 kMaxPendingBytes = qint64(1) << 22;
    static constexpr qint64 kNever = std::numeric_limits<qint64>::max();

    SensorPort(RequestReader::LengthLookup lengths, quint64 seed);

    // Link state. A host attaches by using the port and goes when it
    // disconnects; the sensor itself may close the link (closeAfterFrames).
    bool isOpen() const { return m_open; }
    // Open and not about to close: requests are read and output goes out.
    bool isLive() const { return m_open && !m_closing; }
    bool isAttached() const { return m_attached; }
    void attach() { m_attached = true; }
    // The host went away: half-read requests, waiting replies and unread
    // output are dropped.
    void detach();
    void reopen();

    // Input: requests are cut out as bytes come, and a half-read one is
    // judged as it stands once nothing more has come for idleUs.
    void feed(const QByteArray& bytes, qint64 nowUs);
    bool nextRequest(Request& request, bool flush = false) { return m_reader.next(request, flush); }
    qint64 nextInputFlushUs(qint64 idleUs) const;
    // What is buffered now is judged; the next flush waits for new input.
    void markInputFlushed() { m_flushedInputUs = m_lastInputUs + 1; }

    // What the link's faults make of one request.
    bool refuses(const QByteArray& token);
    bool dropsReply(const QByteArray& token);
    // How many pages of a run of count page frames go out.
    int pagesInRun(int count);

    // Replies leave in order, after the reply delay and jitter.
    void queueReplies(QVector<QByteArray> frames, qint64 nowUs);
    qint64 nextReplyUs() const { return m_replies.empty() ? kNever : m_replies.front().releaseUs; }
    QByteArray popReply();

    // Output
    void send(qint64 atUs, QByteArray bytes, bool isFrame);
    // At most maxBytes (-1: no limit) of what was sent, as the byte rate lets
    // them through by nowUs. Reaching the point where the sensor closes the
    // link closes the port.
    QByteArray take(int maxBytes, qint64 nowUs);
    qint64 pendingBytes() const { return m_out.size() - m_outHead; }
    qint64 discardedBytes() const { return m_discarded; }

    // The live stream on this port, kept by the sensor.
    bool carriesStream() const { return m_carriesStream; }
    void setCarriesStream(bool carries) { m_carriesStream = carries; }
    qint64 nextHeaderUs() const { return m_nextHeaderUs; }
    void setNextHeaderUs(qint64 atUs) { m_nextHeaderUs = atUs; }

    SensorFaults& faults() { return m_faults; }
    const SensorFaults& faults() const { return m_faults; }
    void setFaults(const SensorFaults& faults) { m_faults = faults; }

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

    static bool consumeTokenRule(QHash<QByteArray, int>& rules, const QByteArray& token);
    void discardOutput();

    SimRandom m_random;
    SensorFaults m_faults;
    RequestReader m_reader;
    qint64 m_lastInputUs = 0;
    qint64 m_flushedInputUs = 0;

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
    qint64 m_discarded = 0;

    bool m_open = true;
    bool m_attached = false;
    bool m_closing = false;
    qint64 m_closeAt = 0;
    int m_framesSent = 0;

    bool m_carriesStream = false;
    qint64 m_nextHeaderUs = kNever;
};

} // namespace sensorsim

// Ports go into QVariant, e.g. in the columns of a test table.
Q_DECLARE_METATYPE(sensorsim::Port)
