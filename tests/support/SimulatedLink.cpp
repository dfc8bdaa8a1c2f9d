#include "SimulatedLink.h"

#include <QTimer>

using sensorsim::SimulatedSensor;

SimulatedLink::SimulatedLink(QSharedPointer<SimulatedSensor> sensor, const QString& identifier,
                             const QString& type, int rank, QObject* parent)
    : RemoteInterface(parent)
    , m_sensor(std::move(sensor))
    , m_identifier(identifier)
    , m_type(type)
    , m_port(portFor(type))
    , m_rank(rank)
{
}

SimulatedLink::SimulatedLink(quint64 serial, const QString& identifier, const QString& type, int rank,
                             std::shared_ptr<sensorsim::SimClock> clock, quint64 seed, QObject* parent)
    : SimulatedLink(QSharedPointer<SimulatedSensor>::create(serial, std::move(clock), seed), identifier, type,
                    rank, parent)
{
    m_sensor->setPrimaryPort(m_port);
}

sensorsim::Port SimulatedLink::portFor(const QString& type)
{
    return type == QLatin1String("bluetooth") ? sensorsim::Port::Bluetooth : sensorsim::Port::Cable;
}

bool SimulatedLink::doConnect()
{
    if (!m_pluggedIn || !m_connectable || !m_sensor)
        return false;
    if (!m_connected) {
        // A fresh connection: whatever the sensor queued for a previous host is gone.
        if (!m_sensor->isLinkOpen(m_port))
            m_sensor->reopenLink(m_port);
        m_sensor->hostDisconnected(m_port);
        m_injected.clear();
        m_connected = true;
        m_lossReported = false;
    }
    return true;
}

void SimulatedLink::write(QByteArray data)
{
    if (!m_connected)
        return;
    m_written.append(data);
    m_sensor->receive(data, m_port);
}

QByteArray SimulatedLink::read()
{
    if (!m_connected)
        return QByteArray();
    QByteArray bytes;
    if (m_maxReadBytes == 0 || m_injected.size() <= m_maxReadBytes) {
        bytes.swap(m_injected);
    } else {
        bytes = m_injected.left(m_maxReadBytes);
        m_injected.remove(0, m_maxReadBytes);
    }
    if (m_maxReadBytes == 0)
        bytes.append(m_sensor->take(-1, m_port));
    else if (bytes.size() < m_maxReadBytes)
        bytes.append(m_sensor->take(m_maxReadBytes - bytes.size(), m_port));
    if (!m_sensor->isLinkOpen(m_port)) {
        // The sensor closed the link (a fault knob); report it from the event
        // loop, not from inside the caller's poll.
        m_connected = false;
        QTimer::singleShot(0, this, &SimulatedLink::reportLoss);
    }
    if (m_keepDelivered)
        m_delivered.append(bytes);
    return bytes;
}

void SimulatedLink::unplug()
{
    m_pluggedIn = false;
    if (m_connected) {
        m_connected = false;
        m_sensor->hostDisconnected(m_port);
    }
    reportLoss();
}

void SimulatedLink::plugIn()
{
    m_pluggedIn = true;
}

void SimulatedLink::reportLoss()
{
    if (m_lossReported)
        return;
    m_lossReported = true;
    Q_EMIT didDisconnect(m_identifier);
}
