#include "Plotting/OffscreenPlot.h"

OffscreenPlot::OffscreenPlot(QWidget* parent)
    : QCustomPlot(parent)
{
    // The plot items add legend entries of their own (CachedLegendItem).
    setAutoAddPlottableToLegend(false);
}

bool OffscreenPlot::copyLastFrame(QPixmap& frame)
{
    const QSize size = viewport().size();
    if (size.isEmpty() || mPaintBuffers.isEmpty())
        return false;
    if (frame.size() != size)
        frame = QPixmap(size);
    // The same steps as the widget's own paint event, aimed at the frame.
    QCPPainter painter(&frame);
    if (mBackgroundBrush.style() != Qt::NoBrush)
        painter.fillRect(QRect(QPoint(0, 0), size), mBackgroundBrush);
    else
        frame.fill(Qt::transparent);
    drawBackground(&painter);
    for (const QSharedPointer<QCPAbstractPaintBuffer>& buffer : mPaintBuffers)
        buffer->draw(&painter);
    return true;
}
