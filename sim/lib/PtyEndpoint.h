#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>

namespace sensorsim {

class SimulatedSensor;

// Serves one simulated sensor on a pseudo-terminal in raw mode, so programs
// reach it like a serial port. The host may open and close the terminal as
// often as it likes: a close is what a sensor sees when its cable is pulled.
// When the sensor itself closes the link (a fault knob), the terminal is
// replaced by a new one with a new path. Never blocks.
class PtyEndpoint
{
public:
    explicit PtyEndpoint(SimulatedSensor* sensor);
    ~PtyEndpoint();
    PtyEndpoint(const PtyEndpoint&) = delete;
    PtyEndpoint& operator=(const PtyEndpoint&) = delete;

    bool open(QString* error = nullptr);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    QString path() const { return m_path; }
    int fd() const { return m_fd; }
    bool isHostConnected() const { return m_hostConnected; }

    // Takes what the host wrote, runs the sensor, writes what it sent.
    void service();
    // True once after the terminal was replaced (the path changed).
    bool takePathChanged();
    // Bytes thrown away because the host did not read them.
    qint64 droppedBytes() const { return m_dropped; }

    // Output the host has not read yet is kept up to this size.
    static constexpr int kMaxBacklog = 1 << 20;
    // How long a terminal stays after its sensor dropped the link.
    static constexpr int kCloseGraceMs = 100;

private:
    void hostGone();

    SimulatedSensor* m_sensor;
    int m_fd = -1;
    QString m_path;
    bool m_hostConnected = false;
    bool m_pathChanged = false;
    bool m_closing = false;
    std::chrono::steady_clock::time_point m_closeAt;
    QByteArray m_backlog;
    qint64 m_dropped = 0;
};

} // namespace sensorsim
