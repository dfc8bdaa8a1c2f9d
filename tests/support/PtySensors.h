#pragma once

#include "SimulatedSensor.h"

#include <QByteArray>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <vector>

namespace sensorsim {
class PtyEndpoint;
class SimClock;
}

// Simulated sensors on pseudo-terminals, served from this thread's event
// loop, and named in KORVEX_EXTRA_SERIAL_PORTS for as long as the object
// lives: the program finds them as it finds real serial ports.
class PtySensors
{

public:
    // `recorded[i]` recordings of `seconds` each are in sensor i's flash.
    explicit PtySensors(int count, const QVector<int>& recorded = {}, double seconds = 2.0,
                        quint64 firstSerial = 0x5e0001);
    ~PtySensors();
    PtySensors(const PtySensors&) = delete;
    PtySensors& operator=(const PtySensors&) = delete;

    bool isValid() const { return m_valid; }
    QStringList paths() const;
    sensorsim::SimulatedSensor* sensor(int index) const { return m_sensors.at(size_t(index)).get(); }
    int count() const { return int(m_sensors.size()); }
    QString serialText(int index) const;
    // Impact peaks on every sensor's accelerometer from now on (recordings
    // already in flash stay as they are).
    void setSpikes(bool on);

private:
    void service();

    std::shared_ptr<sensorsim::SimClock> m_clock;
    std::vector<std::unique_ptr<sensorsim::SimulatedSensor>> m_sensors;
    std::vector<std::unique_ptr<sensorsim::PtyEndpoint>> m_endpoints;
    QTimer m_timer;
    bool m_valid = true;
    QByteArray m_previousPorts;
    bool m_hadPreviousPorts = false;
};
