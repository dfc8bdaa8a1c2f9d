#pragma once

#include <QtGlobal>

namespace sensorsim {

// Where a simulated sensor takes its time from, in microseconds. Tests use a
// ManualClock and advance it explicitly; the pseudo-terminal server and
// in-process links that run in real time use a SystemClock.
class SimClock
{
public:
    virtual ~SimClock() = default;
    virtual qint64 nowUs() const = 0;
};

} // namespace sensorsim
