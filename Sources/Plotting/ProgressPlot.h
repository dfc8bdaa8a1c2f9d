#pragma once

#include "Plotting/PlotItem.h"

#include <QVariantList>

class QCPBars;
class QCPGraph;

// An athlete's sprints over time: one point per sprint, oldest first, the
// sprints of a day side by side and the days apart. Mean contact time of
// both feet, of the left and of the right foot as lines (left axis, ms);
// the left/right difference as bars (right axis, %).
class ProgressPlot : public PlotItem
{
    Q_OBJECT
    // What MeasurementController::sprintProgress gives.
    Q_PROPERTY(QVariantList points READ points WRITE setPoints NOTIFY pointsChanged)
    // How many days the points fall on.
    Q_PROPERTY(int days READ days NOTIFY pointsChanged)
public:
    explicit ProgressPlot(QQuickItem* parent = nullptr);

    QVariantList points() const { return m_points; }
    void setPoints(const QVariantList& points);
    int days() const { return m_days; }

    QCPGraph* bothGraph() const { return m_both; }
    QCPGraph* leftGraph() const { return m_left; }
    QCPGraph* rightGraph() const { return m_right; }
    QCPBars* differenceBars() const { return m_difference; }

Q_SIGNALS:
    void pointsChanged();

protected:
    void shownChanged() override;

private:
    void rebuild();
    void replotIfShown();

    QVariantList m_points;
    int m_days = 0;
    QCPGraph* m_both = nullptr;
    QCPGraph* m_left = nullptr;
    QCPGraph* m_right = nullptr;
    QCPBars* m_difference = nullptr;
};
