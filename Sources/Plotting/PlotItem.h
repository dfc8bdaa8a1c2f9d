#pragma once

#include <QPixmap>
#include <QQuickPaintedItem>

class OffscreenPlot;
class QCustomPlot;

// A scene item that shows an off-screen QCustomPlot: the plot is sized to
// the item, rendered on its own thread and copied into the scene as a frame;
// mouse events are passed on to it.
//
// An item the scene does not show (no window, hidden, or without an area)
// should cost nothing: the plots built on this one ask isShown() before they
// do any work, and hear through shownChanged() when to catch up.
class PlotItem : public QQuickPaintedItem
{
    Q_OBJECT
public:
    explicit PlotItem(QQuickItem* parent = nullptr);
    ~PlotItem() override;

    QCustomPlot* customPlot() const;
    // The last frame drawn (what paint() copies into the scene).
    QPixmap lastFrame() const { return m_frame; }
    // In a window, visible there, and at least a pixel wide and high.
    bool isShown() const;

    void paint(QPainter* painter) override;

protected:
    // The item was shown or hidden, or it was resized while shown.
    virtual void shownChanged() {}

    void itemChange(ItemChange change, const ItemChangeData& value) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

    OffscreenPlot* m_customPlot = nullptr;
    // The data area's width, which graphs are thinned to, is known only after
    // a layout.
    bool m_layoutStale = true;

private Q_SLOTS:
    void onCustomReplot();
    void updateCustomPlotSize();

private:
    void forwardMouseEvent(QMouseEvent* event);

    QPixmap m_frame;
    bool m_wasShown = false;
};
