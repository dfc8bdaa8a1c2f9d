#include "RequestLog.h"

#include "SimulatedSensor.h"

namespace RequestLog {

QList<QByteArray> featureRequests(const sensorsim::SimulatedSensor& sensor, int from)
{
    QList<QByteArray> result;
    const QVector<sensorsim::RequestRecord>& log = sensor.requestLog();
    for (int i = from; i < log.size(); ++i) {
        if (log.at(i).token == "<SetFeature>")
            result.append(log.at(i).payload);
    }
    return result;
}

QList<quint32> colourRequests(const sensorsim::SimulatedSensor& sensor, int from)
{
    QList<quint32> result;
    const QVector<sensorsim::RequestRecord>& log = sensor.requestLog();
    for (int i = from; i < log.size(); ++i) {
        const QByteArray& payload = log.at(i).payload;
        if (log.at(i).token == "<SetDeviceColor>" && payload.size() >= 4)
            result.append(quint32(quint8(payload[1])) << 16 | quint32(quint8(payload[2])) << 8 | quint8(payload[3]));
    }
    return result;
}

} // namespace RequestLog
