#include "Plotting/GraphThinner.h"

#include "Data/ScalarSampleStore.h"

#include <cmath>

const QVector<int>& GraphThinner::thin(const ScalarSampleStore& store, int start, int end, int columns)
{
    if (end <= start || columns < 1) {
        m_result.clear();
        return m_result;
    }
    const quint32* numbers = store.numbers().data();
    const double* values = store.values().data();
    const int last = end - 1;
    const double step = (double(numbers[last]) - double(numbers[start])) / columns;

    const bool continues = m_valid && step == m_step && columns == m_columns
        && store.reorderCount() == m_reorderCount && m_openFrom > start && m_openFrom <= last;
    if (!continues) {
        m_valid = step > 0;
        m_step = step;
        m_columns = columns;
        m_reorderCount = store.reorderCount();
        m_openFrom = start + 1;
        m_previous = values[start];
        m_closed.clear();
        m_firstInWindow = 0;
    }

    int chosen = -1;
    if (m_valid) {
        double boundary = (std::floor(numbers[m_openFrom] / step) + 1.0) * step;
        double departure = -1.0;
        for (int i = m_openFrom; i < last; ++i) {
            const double key = numbers[i];
            if (key >= boundary) {
                if (chosen >= 0) {
                    m_closed.append(chosen);
                    m_previous = values[chosen];
                }
                m_openFrom = i;
                boundary = (std::floor(key / step) + 1.0) * step;
                chosen = -1;
                departure = -1.0;
            }
            const double d = std::fabs(values[i] - m_previous);
            if (d > departure) {
                departure = d;
                chosen = i;
            }
        }
    }

    while (m_firstInWindow < m_closed.size() && m_closed[m_firstInWindow] <= start)
        ++m_firstInWindow;
    if (m_firstInWindow > 256 && m_firstInWindow > m_closed.size() / 2) {
        m_closed.remove(0, m_firstInWindow);
        m_firstInWindow = 0;
    }

    const int closed = m_closed.size() - m_firstInWindow;
    m_result.resize(1 + closed + (chosen >= 0 ? 1 : 0) + (last != start ? 1 : 0));
    int* out = m_result.data();
    *out++ = start;
    const int* from = m_closed.constData() + m_firstInWindow;
    for (int i = 0; i < closed; ++i)
        *out++ = from[i];
    if (chosen >= 0)
        *out++ = chosen;
    if (last != start)
        *out++ = last;
    return m_result;
}
