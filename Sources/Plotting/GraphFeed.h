#pragma once

#include "Plotting/GraphThinner.h"

#include <QtGlobal>

class QCPGraph;
class ScalarSampleStore;

// The range of a sample store a plottable shows, so that an update whose
// window holds the same samples changes nothing and costs no replot.
struct SampleWindow {
    bool valid = false;
    quint64 reorderCount = 0;
    int start = 0;
    int end = 0;
    // Pixel columns the samples were thinned to; 0 when all are shown.
    int columns = 0;

    bool sameAs(const SampleWindow& other) const
    {
        return valid && other.valid && reorderCount == other.reorderCount && start == other.start
            && end == other.end && columns == other.columns;
    }
};

// Feeds a line graph from a window of a sample store: thinned to the range
// of every pixel column when the window holds more samples than the graph
// has columns, else sample by sample, extending the graph where the window
// only slid on.
class GraphFeed
{
public:
    // Brings `graph` to the samples [wanted.start, wanted.end) of `store`
    // for a data area `columns` pixels wide; false when it already shows them.
    bool sync(QCPGraph* graph, const ScalarSampleStore& store, SampleWindow wanted, int columns);

    SampleWindow& window() { return m_window; }
    const SampleWindow& window() const { return m_window; }

private:
    SampleWindow m_window;
    GraphThinner m_thinner;
};
