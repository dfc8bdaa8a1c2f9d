#include "SimRandom.h"

#include <cmath>
#include <limits>

namespace sensorsim {

namespace {

quint64 splitMix(quint64& x)
{
    quint64 z = (x += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

inline quint64 rotl(quint64 x, int k)
{
    return (x << k) | (x >> (64 - k));
}

} // namespace

void SimRandom::reseed(quint64 seed)
{
    quint64 x = seed;
    for (auto& s : m_state)
        s = splitMix(x);
}

quint64 SimRandom::next()
{
    const quint64 result = rotl(m_state[1] * 5, 7) * 9;
    const quint64 t = m_state[1] << 17;
    m_state[2] ^= m_state[0];
    m_state[3] ^= m_state[1];
    m_state[1] ^= m_state[2];
    m_state[0] ^= m_state[3];
    m_state[2] ^= t;
    m_state[3] = rotl(m_state[3], 45);
    return result;
}

double SimRandom::gaussian()
{
    double sum = 0.0;
    for (int i = 0; i < 4; ++i)
        sum += uniform();
    // Four uniforms have variance 4/12; scale to 1.
    return (sum - 2.0) * 1.7320508075688772;
}

qint64 SimRandom::geometric(double probability)
{
    if (probability <= 0.0)
        return std::numeric_limits<qint64>::max() / 2;
    if (probability >= 1.0)
        return 0;
    const double u = 1.0 - uniform(); // (0, 1]
    const double trials = std::floor(std::log(u) / std::log1p(-probability));
    if (!(trials < 4.0e18))
        return std::numeric_limits<qint64>::max() / 2;
    return qint64(trials);
}

} // namespace sensorsim
