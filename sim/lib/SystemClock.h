#pragma once

#include "SimClock.h"

#include <chrono>

namespace sensorsim {

// Real (monotonic) time since the clock was made.
class SystemClock : public SimClock
{
public:
    SystemClock() : m_start(std::chrono::steady_clock::now()) {}

    qint64 nowUs() const override;

private:
    std::chrono::steady_clock::time_point m_start;
};

} // namespace sensorsim
