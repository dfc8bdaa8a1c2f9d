#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

class Message;

// Makes a sensor show who it is: in colour mode it runs its LED round the
// colour circle twice, one colour every 50 ms, and leaves colour mode again.
// The messages go out through whoever owns it (a workflow's queue).
class SensorIdentifier : public QObject
{
    Q_OBJECT
public:
    static constexpr int kIntervalMs = 50;
    static constexpr int kHueStep = 15;
    static constexpr int kLastHue = 720;

    using Sink = std::function<void(Message*)>;
    SensorIdentifier(Sink sink, QObject* parent = nullptr);

    // Starts with this sensor; one picked while another still cycles takes
    // over the colours, and the other leaves its colour mode.
    void identify(quint64 serial);
    // One colour, and after the last one the end of colour mode.
    void step();
    bool isRunning() const { return m_timer.isActive(); }
    quint64 serial() const { return m_serial; }

private:
    Sink m_sink;
    QTimer m_timer;
    quint64 m_serial = 0;
    quint64 m_hue = 0;
};
