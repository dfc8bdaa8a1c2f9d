#include "Application/NavigationItem.h"

#include <utility>

NavigationItem::NavigationItem(QString displayName, QString path)
    : m_displayName(std::move(displayName))
    , m_path(std::move(path))
{
}
