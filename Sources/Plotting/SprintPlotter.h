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

    // The value labels currently shown for `bars`.
    QVector<QCPItemText*> valueLabels(QCPBars* bars) const;

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
    // Keys (sample numbers) and contact times of the bars for the samples
    // of `window`: one per step where the step times are known, else one
    // per sample.
    void stepsInWindow(Track* track, const Window& window, QVector<double>& keys, QVector<double>& values) const;

    QHash<QCPBars*, QVector<QPointer<QCPItemText>>> m_valueLabels;
};
