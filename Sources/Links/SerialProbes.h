#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

#include <functional>

class GetSerial;

// Asks newly opened links who is on the other end (GetSerial) and watches
// their windows for the answer. A link left unbound, with no question open,
// is asked again every few connect ticks, so that a sensor that booted
// slowly, or that shares its serial with one already bound, is not left
// for ever.
class SerialProbes : public QObject
{
    Q_OBJECT
public:
    static constexpr int kReprobeAfterTicks = 5;

    using Writer = std::function<void(const QString& identifier, const QByteArray& frame)>;
    // Where the link's receive window ends now, as an absolute position.
    using EndPosition = std::function<quint64(const QString& identifier)>;
    using Answered = std::function<void(quint64 serial)>;

    SerialProbes(Writer write, EndPosition endPosition, QObject* parent = nullptr);

    void start(const QString& identifier);
    // One connect tick of an open link.
    void tick(const QString& identifier, bool bound);
    // Offers the link's window to its open questions; each answer is taken
    // off the list before it is handed on.
    void offer(const QString& identifier, const QByteArray& window, quint64 offset, const Answered& answered);
    // The link is gone: its questions go, and its count of ticks.
    void release(const QString& identifier);

    GetSerial* pendingFor(const QString& identifier) const;
    int count(const QString& identifier) const;
    const QList<GetSerial*>& pending() const { return m_pending; }

private:
    Writer m_write;
    EndPosition m_endPosition;
    // Requests sent and not yet answered (children of this object).
    QList<GetSerial*> m_pending;
    // Connect ticks each open, unbound link has waited without a probe running.
    QMap<QString, int> m_unboundTicks;
};
