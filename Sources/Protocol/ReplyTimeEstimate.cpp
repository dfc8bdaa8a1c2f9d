#include "Protocol/ReplyTimeEstimate.h"

#include <cmath>

void ReplyTimeEstimate::addSample(qint64 ms)
{
    const double sample = double(qMax<qint64>(0, ms));
    if (m_samples == 0) {
        m_mean = sample;
        m_deviation = sample / 2.0;
    } else {
        m_deviation += (std::fabs(sample - m_mean) - m_deviation) / 4.0;
        m_mean += (sample - m_mean) / 8.0;
    }
    ++m_samples;
    m_backOff = 0;
}

void ReplyTimeEstimate::backOff()
{
    if (m_backOff < 8)
        ++m_backOff;
}

int ReplyTimeEstimate::timeoutMs() const
{
    if (m_samples == 0)
        return kMaxMs;
    const double wait = (m_mean + 4.0 * m_deviation + kMarginMs) * double(1 << m_backOff);
    return int(qBound(double(kMinMs), std::ceil(wait), double(kMaxMs)));
}
