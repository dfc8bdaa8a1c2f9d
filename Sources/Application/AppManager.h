#pragma once

#include "Application/App.h"
#include "Application/NavigationItem.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

class AppsModel;
class NavigationItemsModel;

// Finds the apps in the apps folder once, at start-up, and keeps the
// navigation: the three fixed screens followed by the screens of the app the
// user has selected.
class AppManager : public QObject
{
    Q_OBJECT
public:
    explicit AppManager(QObject* parent = nullptr);

    AppsModel* getAppsModel() const { return m_appsModel; }
    NavigationItemsModel* getNavigationItemsModel() const { return m_navigationItemsModel; }

    Q_INVOKABLE void userSelectedApp(QString Name);

    void EnumerateApps();
    void populateNavigationItems(QString appName);
    QList<NavigationItem> persistenNavigationItems() const;

Q_SIGNALS:
    void AppScreensLoaded();

private:
    QString m_appsPath;
    QList<App> m_apps;
    QList<NavigationItem> m_navigationItems;
    // Apps that share a name share one list of screens.
    QMap<QString, QList<NavigationItem>> m_appScreens;
    AppsModel* m_appsModel = nullptr;
    NavigationItemsModel* m_navigationItemsModel = nullptr;
};
