#include "PlotPixels.h"

#include "Plotting/TrackPlotter.h"

#include <QDir>
#include <QPainter>
#include <QQuickItem>
#include "QCustomPlotHeader.h"

namespace PlotPixels {

QImage render(TrackPlotter& plotter)
{
    QImage image(qMax(1, int(plotter.width())), qMax(1, int(plotter.height())), QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    plotter.paint(&painter);
    painter.end();
    return image;
}

QRect dataArea(const QCustomPlot& plot)
{
    return plot.axisRect()->rect();
}

QVector<QPoint> pixelsOf(const QImage& image, const QColor& colour, const QRect& area, const QRect& exclude)
{
    QVector<QPoint> found;
    const QRect inside = area.intersected(image.rect());
    const QRgb wanted = colour.rgb();
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            if ((image.pixel(x, y) & 0xFFFFFF) == (wanted & 0xFFFFFF) && !exclude.contains(x, y))
                found.append(QPoint(x, y));
        }
    }
    return found;
}

int colouredPixels(const QImage& image, const QRect& area, const QRect& exclude)
{
    int count = 0;
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            if (QColor(image.pixel(x, y)).hslSaturation() > 40 && !exclude.contains(x, y))
                ++count;
        }
    }
    return count;
}

QString saveIfAsked(const QImage& image, const QString& name)
{
    const QString folder = qEnvironmentVariable("KORVEX_PLOT_PNG_DIR");
    if (folder.isEmpty() || !QDir().mkpath(folder))
        return QString();
    const QString path = QDir(folder).filePath(name + QStringLiteral(".png"));
    return image.save(path, "PNG") ? path : QString();
}

QList<TrackPlotter*> plottersUnder(QQuickItem* item)
{
    QList<TrackPlotter*> found;
    if (item == nullptr)
        return found;
    if (auto* plotter = qobject_cast<TrackPlotter*>(item))
        found.append(plotter);
    const QList<QQuickItem*> children = item->childItems();
    for (QQuickItem* child : children)
        found += plottersUnder(child);
    return found;
}

} // namespace PlotPixels
