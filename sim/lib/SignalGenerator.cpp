#include "SignalGenerator.h"

#include <cmath>

namespace sensorsim {

namespace {

constexpr double kTwoPi = 6.283185307179586;
// Each foot touches down every stride; the right foot half a stride after
// the left.
constexpr double kStrideSeconds = 0.45;
// How far a touch-down may come after its place in the rhythm.
constexpr double kStrideJitterSeconds = 0.02;
constexpr double kJumpPeriodSeconds = 3.0;
// One impact peak in each such stretch of time, somewhere in its first
// kSpikeJitterSeconds: peaks come 0.3 to 0.8 s apart.
constexpr double kSpikeCellSeconds = 0.55;
constexpr double kSpikeJitterSeconds = 0.25;

bool isAccelerometer(quint16 trackId)
{
    return trackId == 0x0110 || trackId == 0x0111 || trackId == 0x0112;
}

qint16 clamp16(double value)
{
    const double rounded = std::round(value);
    if (rounded > 32767.0)
        return 32767;
    if (rounded < -32768.0)
        return -32768;
    return qint16(rounded);
}

qint32 clamp32(double value)
{
    const double rounded = std::round(value);
    if (rounded > 2147483647.0)
        return 2147483647;
    if (rounded < -2147483648.0)
        return qint32(-2147483647 - 1);
    return qint32(rounded);
}

} // namespace

SignalGenerator::SignalGenerator(quint64 seed)
    : m_seed(seed)
    , m_noise(seed ^ 0x5EED5EED5EED5EEDULL)
{
}

quint64 SignalGenerator::hashed(quint64 salt, quint64 index) const
{
    quint64 z = m_seed ^ (salt * 0x9E3779B97F4A7C15ULL) ^ (index * 0xD1B54A32D192ED03ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

qint64 SignalGenerator::stepIndex(double t) const
{
    const double offset = m_rightFoot ? kStrideSeconds / 2 : 0.0;
    const qint64 k = qint64(std::floor((t - offset) / kStrideSeconds));
    // A touch-down that comes late leaves the step before it running.
    return t < stepStartSeconds(k) ? k - 1 : k;
}

double SignalGenerator::stepStartSeconds(qint64 step) const
{
    const double offset = m_rightFoot ? kStrideSeconds / 2 : 0.0;
    const quint64 h = hashed(m_rightFoot ? 0x57E9 : 0x57E8, quint64(step));
    return offset + double(step) * kStrideSeconds + kStrideJitterSeconds * double(h % 1000) / 1000.0;
}

int SignalGenerator::contactMsOfStep(qint64 step) const
{
    const quint64 h = hashed(m_rightFoot ? 0x6C8 : 0x6C7, quint64(step));
    // About one step in twenty is an outlier, a contact read too long.
    if (h % 20 == 0)
        return 205 + int((h >> 12) % 46);
    return 110 + int((h >> 8) % 60);
}

int SignalGenerator::groundContactMs(double t) const
{
    return contactMsOfStep(stepIndex(t));
}

qint32 SignalGenerator::stepTimeMs(double t) const
{
    return clamp32(stepStartSeconds(stepIndex(t)) * 1000.0);
}

int SignalGenerator::flightTimeMs(double t) const
{
    const quint64 jump = quint64(std::max(0.0, t) / kJumpPeriodSeconds);
    return 380 + int(hashed(0x1A3, jump) % 170);
}

double SignalGenerator::spikeG(quint16 trackId, qint64 index, double period) const
{
    if (!m_spikes || !isAccelerometer(trackId) || period <= 0.0 || index < 0)
        return 0.0;
    // The sample a peak falls on is worked out from the peak's stretch
    // alone, so that exactly one sample carries it. A second peak may reach
    // into the next stretch, hence the look one stretch back.
    const qint64 last = qint64(std::floor(double(index + 1) * period / kSpikeCellSeconds));
    for (qint64 cell = qMax<qint64>(1, last - 1); cell <= last; ++cell) {
        const quint64 h = hashed(0x5B1CE000ULL + trackId, quint64(cell));
        const double at = double(cell) * kSpikeCellSeconds + kSpikeJitterSeconds * double(h % 1000) / 1000.0;
        const qint64 first = qint64(std::floor(at / period));
        const double sign = (h >> 20) & 1 ? 1.0 : -1.0;
        if (index == first)
            return sign * (2.5 + 4.5 * double((h >> 24) % 1000) / 1000.0);
        if ((h >> 40) % 4 == 0) {
            // Never on the neighbour of the first: the two stay two peaks.
            const double gap = 0.025 + 0.035 * double((h >> 44) % 1000) / 1000.0;
            const qint64 second = first + qMax<qint64>(2, qint64(std::llround(gap / period)));
            if (index == second)
                return sign * (2.0 + 3.0 * double((h >> 52) % 1000) / 1000.0);
        }
    }
    return 0.0;
}

qint16 SignalGenerator::scalar(quint16 trackId, double t, double uptime, double period)
{
    const double noise = m_noise.gaussian();
    const double spike = period > 0.0 && m_spikes ? spikeG(trackId, std::llround(t / period), period) : 0.0;
    switch (trackId) {
    case 0x0110: // acceleration, 2048 per g
        return clamp16(2048.0 * (0.06 * std::sin(kTwoPi * 0.7 * t) + 0.01 * noise + spike));
    case 0x0111:
        return clamp16(2048.0 * (0.04 * std::sin(kTwoPi * 1.1 * t + 1.0) + 0.01 * noise + spike));
    case 0x0112:
        return clamp16(2048.0 * (1.0 + 0.03 * std::sin(kTwoPi * 1.8 * t) + 0.01 * noise + spike));
    case 0x0120: // turning rate, 16.4 per deg/s
        return clamp16(16.4 * (25.0 * std::sin(kTwoPi * 0.5 * t) + 0.4 * noise));
    case 0x0121:
        return clamp16(16.4 * (12.0 * std::sin(kTwoPi * 0.3 * t + 0.5) + 0.4 * noise));
    case 0x0122:
        return clamp16(16.4 * (28.6 + 4.0 * std::sin(kTwoPi * 0.2 * t) + 0.4 * noise));
    case 0x0130: // magnetic field, 0.3 uT per count
        return clamp16((22.0 * std::cos(0.5 * t) + 0.3 * noise) / 0.3);
    case 0x0131:
        return clamp16((22.0 * std::sin(0.5 * t) + 0.3 * noise) / 0.3);
    case 0x0132:
        return clamp16((-38.0 + 0.3 * noise) / 0.3);
    case 0x0210: // pressure, in millibar counts
        return clamp16(1013.0 + 2.0 * std::sin(kTwoPi * t / 600.0) + 0.3 * noise);
    case 0x0211: // temperature
        return clamp16(27.0 + 1.5 * std::sin(kTwoPi * t / 900.0) + 0.2 * noise);
    case 0x0212: // altitude
        return clamp16(240.0 - 16.0 * std::sin(kTwoPi * t / 600.0) + 0.5 * noise);
    case 0x0310: // battery: falls about 10 mV a minute from a full charge
        return clamp16(std::max(3400.0, 4150.0 - uptime / 6.0) + 1.5 * noise);
    case 0x0311: // not charging
        return 0;
    case 0x0312:
        return clamp16(std::fabs(0.5 * noise));
    case 0x0330:
        return clamp16(2048.0 + 300.0 * std::sin(kTwoPi * 0.25 * t) + 3.0 * noise);
    case 0x0340:
        return clamp16(1024.0 + 200.0 * std::cos(kTwoPi * 0.15 * t) + 3.0 * noise);
    case 0x8004: // jump: flight time in ms of the latest jump
        return qint16(flightTimeMs(t));
    case 0x8005: { // jump state: 0 standing, 1 squat, 2 flight, 3 landing
        const double phase = std::fmod(std::max(0.0, t), kJumpPeriodSeconds);
        const double flight = flightTimeMs(t) / 1000.0;
        if (phase < 1.5)
            return 0;
        if (phase < 2.1)
            return 1;
        if (phase < 2.1 + flight)
            return 2;
        return phase < 2.1 + flight + 0.3 ? 3 : 0;
    }
    case 0x8014: // ground contact time of the current step, ms
        return qint16(groundContactMs(t));
    case 0x8015: { // 1 while the foot is on the ground
        const qint64 step = stepIndex(t);
        return (t - stepStartSeconds(step)) * 1000.0 < contactMsOfStep(step) ? 1 : 0;
    }
    default: // user algorithms and channels this sensor does not produce
        return 0;
    }
}

void SignalGenerator::quaternion(quint16 trackId, double t, qint32 out[4]) const
{
    // A slow turn about a tilted axis with a little wobble; the magnetometer
    // variant drifts less, as a heading reference would make it.
    const double drift = trackId == kFusionWithMag ? 0.0 : 0.02 * t;
    double ax = 0.3 + 0.05 * std::sin(0.7 * t), ay = 0.5, az = 0.8 + drift * 0.01;
    const double norm = std::sqrt(ax * ax + ay * ay + az * az);
    ax /= norm;
    ay /= norm;
    az /= norm;
    const double half = 0.5 * (0.6 * t + drift);
    const double s = std::sin(half);
    out[0] = clamp32(kQuaternionOne * std::cos(half));
    out[1] = clamp32(kQuaternionOne * ax * s);
    out[2] = clamp32(kQuaternionOne * ay * s);
    out[3] = clamp32(kQuaternionOne * az * s);
}

void SignalGenerator::appendSample(QByteArray& out, quint16 trackId, double t, double uptime, double period)
{
    if (isFusion(trackId)) {
        qint32 q[4];
        quaternion(trackId, t, q);
        for (qint32 component : q) {
            const quint32 raw = quint32(component);
            out.append(char(raw >> 24));
            out.append(char(raw >> 16));
            out.append(char(raw >> 8));
            out.append(char(raw));
        }
        return;
    }
    if (trackId == kStepTime) {
        const quint32 raw = quint32(stepTimeMs(t));
        out.append(char(raw >> 24));
        out.append(char(raw >> 16));
        out.append(char(raw >> 8));
        out.append(char(raw));
        return;
    }
    const quint16 raw = quint16(scalar(trackId, t, uptime, period));
    out.append(char(raw >> 8));
    out.append(char(raw));
}

} // namespace sensorsim
