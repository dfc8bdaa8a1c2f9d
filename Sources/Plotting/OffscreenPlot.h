#pragma once

#include <qcustomplot.h>

#include <QPixmap>

// A QCustomPlot that is never shown: the plot items draw it into the scene
// themselves. replot() already renders every layer into the plot's paint
// buffers; copying those buffers is much cheaper than rendering the plot a
// second time through toPainter().
class OffscreenPlot : public QCustomPlot
{
    Q_OBJECT
public:
    explicit OffscreenPlot(QWidget* parent = nullptr);

    // Copies what the last replot() rendered into `frame`, sized to the
    // viewport (reallocated only when the size changed). False when there is
    // nothing to copy (empty viewport, no replot yet).
    bool copyLastFrame(QPixmap& frame);

    // Lays out axes and margins now, so that the size of the data area is
    // known before the next replot.
    void layOut() { updateLayout(); }
};
