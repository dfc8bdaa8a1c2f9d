#include "Plotting/ProgressPlot.h"

#include "Plotting/CachedLegendItem.h"
#include "Plotting/OffscreenPlot.h"

#include <QDate>
#include <QLocale>

#include <cmath>
#include <limits>

namespace {

const QColor kBoth("#1f6feb");
const QColor kLeft("#e36209");
const QColor kRight("#1a7f37");
const QColor kDifference("#c9d3df");
const QColor kGrid("#e3e7ed");
const QColor kText("#1d2733");

// A foot without steps has no mean: a gap in its line, not a 0.
double meanOrGap(const QVariantMap& point, const char* mean, const char* steps)
{
    return point.value(QLatin1String(steps)).toInt() > 0 ? point.value(QLatin1String(mean)).toDouble()
                                                         : std::numeric_limits<double>::quiet_NaN();
}

void styleAxis(QCPAxis* axis)
{
    axis->setBasePen(QPen(kText.lighter(250)));
    axis->setTickPen(QPen(kText.lighter(250)));
    axis->setSubTickPen(QPen(kText.lighter(250)));
    axis->setLabelColor(kText);
    axis->setTickLabelColor(kText);
    axis->grid()->setPen(QPen(kGrid));
    axis->grid()->setZeroLinePen(Qt::NoPen);
}

// A label under each day, or under every second, third... day where the
// axis has no room for all of them.
class DayTicker : public QCPAxisTickerText
{
public:
    // Every day, unless the plot asks for fewer.
    DayTicker() { setTickCount(1000); }

protected:
    QVector<double> createTickVector(double tickStep, const QCPRange& range) override
    {
        const QVector<double> every = QCPAxisTickerText::createTickVector(tickStep, range);
        const int step = int(std::ceil(every.size() / double(qMax(1, tickCount()))));
        if (step <= 1)
            return every;
        QVector<double> some;
        for (int i = 0; i < every.size(); i += step)
            some.append(every.at(i));
        return some;
    }
};

} // namespace

ProgressPlot::ProgressPlot(QQuickItem* parent)
    : PlotItem(parent)
{
    QCustomPlot* plot = m_customPlot;
    plot->setAntialiasedElements(QCP::aePlottables | QCP::aeScatters);
    for (QCPAxis* axis : { plot->xAxis, plot->yAxis, plot->yAxis2 })
        styleAxis(axis);
    plot->yAxis2->setVisible(true);
    plot->yAxis2->grid()->setVisible(false);
    plot->xAxis->grid()->setVisible(false);
    plot->yAxis->setLabel(tr("Ground contact time [ms]"));
    plot->yAxis2->setLabel(tr("Left/right difference [%]"));

    // Bars first: the lines are drawn over them.
    m_difference = new QCPBars(plot->xAxis, plot->yAxis2);
    m_difference->setName(tr("Left/right difference"));
    m_difference->setPen(Qt::NoPen);
    m_difference->setBrush(kDifference);
    m_difference->setWidth(0.5);

    const auto line = [plot](const QString& name, const QColor& colour, double width, QCPScatterStyle::ScatterShape shape,
                             double size) {
        QCPGraph* graph = plot->addGraph(plot->xAxis, plot->yAxis);
        graph->setName(name);
        graph->setPen(QPen(colour, width));
        graph->setScatterStyle(QCPScatterStyle(shape, colour, shape == QCPScatterStyle::ssDisc ? colour : Qt::white, size));
        return graph;
    };
    m_left = line(tr("Left foot"), kLeft, 1.5, QCPScatterStyle::ssCircle, 6);
    m_right = line(tr("Right foot"), kRight, 1.5, QCPScatterStyle::ssSquare, 6);
    m_both = line(tr("Both feet"), kBoth, 2.5, QCPScatterStyle::ssDisc, 8);
    for (QCPAbstractPlottable* plottable : std::initializer_list<QCPAbstractPlottable*> { m_both, m_left, m_right, m_difference })
        plot->legend->addItem(new CachedLegendItem(plot->legend, plottable));
    plot->legend->setBorderPen(Qt::NoPen);
    m_customPlot->setLegendShown(true);
    rebuild();
}

void ProgressPlot::setPoints(const QVariantList& points)
{
    m_points = points;
    rebuild();
    Q_EMIT pointsChanged();
    replotIfShown();
}

void ProgressPlot::rebuild()
{
    QCustomPlot* plot = m_customPlot;
    plot->clearItems();
    QVector<double> keys;
    QVector<double> both;
    QVector<double> left;
    QVector<double> right;
    QVector<double> difference;
    QSharedPointer<QCPAxisTickerText> ticker(new DayTicker);
    double low = std::numeric_limits<double>::max();
    double high = 0;
    double widest = 0;
    // The days a gap apart: each day's sprints from its own start.
    QString day;
    int dayStart = 0;
    double key = -1;
    m_days = 0;
    const QLocale locale;
    const auto labelDay = [&](int end) {
        if (day.isEmpty())
            return;
        const QDate date = QDate::fromString(day, Qt::ISODate);
        const int count = end - dayStart;
        const QString label = locale.toString(date, QStringLiteral("d MMM yyyy")) + QLatin1Char('\n')
            + (count == 1 ? tr("1 sprint") : tr("%1 sprints").arg(count));
        ticker->addTick((keys.at(dayStart) + keys.at(end - 1)) / 2, label);
    };
    for (int i = 0; i < m_points.size(); ++i) {
        const QVariantMap point = m_points.at(i).toMap();
        const QString pointDay = point.value(QStringLiteral("day")).toString();
        if (pointDay != day) {
            labelDay(i);
            if (!day.isEmpty()) {
                // A line between the days.
                auto* separator = new QCPItemStraightLine(plot);
                separator->setPen(QPen(kGrid.darker(115), 1, Qt::DashLine));
                separator->point1->setCoords(key + 1.0, 0);
                separator->point2->setCoords(key + 1.0, 1);
                key += 1.0;
            }
            day = pointDay;
            dayStart = i;
            ++m_days;
        }
        key += 1;
        keys.append(key);
        both.append(point.value(QStringLiteral("bothMs")).toDouble());
        left.append(meanOrGap(point, "leftMs", "leftSteps"));
        right.append(meanOrGap(point, "rightMs", "rightSteps"));
        difference.append(point.value(QStringLiteral("differencePercent")).toDouble());
        for (double value : { both.last(), left.last(), right.last() }) {
            if (std::isnan(value))
                continue;
            low = std::min(low, value);
            high = std::max(high, value);
        }
        widest = std::max(widest, difference.last());
    }
    labelDay(m_points.size());
    m_both->setData(keys, both, true);
    m_left->setData(keys, left, true);
    m_right->setData(keys, right, true);
    m_difference->setData(keys, difference, true);
    plot->xAxis->setTicker(ticker);
    plot->xAxis->setTickLength(0, 4);
    plot->xAxis->setSubTicks(false);
    plot->xAxis->setRange(-0.75, std::max(0.0, key) + 0.75);
    if (keys.isEmpty()) {
        low = 100;
        high = 200;
    }
    // Room of 10 ms around the lines, in whole tens.
    plot->yAxis->setRange(std::floor(low / 10.0) * 10.0 - 10.0, std::ceil(high / 10.0) * 10.0 + 10.0);
    // The bars keep to the lower third, under the lines.
    plot->yAxis2->setRange(0, std::max(10.0, std::ceil(widest * 3.0 / 5.0) * 5.0));
}

void ProgressPlot::shownChanged()
{
    replotIfShown();
}

void ProgressPlot::replotIfShown()
{
    if (!isShown())
        return;
    m_customPlot->arrangeLegend();
    m_customPlot->replot();
}
