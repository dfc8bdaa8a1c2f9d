#include "Application/App.h"

#include <utility>

App::App(QString name, QString icon, QString version, QString basePath)
    : m_displayName(std::move(name))
    , m_basePath(std::move(basePath))
    , m_iconPath(std::move(icon))
    , m_version(std::move(version))
{
}
