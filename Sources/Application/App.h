#pragma once

#include <QString>

// One app found in the apps folder, as its description file names it.
class App
{
public:
    App(QString name, QString icon, QString version, QString basePath);

    QString getDisplayName() const { return m_displayName; }
    QString getBasePath() const { return m_basePath; }
    QString getIconPath() const { return m_iconPath; }
    QString getVersion() const { return m_version; }

private:
    QString m_displayName;
    QString m_basePath;
    QString m_iconPath;
    QString m_version;
};
