#pragma once

#include "SimClock.h"

namespace sensorsim {

// A clock that moves only when told to. Time never runs backwards.
class ManualClock : public SimClock
{
public:
    explicit ManualClock(qint64 startUs = 0) : m_nowUs(startUs) {}

    qint64 nowUs() const override { return m_nowUs; }
    void advanceUs(qint64 us);
    void advanceMs(qint64 ms) { advanceUs(ms * 1000); }
    void setUs(qint64 us);

private:
    qint64 m_nowUs;
};

} // namespace sensorsim
