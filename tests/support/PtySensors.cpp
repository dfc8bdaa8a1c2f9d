#include "PtySensors.h"

#include "PtyEndpoint.h"
#include "SystemClock.h"

namespace {
const char kPortsVariable[] = "KORVEX_EXTRA_SERIAL_PORTS";
}

PtySensors::PtySensors(int count, const QVector<int>& recorded, double seconds, quint64 firstSerial)
    : m_clock(std::make_shared<sensorsim::SystemClock>())
{
    for (int i = 0; i < count; ++i) {
        auto sensor = std::make_unique<sensorsim::SimulatedSensor>(firstSerial + quint64(i), m_clock, quint64(i) + 7);
        const int recordings = i < recorded.size() ? recorded.at(i) : 0;
        for (int m = 0; m < recordings; ++m)
            m_valid = sensor->addRecordedMeasurement(0x7e57000000000000ULL + (firstSerial + quint64(i)) * 16 + quint64(m), seconds) && m_valid;
        auto endpoint = std::make_unique<sensorsim::PtyEndpoint>(sensor.get());
        m_valid = endpoint->open() && m_valid;
        m_sensors.push_back(std::move(sensor));
        m_endpoints.push_back(std::move(endpoint));
    }
    m_hadPreviousPorts = qEnvironmentVariableIsSet(kPortsVariable);
    m_previousPorts = qgetenv(kPortsVariable);
    qputenv(kPortsVariable, paths().join(QLatin1Char(':')).toLocal8Bit());
    // The terminals never block; a short period keeps replies as prompt as a
    // cable's.
    m_timer.setInterval(1);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { service(); });
    m_timer.start();
}

PtySensors::~PtySensors()
{
    m_timer.stop();
    m_endpoints.clear();
    if (m_hadPreviousPorts)
        qputenv(kPortsVariable, m_previousPorts);
    else
        qunsetenv(kPortsVariable);
}

QStringList PtySensors::paths() const
{
    QStringList list;
    for (const auto& endpoint : m_endpoints)
        list.append(endpoint->path());
    return list;
}

QString PtySensors::serialText(int index) const
{
    return QString::number(sensor(index)->serial(), 16);
}

void PtySensors::setSpikes(bool on)
{
    for (const auto& sensor : m_sensors)
        sensor->setSpikes(on);
}

void PtySensors::service()
{
    for (const auto& endpoint : m_endpoints)
        endpoint->service();
}
