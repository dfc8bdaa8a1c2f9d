#include "Workflows/SensorIdentifier.h"

#include "Protocol/SetDeviceColor.h"
#include "Protocol/SetFeature.h"

#include <QColor>

SensorIdentifier::SensorIdentifier(Sink sink, OnlineQuery online, QObject* parent)
    : QObject(parent)
    , m_sink(std::move(sink))
    , m_online(std::move(online))
{
    m_timer.setInterval(kIntervalMs);
    m_timer.setSingleShot(false);
    connect(&m_timer, &QTimer::timeout, this, &SensorIdentifier::step);
}

void SensorIdentifier::identify(quint64 serial)
{
    if (m_timer.isActive()) {
        if (serial == 0)
            return;
        if (serial != m_serial && !m_waiting.contains(serial))
            m_waiting.append(serial);
        return;
    }
    m_waiting.removeAll(serial);
    // Nobody to blink: the request is over at once.
    if (serial == 0 || (m_online && !m_online(serial))) {
        Q_EMIT finished();
        return;
    }
    begin(serial);
}

void SensorIdentifier::begin(quint64 serial)
{
    m_serial = serial;
    m_hue = 0;
    m_sink(new SetFeature(serial, SetFeature::ConfigurationMode, true));
    m_timer.start();
    Q_EMIT started(serial);
}

void SensorIdentifier::step()
{
    if (!m_timer.isActive())
        return;
    if (m_online && !m_online(m_serial)) {
        next();
        return;
    }
    // The colour circle repeats every 360 degrees; the hue runs round it twice.
    const QColor colour = QColor::fromHsl(int(m_hue % 360), 255, 128, 255).toRgb();
    const quint32 rgb = quint32(colour.red()) * 65536u + quint32(colour.green()) * 256u + quint32(colour.blue());
    m_sink(new SetDeviceColor(m_serial, rgb));
    m_hue += kHueStep;
    if (m_hue > quint64(kLastHue)) {
        m_sink(new SetFeature(m_serial, SetFeature::ConfigurationMode, false));
        next();
    }
}

void SensorIdentifier::next()
{
    m_timer.stop();
    m_hue = 0;
    while (!m_waiting.isEmpty()) {
        const quint64 serial = m_waiting.takeFirst();
        if (!m_online || m_online(serial)) {
            begin(serial);
            return;
        }
    }
    Q_EMIT finished();
}
