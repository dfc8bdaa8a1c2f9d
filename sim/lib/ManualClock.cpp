#include "ManualClock.h"

namespace sensorsim {

void ManualClock::advanceUs(qint64 us)
{
    if (us > 0)
        m_nowUs += us;
}

void ManualClock::setUs(qint64 us)
{
    if (us > m_nowUs)
        m_nowUs = us;
}

} // namespace sensorsim
