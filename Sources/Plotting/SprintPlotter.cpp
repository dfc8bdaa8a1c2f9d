#include "Plotting/SprintPlotter.h"

#include "Data/StepSeries.h"
#include "Data/Track.h"
#include "Data/TrackList.h"
#include "Log/LogCategories.h"
#include "Plotting/OffscreenPlot.h"

#include <QDebug>
#include <QFont>
#include <QFontMetrics>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace {

// Room above the highest bar for its label, in value units: the label's
// centre stands 10 above the bar.
constexpr double kLabelRoom = 25.0;

// Asks the averaged series' ticker for a tick at every position; the plot
// gives it fewer where the labels would crowd.
constexpr int kEveryPosition = 1000;

// Value labels that do not fit their bars are tried this much smaller.
constexpr double kSmallLabelScale = 0.8;

} // namespace

SprintPlotter::SprintPlotter(QQuickItem* parent)
    : TrackPlotter(parent)
{
    qCDebug(lcPlotting) << " setup SprintPlotter ";
    m_autoXRange = false;
    connect(m_customPlot, &QCustomPlot::afterLayout, this, &SprintPlotter::fitValueLabels);
}

bool SprintPlotter::isStepSeries() const
{
    return getSetupName().contains(QLatin1String("Sprint 1kHz")) || getSetupName().contains(QLatin1String("GCT import"));
}

bool SprintPlotter::isAverageSeries() const
{
    return getSetupName().contains(QLatin1String("GCT average"));
}

QCPAxis* SprintPlotter::decideYAxis(Track* track)
{
    QCPAxis* axis = m_customPlot->yAxis;
    axis->setVisible(true);
    addUnitToLabel(axis, track->getUnit());
    return axis;
}

void SprintPlotter::AddTrack(Track* track)
{
    if (track == nullptr)
        return;
    const QString setup = getSetupName();
    if ((setup.contains(QLatin1String("Sprint 1kHz")) || setup.contains(QLatin1String("GCT import ")))
        && track->getTrackId() != Track::GroundContactTime)
        return;
    if (isAverageSeries()) {
        if (track->getTrackId() != Track::GctFeedback)
            return;
        // One bar per averaged measurement, at whole positions: a tick at
        // each, or at every second, fifth... where they do not fit.
        QSharedPointer<QCPAxisTickerFixed> ticker(new QCPAxisTickerFixed);
        ticker->setTickStep(1.0);
        ticker->setScaleStrategy(QCPAxisTickerFixed::ssMultiples);
        ticker->setTickCount(kEveryPosition);
        m_customPlot->xAxis->setTicker(ticker);
    }

    if (track->getType() == Track::VectorTrack) {
        addEntry(track, nullptr);
        return;
    }
    if (track->getType() != Track::ScalarTrack)
        return;
    if (isStepSeries()) {
        // Steps are counted: ticks at whole steps only, as many as fit.
        QSharedPointer<QCPAxisTickerFixed> ticker(new QCPAxisTickerFixed);
        ticker->setTickStep(1.0);
        ticker->setScaleStrategy(QCPAxisTickerFixed::ssMultiples);
        m_customPlot->xAxis->setTicker(ticker);
    }
    QCPAxis* axis = decideYAxis(track);
    QCPRange range = axis->range();
    // Bars register with the plot they are made on.
    auto* bars = new QCPBars(m_customPlot->xAxis, axis);
    bars->setName(track->getLabel());
    addToLegend(bars);
    addEntry(track, bars);
    range.expand(track->getMinY());
    range.expand(track->getMaxY());
    axis->setRange(range);
}

void SprintPlotter::updateGraph(uchar trackNumber)
{
    Track* track = trackAt(trackNumber);
    QCPAbstractPlottable* plottable = plottableAt(trackNumber);
    if (track == nullptr || plottable == nullptr)
        return;

    const Window wanted = windowFor(track);
    Window* shown = windowAt(trackNumber);
    if (shown == nullptr || shown->sameAs(wanted))
        return;
    *shown = wanted;

    QVector<double> values;
    QVector<double> keys;
    stepsInWindow(track, wanted, keys, values);
    const int count = values.size();
    double limit = 0.0;
    if (getMode() == Static) {
        if (isStepSeries()) {
            std::iota(keys.begin(), keys.end(), 0.0);
            limit = count + 1;
        }
        if (isAverageSeries() && count > 0)
            limit = std::floor(1.0 + keys.last());
    }

    const QString typeName = QString::fromLatin1(plottable->metaObject()->className());
    if (isVerbose())
        qCDebug(lcPlotting) << " plottable type name is:" << typeName << ".";
    auto* bars = qobject_cast<QCPBars*>(plottable);
    if (typeName.trimmed() == QLatin1String("QCPBars") && bars != nullptr) {
        bars->setData(keys, values, true);
        addValueLabels(bars);
    } else {
        qCDebug(lcPlotting) << " Warnning, tried to cast wrong type to QCPBars";
    }

    if (!keys.isEmpty()) {
        m_minX = keys.first() - 1;
        m_maxX = keys.last() + 1;
        if (isVerbose())
            qCDebug(lcPlotting) << " minXScale: " << m_minX << " maxXScale: " << m_maxX;
        if (m_minX > m_maxX && !std::isinf(m_minX))
            qCDebug(lcPlotting) << " nopenopenope";
    }
    if (getMode() == Live) {
        // Live bars stand at their sample numbers, far from 0: show the
        // window they occupy.
        if (!keys.isEmpty())
            m_customPlot->xAxis->setRange(m_minX, m_maxX);
    } else {
        // A bar at 0 would be cut in half by an axis starting there. A limit
        // of 0 is an empty range, which the axis ignores.
        const double lower = keys.isEmpty() ? 0.0 : qMin(0.0, m_minX);
        m_customPlot->xAxis->setRange(limit > 0 ? lower : 0.0, limit);
    }
    makeRoomForLabels(values);
    markChanged();
}

void SprintPlotter::stepsInWindow(Track* track, const Window& window, QVector<double>& keys,
                                  QVector<double>& values) const
{
    // A sensor repeats a step's contact time in every sample until its next
    // step: with the step times at hand, a bar stands for a step, at its
    // first sample.
    Track* stepTimes = nullptr;
    TrackList* list = getTrackList();
    if (track->getTrackId() == Track::GroundContactTime && list != nullptr
        && list->getTrackOrder().contains(quint16(Track::GroundContactTimeTime)))
        stepTimes = list->getTrackById(Track::GroundContactTimeTime);
    if (stepTimes != nullptr) {
        const std::vector<StepSeries::Step> steps = StepSeries::fromTracks(track, stepTimes, window.start, window.end);
        keys.reserve(int(steps.size()));
        values.reserve(int(steps.size()));
        for (const StepSeries::Step& step : steps) {
            keys.append(double(step.sampleNumber));
            values.append(step.contactMs);
        }
        return;
    }
    const ScalarSampleStore& store = track->scalarSampleStore();
    const int count = qMax(0, window.end - window.start);
    keys.resize(count);
    values.resize(count);
    for (int i = 0; i < count; ++i) {
        values[i] = store.valueAt(window.start + i);
        keys[i] = double(store.numberAt(window.start + i));
    }
}

void SprintPlotter::makeRoomForLabels(const QVector<double>& values)
{
    if (values.isEmpty())
        return;
    // Values above the track's usual range would be cut off, and a label
    // stands above its bar.
    const double highest = *std::max_element(values.begin(), values.end());
    QCPAxis* axis = m_customPlot->yAxis;
    if (highest + kLabelRoom > axis->range().upper)
        axis->setRangeUpper(highest + kLabelRoom);
}

void SprintPlotter::addValueLabels(QCPBars* bars)
{
    if (bars == nullptr)
        return;
    if (isVerbose())
        qCDebug(lcPlotting) << " Sprintplot iterator";
    // The labels of the last update are moved and re-texted; only the
    // missing ones are made and only the extra ones removed.
    QVector<QPointer<QCPItemText>>& labels = m_valueLabels[bars];
    labels.erase(std::remove_if(labels.begin(), labels.end(),
                                [](const QPointer<QCPItemText>& label) { return label.isNull(); }),
                 labels.end());
    const QSharedPointer<QCPBarsDataContainer> data = bars->data();
    const int wanted = data->size();
    while (labels.size() > wanted) {
        m_customPlot->removeItem(labels.last().data());
        labels.removeLast();
    }
    while (labels.size() < wanted) {
        auto* label = new QCPItemText(m_customPlot);
        label->setClipToAxisRect(false);
        label->position->setType(QCPItemPosition::ptPlotCoords);
        label->position->setAxes(m_customPlot->xAxis, m_customPlot->yAxis);
        labels.append(label);
    }
    int index = 0;
    for (auto it = data->constBegin(); it != data->constEnd(); ++it, ++index) {
        QCPItemText* label = labels[index].data();
        label->position->setCoords(std::trunc(it->key), it->value + 10);
        const QString text = QString::number(std::round(it->value), 'g', 6);
        if (label->text() != text)
            label->setText(text);
    }
}

void SprintPlotter::fitValueLabels()
{
    QCPAxis* keys = m_customPlot->xAxis;
    // The labels are set in the plot's font where every one fits so, else
    // a size smaller; those that fit neither are hidden.
    const QFont full = m_customPlot->font();
    QFont small = full;
    if (full.pointSizeF() > 0)
        small.setPointSizeF(full.pointSizeF() * kSmallLabelScale);
    else
        small.setPixelSize(qMax(1, qRound(full.pixelSize() * kSmallLabelScale)));
    for (auto it = m_valueLabels.constBegin(); it != m_valueLabels.constEnd(); ++it) {
        QCPBars* bars = it.key();
        if (!m_customPlot->hasPlottable(bars))
            continue;
        // A bar's column: one key wide, the bar in its middle.
        const double column = qAbs(keys->coordToPixel(1.0) - keys->coordToPixel(0.0));
        double barWidth = bars->width();
        if (bars->widthType() == QCPBars::wtPlotCoords)
            barWidth *= column;
        else if (bars->widthType() == QCPBars::wtAxisRectRatio)
            barWidth *= m_customPlot->axisRect()->width();
        const double room = qMax(barWidth, column - kLabelGap);
        // Which labels fit in `font`, in the order of the bars.
        const auto fitting = [&](const QFont& font) {
            const QFontMetricsF metrics = m_customPlot->pictureFontMetrics(font);
            QVector<bool> fits;
            double lastRight = -std::numeric_limits<double>::infinity();
            for (const QPointer<QCPItemText>& label : it.value()) {
                const double width = label.isNull() ? 0.0 : metrics.horizontalAdvance(label->text());
                const double centre = label.isNull() ? 0.0 : keys->coordToPixel(label->position->coords().x());
                fits.append(!label.isNull() && width <= room && centre - width / 2 >= lastRight + kLabelGap);
                if (fits.last())
                    lastRight = centre + width / 2;
            }
            return fits;
        };
        QVector<bool> fits = fitting(full);
        const QFont* font = &full;
        if (fits.contains(false)) {
            fits = fitting(small);
            font = &small;
        }
        for (int i = 0; i < it.value().size(); ++i) {
            QCPItemText* label = it.value().at(i).data();
            if (label == nullptr)
                continue;
            if (label->font() != *font)
                label->setFont(*font);
            if (label->visible() != fits.at(i))
                label->setVisible(fits.at(i));
        }
    }
}

QVector<QCPItemText*> SprintPlotter::valueLabels(QCPBars* bars) const
{
    QVector<QCPItemText*> result;
    for (const QPointer<QCPItemText>& label : m_valueLabels.value(bars)) {
        if (!label.isNull())
            result.append(label.data());
    }
    return result;
}

void SprintPlotter::clearPlot()
{
    TrackPlotter::clearPlot();
    m_valueLabels.clear();
}
