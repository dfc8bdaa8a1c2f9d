#pragma once

#include <QQuickItem>
#include <QQuickWindow>

#include <memory>

// A window for plot items under test: a plot works only while a window
// shows it. The window itself need not be on screen.
class PlotStage
{
public:
    PlotStage()
        : m_window(std::make_unique<QQuickWindow>())
    {
        m_window->resize(1600, 1000);
    }

    template <class Item>
    Item* hold(Item* item)
    {
        if (item != nullptr)
            item->setParentItem(m_window->contentItem());
        return item;
    }
    template <class Item>
    Item& hold(Item& item)
    {
        return *hold(&item);
    }

    QQuickWindow* window() const { return m_window.get(); }

private:
    std::unique_ptr<QQuickWindow> m_window;
};
