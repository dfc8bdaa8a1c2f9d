#include "TickLabels.h"

#include "QCustomPlotHeader.h"

#include <QFontMetricsF>
#include <QPixmap>
#include <QRectF>
#include <QVector>

namespace TickLabels {

QString texts(const QCPAxis& axis)
{
    QStringList shown;
    for (const QString& label : axis.tickVectorLabels())
        shown << QString(label).replace(QLatin1Char('\n'), QLatin1Char('|'));
    return shown.join(QLatin1Char(' '));
}

namespace {

QVector<QRectF> rects(const QCPAxis& axis)
{
    // Measured on a pixmap, as the plot draws its picture.
    const QPixmap device(1, 1);
    const QFontMetricsF metrics(axis.tickLabelFont(), &device);
    const QVector<double> ticks = axis.tickVector();
    const QVector<QString> labels = axis.tickVectorLabels();
    QVector<QRectF> found;
    for (int i = 0; i < ticks.size() && i < labels.size(); ++i) {
        const QSizeF size = metrics.boundingRect(QRectF(), Qt::AlignCenter, labels.at(i)).size();
        const double at = axis.coordToPixel(ticks.at(i));
        QRectF rect(QPointF(0, 0), size);
        if (axis.orientation() == Qt::Vertical)
            rect.moveCenter(QPointF(size.width() / 2, at));
        else
            rect.moveCenter(QPointF(at, size.height() / 2));
        found.append(rect);
    }
    return found;
}

} // namespace

QStringList crowded(const QCPAxis& axis)
{
    const QVector<QRectF> found = rects(axis);
    const QVector<QString> labels = axis.tickVectorLabels();
    QStringList pairs;
    for (int i = 1; i < found.size(); ++i) {
        // Touching counts: labels without a pixel between them read as one.
        const QRectF grown = found.at(i - 1).adjusted(-0.5, -0.5, 0.5, 0.5);
        if (grown.intersects(found.at(i)))
            pairs << labels.at(i - 1) + QStringLiteral(" / ") + labels.at(i);
    }
    return pairs;
}

} // namespace TickLabels
