#pragma once

#include "SimRandom.h"

#include <QByteArray>
#include <QtGlobal>

namespace sensorsim {

// Plausible raw values per track id, as the sensor would put them on the
// wire: gravity and noise on the accelerometer, turning rates on the
// gyroscope, a slowly rotating unit quaternion (4 x 32-bit, 2^30 = 1.0), a
// slowly falling battery, barometer values, sprint ground-contact times with
// a few outliers and squat jumps. Scalars are signed 16-bit.
class SignalGenerator
{
public:
    static constexpr quint16 kFusionRaw = 0x0140;
    static constexpr quint16 kFusionWithMag = 0x0141;
    static constexpr double kQuaternionOne = 1073741824.0; // 2^30

    explicit SignalGenerator(quint64 seed);

    static bool isFusion(quint16 trackId) { return trackId == kFusionRaw || trackId == kFusionWithMag; }
    // Bytes per sample on the wire.
    static int sampleWidth(quint16 trackId) { return isFusion(trackId) ? 16 : 2; }

    // t: seconds since sampling began; uptime: seconds since the sensor was switched on.
    qint16 scalar(quint16 trackId, double t, double uptime);
    void quaternion(quint16 trackId, double t, qint32 out[4]) const;
    // Appends one sample of the track, big-endian.
    void appendSample(QByteArray& out, quint16 trackId, double t, double uptime);

    // Ground contact time in ms of the step running at t (sprints), and of the
    // jump running at t (flight time in ms): the same for every sample of the step.
    int groundContactMs(double t) const;
    int flightTimeMs(double t) const;

private:
    quint64 hashed(quint64 salt, quint64 index) const;

    quint64 m_seed;
    SimRandom m_noise;
};

} // namespace sensorsim
