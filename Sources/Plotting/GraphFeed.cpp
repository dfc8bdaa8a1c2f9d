#include "Plotting/GraphFeed.h"

#include "Data/ScalarSampleStore.h"

#include <qcustomplot.h>

namespace {

QCPGraphData pointAt(const ScalarSampleStore& store, int index)
{
    return QCPGraphData(double(store.numberAt(index)), store.valueAt(index));
}

} // namespace

bool GraphFeed::sync(QCPGraph* graph, const ScalarSampleStore& store, SampleWindow wanted, int columns)
{
    SampleWindow& shown = m_window;
    const int count = wanted.end - wanted.start;
    // Several samples in one pixel column cannot be told apart; drawing them
    // all is what a replot spends its time on.
    wanted.columns = columns > 0 && count > columns ? columns : 0;
    if (shown.sameAs(wanted))
        return false;
    QSharedPointer<QCPGraphDataContainer> data = graph->data();
    if (count <= 0) {
        data->clear();
    } else if (wanted.columns > 0) {
        const QVector<int>& chosen = m_thinner.thin(store, wanted.start, wanted.end, wanted.columns);
        QVector<QCPGraphData> points(chosen.size());
        QCPGraphData* out = points.data();
        for (int i : chosen)
            *out++ = pointAt(store, i);
        data->set(points, true);
    } else if (shown.valid && shown.columns == 0 && shown.reorderCount == wanted.reorderCount
               && wanted.start >= shown.start && wanted.end >= shown.end && wanted.start <= shown.end) {
        // A live window mostly slides by a few samples: drop the oldest
        // points and append the new ones instead of rebuilding them all.
        if (wanted.start > shown.start)
            data->removeBefore(double(store.numberAt(wanted.start)));
        if (wanted.end > shown.end) {
            QVector<QCPGraphData> points;
            points.reserve(wanted.end - shown.end);
            for (int i = shown.end; i < wanted.end; ++i)
                points.append(pointAt(store, i));
            data->add(points, true);
        }
    } else {
        QVector<QCPGraphData> points;
        points.reserve(count);
        for (int i = wanted.start; i < wanted.end; ++i)
            points.append(pointAt(store, i));
        data->set(points, true);
    }
    shown = wanted;
    return true;
}
