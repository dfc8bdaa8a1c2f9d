#include "Workflows/SensorIdentifier.h"

#include "Protocol/SetDeviceColor.h"
#include "Protocol/SetFeature.h"

#include <QColor>

SensorIdentifier::SensorIdentifier(Sink sink, QObject* parent)
    : QObject(parent)
    , m_sink(std::move(sink))
{
    m_timer.setInterval(kIntervalMs);
    m_timer.setSingleShot(false);
    connect(&m_timer, &QTimer::timeout, this, &SensorIdentifier::step);
}

void SensorIdentifier::identify(quint64 serial)
{
    if (m_timer.isActive() && m_serial != 0 && m_serial != serial)
        m_sink(new SetFeature(m_serial, SetFeature::ConfigurationMode, false));
    m_serial = serial;
    m_sink(new SetFeature(serial, SetFeature::ConfigurationMode, true));
    if (!m_timer.isActive())
        m_timer.start();
}

void SensorIdentifier::step()
{
    // The colour circle repeats every 360 degrees; the hue runs round it twice.
    const QColor colour = QColor::fromHsl(int(m_hue % 360), 255, 128, 255).toRgb();
    const quint32 rgb = quint32(colour.red()) * 65536u + quint32(colour.green()) * 256u + quint32(colour.blue());
    m_sink(new SetDeviceColor(m_serial, rgb));
    m_hue += kHueStep;
    if (m_hue > quint64(kLastHue)) {
        m_timer.stop();
        m_sink(new SetFeature(m_serial, SetFeature::ConfigurationMode, false));
        m_hue = 0;
    }
}
