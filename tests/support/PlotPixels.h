#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>
#include <QVector>

#include <QList>

class QCustomPlot;
class QQuickItem;
class TrackPlotter;

// Looking at what a plot item actually drew: the item is painted into an
// image the way the scene paints it, and the pixels of one pen colour are
// collected from the plot's data area (the legend, which repeats every pen
// colour, left out).
namespace PlotPixels {

// What paint() puts into the scene, on a white ground.
QImage render(TrackPlotter& plotter);

// The data area of the plot without its legend box.
QRect dataArea(const QCustomPlot& plot);

// Pixels of exactly `colour` inside `area` of `image`, outside `exclude`.
QVector<QPoint> pixelsOf(const QImage& image, const QColor& colour, const QRect& area,
                         const QRect& exclude = QRect());

// Pixels of any saturated colour (the graph pens are; the ground, grid,
// axes and texts are grey) inside `area`, outside `exclude`.
int colouredPixels(const QImage& image, const QRect& area, const QRect& exclude = QRect());

// Writes the image as NAME.png into the folder KORVEX_PLOT_PNG_DIR names,
// when it is set; returns the file written or an empty text.
QString saveIfAsked(const QImage& image, const QString& name);

// The plot items in the scene below `item` (itself included), in the order
// of the item tree.
QList<TrackPlotter*> plottersUnder(QQuickItem* item);

} // namespace PlotPixels
