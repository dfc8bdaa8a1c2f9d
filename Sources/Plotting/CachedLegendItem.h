#pragma once

#include <qcustomplot.h>

#include <QPixmap>

// A legend entry that renders its icon and text once and copies the result
// on every later replot. A live plot replots 25 times a second, and
// laying out the legend's texts each time costs more than drawing a graph.
class CachedLegendItem : public QCPPlottableLegendItem
{
    Q_OBJECT
public:
    CachedLegendItem(QCPLegend* parent, QCPAbstractPlottable* plottable);

protected:
    void draw(QCPPainter* painter) override;

private:
    struct Look {
        QSize size;
        QString name;
        QPen pen;
        QBrush brush;
        QFont font;
        QColor textColour;
        bool operator==(const Look& other) const
        {
            return size == other.size && name == other.name && pen == other.pen && brush == other.brush
                && font == other.font && textColour == other.textColour;
        }
    };

    QPixmap m_cache;
    Look m_look;
};
