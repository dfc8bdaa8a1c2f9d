#pragma once

#include <QVector>
#include <QtGlobal>

class ScalarSampleStore;

// Picks the samples a line graph draws when a window holds more samples
// than the plot has pixel columns: one per column, the one that departs
// most from the point drawn before it, so that a single peak (an impact, a
// spike) survives; plus the window's first and last sample, so that the line
// spans it. Columns are aligned to multiples of the key step, so a sliding
// window keeps its column boundaries: the picture does not shimmer, and the
// columns already closed are kept from one update to the next, so an update
// looks only at the samples that arrived since.
class GraphThinner
{
public:
    // Ascending store indices out of [start, end) to draw, for `columns`
    // columns (at least 1). Valid until the next call.
    const QVector<int>& thin(const ScalarSampleStore& store, int start, int end, int columns);
    void reset() { m_valid = false; }

private:
    bool m_valid = false;
    double m_step = 0.0;
    int m_columns = 0;
    quint64 m_reorderCount = 0;
    // First index of the column still open: closed columns end before it.
    int m_openFrom = 0;
    // The value of the last point chosen for a closed column.
    double m_previous = 0.0;
    // The chosen index of each closed column, ascending; those before
    // m_firstInWindow have left the window.
    QVector<int> m_closed;
    int m_firstInWindow = 0;
    QVector<int> m_result;
};
