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
    // The time of the current step, ms since sampling began, 32-bit.
    static constexpr quint16 kStepTime = 0x8016;

    explicit SignalGenerator(quint64 seed);

    static bool isFusion(quint16 trackId) { return trackId == kFusionRaw || trackId == kFusionWithMag; }
    // Bytes per sample on the wire.
    static int sampleWidth(quint16 trackId) { return isFusion(trackId) ? 16 : trackId == kStepTime ? 4 : 2; }

    // The foot this sensor is strapped to: the right foot steps half a
    // stride after the left, with steps of its own.
    void setRightFoot(bool right) { m_rightFoot = right; }
    bool isRightFoot() const { return m_rightFoot; }

    // Impact peaks on the accelerometer, as a foot strike or a landing puts
    // them there: single samples far above or below the signal, each axis
    // its own, about every 0.3 to 0.8 s, some up and some down; one in four
    // comes with a second peak of the same sign a few tens of milliseconds
    // later. Each peak is one sample wide, whatever the rate. Off by default.
    void setSpikes(bool on) { m_spikes = on; }
    bool hasSpikes() const { return m_spikes; }
    // The peak in g on the sample `index` of an accelerometer track sampled
    // every `period` seconds; 0 for the samples without one and for every
    // other track.
    double spikeG(quint16 trackId, qint64 index, double period) const;

    // t: seconds since sampling began; uptime: seconds since the sensor was
    // switched on; period: seconds between two samples of the track (0 when
    // unknown: then no peaks).
    qint16 scalar(quint16 trackId, double t, double uptime, double period = 0.0);
    void quaternion(quint16 trackId, double t, qint32 out[4]) const;
    // Appends one sample of the track, big-endian.
    void appendSample(QByteArray& out, quint16 trackId, double t, double uptime, double period = 0.0);

    // Ground contact time in ms of the foot's step running at t (sprints),
    // and of the jump running at t (flight time in ms): the same for every
    // sample of the step, as is the step's time.
    int groundContactMs(double t) const;
    qint32 stepTimeMs(double t) const;
    int flightTimeMs(double t) const;

private:
    quint64 hashed(quint64 salt, quint64 index) const;
    // The foot's step running at t (negative before its first touch-down).
    qint64 stepIndex(double t) const;
    double stepStartSeconds(qint64 step) const;
    int contactMsOfStep(qint64 step) const;

    quint64 m_seed;
    bool m_rightFoot = false;
    bool m_spikes = false;
    SimRandom m_noise;
};

} // namespace sensorsim
