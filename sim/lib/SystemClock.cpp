#include "SystemClock.h"

namespace sensorsim {

qint64 SystemClock::nowUs() const
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - m_start).count();
}

} // namespace sensorsim
