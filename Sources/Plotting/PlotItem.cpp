#include "Plotting/PlotItem.h"

#include "Log/LogCategories.h"
#include "Plotting/OffscreenPlot.h"

#include <QCoreApplication>
#include <QDebug>
#include <QMouseEvent>
#include <QPainter>
#include <QQuickWindow>

PlotItem::PlotItem(QQuickItem* parent)
    : QQuickPaintedItem(parent)
    , m_customPlot(new OffscreenPlot())
{
    m_customPlot->setNotAntialiasedElements(QCP::aeAll);
    setFlag(ItemHasContents, true);
    setAcceptedMouseButtons(Qt::AllButtons);
    connect(m_customPlot, &QCustomPlot::afterReplot, this, &PlotItem::onCustomReplot);
    connect(this, &QQuickItem::widthChanged, this, &PlotItem::updateCustomPlotSize);
    connect(this, &QQuickItem::heightChanged, this, &PlotItem::updateCustomPlotSize);
    updateCustomPlotSize();
}

PlotItem::~PlotItem()
{
    disconnect(m_customPlot, nullptr, this, nullptr);
    delete m_customPlot;
    m_customPlot = nullptr;
}

QCustomPlot* PlotItem::customPlot() const
{
    return m_customPlot;
}

bool PlotItem::isShown() const
{
    return window() != nullptr && isVisible() && int(width()) >= 1 && int(height()) >= 1;
}

void PlotItem::paint(QPainter* painter)
{
    if (painter == nullptr || m_frame.isNull() || int(width()) < 1 || int(height()) < 1)
        return;
    painter->drawPixmap(0, 0, m_frame);
}

void PlotItem::itemChange(ItemChange change, const ItemChangeData& value)
{
    QQuickPaintedItem::itemChange(change, value);
    if (change != ItemSceneChange && change != ItemVisibleHasChanged)
        return;
    const bool shown = isShown();
    if (shown == m_wasShown)
        return;
    m_wasShown = shown;
    shownChanged();
}

void PlotItem::onCustomReplot()
{
    // The frame is taken here, on the thread that owns the plot; paint()
    // may run on the scene's render thread and only copies it.
    if (!m_customPlot->copyLastFrame(m_frame))
        m_frame = QPixmap();
    update();
}

void PlotItem::updateCustomPlotSize()
{
    const int w = qMax(0, int(width()));
    const int h = qMax(0, int(height()));
    // The plot is never shown, so it gets no resize event to take its
    // viewport from. It never gets an empty one either: a replot the plot
    // queued for itself would paint into buffers of no size.
    m_customPlot->setGeometry(0, 0, qMax(1, w), qMax(1, h));
    m_customPlot->setViewport(QRect(0, 0, qMax(1, w), qMax(1, h)));
    m_customPlot->arrangeLegend();
    m_layoutStale = true;
    if (w <= 0 || h <= 0)
        m_frame = QPixmap();
    const bool shown = isShown();
    if (shown || m_wasShown) {
        m_wasShown = shown;
        shownChanged();
    }
}

void PlotItem::forwardMouseEvent(QMouseEvent* event)
{
    QCoreApplication::postEvent(m_customPlot, new QMouseEvent(event->type(), event->localPos(), event->button(),
                                                              event->buttons(), event->modifiers()));
}

void PlotItem::mousePressEvent(QMouseEvent* event)
{
    qCDebug(lcPlotting) << Q_FUNC_INFO;
    forwardMouseEvent(event);
}

void PlotItem::mouseMoveEvent(QMouseEvent* event)
{
    forwardMouseEvent(event);
}

void PlotItem::mouseReleaseEvent(QMouseEvent* event)
{
    qCDebug(lcPlotting) << Q_FUNC_INFO;
    forwardMouseEvent(event);
}

void PlotItem::mouseDoubleClickEvent(QMouseEvent* event)
{
    qCDebug(lcPlotting) << Q_FUNC_INFO;
    forwardMouseEvent(event);
}
