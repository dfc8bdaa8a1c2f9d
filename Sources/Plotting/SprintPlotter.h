#pragma once

#include "Plotting/TrackPlotter.h"

#include <QHash>
#include <QPointer>
#include <QVector>

class QCPBars;
class QCPItemText;

// Ground-contact times as a bar chart: one bar per step (or per averaged
// measurement), each labelled with its value. The setup name picks the one
// track that matters for the measurement.
class SprintPlotter : public TrackPlotter
{
    Q_OBJECT
public:
    explicit SprintPlotter(QQuickItem* parent = nullptr);

    void AddTrack(Track* track) override;
    QCPAxis* decideYAxis(Track* track) override;

    // The value labels of `bars`, one per bar, hidden ones too.
    QVector<QCPItemText*> valueLabels(QCPBars* bars) const;
    // The room a value label's text wants beside its neighbours.
    static constexpr int kLabelGap = 1;

public Q_SLOTS:
    void updateGraph(uchar trackNumber) override;

protected:
    // Replaces the labels of `bars` with one per current bar.
    void addValueLabels(QCPBars* bars);
    void clearPlot() override;

private:
    bool isStepSeries() const;
    bool isAverageSeries() const;
    void makeRoomForLabels(const QVector<double>& values);
    // Shows the value labels that fit: a label is no wider than its bar's
    // column (the bar and the space to the next one) and keeps clear of
    // the label shown before it. Where the plot's font leaves some out, a
    // smaller one is tried. Done after every layout, so a resize
    // shows or hides them; the figures beside the plot hold every value.
    void fitValueLabels();
    // Keys (sample numbers) and contact times of the bars for the samples
    // of `window`: one per step where the step times are known, else one
    // per sample.
    void stepsInWindow(Track* track, const Window& window, QVector<double>& keys, QVector<double>& values) const;

    QHash<QCPBars*, QVector<QPointer<QCPItemText>>> m_valueLabels;
};
