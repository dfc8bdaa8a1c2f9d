#pragma once

#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>

class Message;

// Makes sensors show who they are, one after another: in colour mode each
// runs its LED round the colour circle twice, one colour every 50 ms, and
// leaves colour mode again.
// The messages go out through whoever owns it (a workflow's queue).
class SensorIdentifier : public QObject
{
    Q_OBJECT
public:
    static constexpr int kIntervalMs = 50;
    static constexpr int kHueStep = 15;
    static constexpr int kLastHue = 720;

    using Sink = std::function<void(Message*)>;
    using OnlineQuery = std::function<bool(quint64 serial)>;
    SensorIdentifier(Sink sink, OnlineQuery online, QObject* parent = nullptr);

    // Starts with this sensor, or, while another one cycles, queues it
    // behind that one: each gets its whole cycle. A sensor lost before or
    // during its turn is skipped.
    void identify(quint64 serial);
    QList<quint64> waiting() const { return m_waiting; }
    // One colour, and after the last one the end of colour mode.
    void step();
    bool isRunning() const { return m_timer.isActive(); }
    quint64 serial() const { return m_serial; }

Q_SIGNALS:
    void started(quint64 serial);
    // The last sensor of the queue has had its cycle.
    void finished();

private:
    void begin(quint64 serial);
    // This sensor's turn is over; the next one that is there begins.
    void next();

    Sink m_sink;
    OnlineQuery m_online;
    QList<quint64> m_waiting;
    QTimer m_timer;
    quint64 m_serial = 0;
    quint64 m_hue = 0;
};
