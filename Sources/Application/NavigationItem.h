#pragma once

#include <QString>

// One entry of the scene's navigation: a caption and the page it opens.
class NavigationItem
{
public:
    NavigationItem(QString displayName, QString path);

    QString getDisplayName() const { return m_displayName; }
    QString getPath() const { return m_path; }

private:
    QString m_displayName;
    QString m_path;
};
