#pragma once

#include <qcustomplot.h>

#include <QPixmap>

// A QCustomPlot that is never shown: the plot items draw it into the scene
// themselves. replot() already renders every layer into the plot's paint
// buffer; the frame the scene shows is that buffer itself.
//
// All layers share one buffer, and it is cleared to the plot's ground
// instead of to transparency, so the buffer is the finished picture: no
// second pass blends layers onto a ground, and a frame costs no copy.
class OffscreenPlot : public QCustomPlot
{
    Q_OBJECT
public:
    explicit OffscreenPlot(QWidget* parent = nullptr);

    // Hands what the last replot() rendered to `frame`: the buffer itself
    // where it is the whole picture, else a copy sized to the viewport. False
    // when there is nothing to hand (empty viewport, no replot yet).
    bool copyLastFrame(QPixmap& frame);

    // Lays out axes and margins now, so that the size of the data area is
    // known before the next replot.
    void layOut() { updateLayout(); }

    // The colour the picture is painted on, when it is one plain colour.
    bool plainGround(QColor& colour) const;

    // Shows the legend where it hides no sample: in a column of its own
    // right of the data, or, where the plot is too narrow for that, in rows
    // below it; or hides it and gives the data its room. A plot too small
    // for either shows it over the data.
    void setLegendShown(bool shown);
    // Puts the legend where the plot's width has room for it; after a resize.
    void arrangeLegend();

private:
    bool m_legendShown = false;
    // The column right of the data area: the legend at its top.
    QCPLayoutGrid* m_legendColumn = nullptr;
    // The row below the data area.
    QCPLayoutGrid* m_legendRow = nullptr;
};
