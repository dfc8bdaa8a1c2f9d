#pragma once

#include <QtGlobal>

// How long to wait for the next frame of an exchange that repeats many times
// over one link (the pages of an upload), learnt from the times measured so
// far: a smoothed mean and mean deviation, as transport protocols keep them.
// The wait is the mean plus four deviations and a margin, between kMinMs and
// kMaxMs; before the first sample, and after losses, it is longer. On a
// cable a lost reply then costs a few milliseconds instead of the fixed
// reply time; on a slow link the wait stays as long as that link needs.
class ReplyTimeEstimate
{
public:
    static constexpr int kMinMs = 20;
    static constexpr int kMaxMs = 300;
    static constexpr int kMarginMs = 10;

    void addSample(qint64 ms);
    // A wait ran out: the next one is twice as long, up to kMaxMs.
    void backOff();
    int timeoutMs() const;
    bool hasSamples() const { return m_samples > 0; }

private:
    double m_mean = 0.0;
    double m_deviation = 0.0;
    int m_samples = 0;
    int m_backOff = 0;
};
