#include "Plotting/CachedLegendItem.h"

CachedLegendItem::CachedLegendItem(QCPLegend* parent, QCPAbstractPlottable* plottable)
    : QCPPlottableLegendItem(parent, plottable)
{
}

void CachedLegendItem::draw(QCPPainter* painter)
{
    if (mPlottable == nullptr || mRect.isEmpty())
        return;
    const Look look{mRect.size(), mPlottable->name(), mPlottable->pen(), mPlottable->brush(), getFont(),
                    getTextColor()};
    if (m_cache.isNull() || !(look == m_look)) {
        m_look = look;
        m_cache = QPixmap(mRect.size());
        m_cache.fill(Qt::transparent);
        QCPPainter cachePainter(&m_cache);
        cachePainter.setAntialiasing(painter->antialiasing());
        cachePainter.translate(-mRect.topLeft());
        QCPPlottableLegendItem::draw(&cachePainter);
    }
    painter->drawPixmap(mRect.topLeft(), m_cache);
}
