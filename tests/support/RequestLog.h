#pragma once

#include <QByteArray>
#include <QList>

namespace sensorsim {
class SimulatedSensor;
}

// What a simulated sensor was asked, read from its request log from entry
// `from` on.
namespace RequestLog {

// The payloads of the feature switches (feature number, then 1 or 0).
QList<QByteArray> featureRequests(const sensorsim::SimulatedSensor& sensor, int from = 0);
// The colours the sensor was told to show, as 0xRRGGBB.
QList<quint32> colourRequests(const sensorsim::SimulatedSensor& sensor, int from = 0);

} // namespace RequestLog
