#include "Plotting/GraphThinner.h"

#include "Data/ScalarSampleStore.h"

#include <algorithm>
#include <cmath>

namespace {

qint64 columnAt(double key, double step)
{
    return qint64(std::floor(key / step));
}

} // namespace

void GraphThinner::Extremes::take(int index, const ScalarSampleStore& values)
{
    if (low < 0) {
        low = high = index;
        return;
    }
    if (values.valueAt(index) < values.valueAt(low))
        low = index;
    // Of equal values the lowest is the earliest and the highest the latest,
    // so that a flat column is drawn across its whole width.
    if (values.valueAt(index) >= values.valueAt(high))
        high = index;
}

void GraphThinner::Extremes::appendTo(QVector<int>& out) const
{
    if (low < 0)
        return;
    if (low == high) {
        out.append(low);
        return;
    }
    out.append(qMin(low, high));
    out.append(qMax(low, high));
}

void GraphThinner::restart(const ScalarSampleStore& store, int start, double step, int columns)
{
    m_valid = step > 0;
    m_step = step;
    m_columns = columns;
    m_reorderCount = store.reorderCount();
    m_scanned = start;
    m_open = Extremes();
    m_openColumn = 0;
    m_closed.clear();
    m_firstInWindow = 0;
}

const QVector<int>& GraphThinner::thin(const ScalarSampleStore& store, int start, int end, int columns)
{
    m_result.clear();
    if (end <= start || columns < 1)
        return m_result;
    const auto numbers = store.numbers();
    const ScalarSampleStore& values = store;
    const double step = (double(numbers[end - 1]) - double(numbers[start])) / columns;

    // All samples under one key: a single column.
    if (!(step > 0)) {
        m_valid = false;
        Extremes all;
        for (int i = start; i < end; ++i)
            all.take(i, values);
        all.appendTo(m_result);
        return m_result;
    }

    const bool continues = m_valid && step == m_step && columns == m_columns
        && store.reorderCount() == m_reorderCount && m_scanned > start && m_scanned <= end;
    if (!continues)
        restart(store, start, step, columns);

    // New samples: close the open column whenever one begins past it.
    for (int i = m_scanned; i < end; ++i) {
        const qint64 column = columnAt(numbers[i], step);
        if (m_open.low < 0) {
            m_openColumn = column;
        } else if (column != m_openColumn) {
            m_open.appendTo(m_closed);
            m_open = Extremes();
            m_openColumn = column;
        }
        m_open.take(i, values);
    }
    m_scanned = end;

    // The window's first column may have lost samples off its start: it is
    // looked at again, from the start on.
    const qint64 headColumn = columnAt(numbers[start], step);
    Extremes head;
    int afterHead = start;
    while (afterHead < end && columnAt(numbers[afterHead], step) == headColumn)
        head.take(afterHead++, values);
    head.appendTo(m_result);

    while (m_firstInWindow < m_closed.size() && m_closed[m_firstInWindow] < afterHead)
        ++m_firstInWindow;
    if (m_firstInWindow > 256 && m_firstInWindow > m_closed.size() / 2) {
        m_closed.remove(0, m_firstInWindow);
        m_firstInWindow = 0;
    }
    const int closed = m_closed.size() - m_firstInWindow;
    const int before = m_result.size();
    m_result.resize(before + closed);
    std::copy_n(m_closed.constData() + m_firstInWindow, closed, m_result.data() + before);
    if (m_openColumn != headColumn)
        m_open.appendTo(m_result);
    return m_result;
}
