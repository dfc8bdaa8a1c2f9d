#pragma once

#include <QVector>
#include <QtGlobal>

class ScalarSampleStore;

// Picks the samples a line graph draws when a window holds more samples
// than the plot has pixel columns: in every column its lowest and its
// highest sample, in key order (one point where they are the same sample),
// so that the line drawn through them covers exactly the range of the
// column's samples. No peak of either sign is lost, however the samples
// around it lie.
//
// Columns are aligned to multiples of the key step, so a sliding window
// keeps its column boundaries: the picture does not shimmer, and the columns
// already closed are kept from one update to the next, so an update looks
// only at the samples that arrived since (and at the first column, which the
// window's start may cut).
class GraphThinner
{
public:
    // Ascending store indices out of [start, end) to draw, for `columns`
    // columns (at least 1). Valid until the next call.
    const QVector<int>& thin(const ScalarSampleStore& store, int start, int end, int columns);
    void reset() { m_valid = false; }

private:
    // The lowest and highest sample of a run of samples.
    struct Extremes {
        int low = -1;
        int high = -1;
        void take(int index, const ScalarSampleStore& values);
        // Appends the one or two indices in ascending order.
        void appendTo(QVector<int>& out) const;
    };

    void restart(const ScalarSampleStore& store, int start, double step, int columns);

    bool m_valid = false;
    double m_step = 0.0;
    int m_columns = 0;
    quint64 m_reorderCount = 0;
    // Samples before this index have been looked at.
    int m_scanned = 0;
    // The column still open, and the extremes of its samples so far.
    qint64 m_openColumn = 0;
    Extremes m_open;
    // The extremes of every closed column, ascending; those before
    // m_firstInWindow have left the window.
    QVector<int> m_closed;
    int m_firstInWindow = 0;
    QVector<int> m_result;
};
