#include "Application/AppManager.h"

#include "Application/AppsModel.h"
#include "Application/Helper.h"
#include "Application/NavigationItemsModel.h"
#include "Log/LogCategories.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

constexpr int kFixedItemCount = 3;

} // namespace

AppManager::AppManager(QObject* parent)
    : QObject(parent)
    , m_appsPath(Helper::getContentPath() + QStringLiteral("apps/"))
    , m_appsModel(new AppsModel(this))
    , m_navigationItemsModel(new NavigationItemsModel(this))
{
    m_appsModel->setDataList(&m_apps);
    m_navigationItemsModel->setDataList(&m_navigationItems);
    EnumerateApps();
}

void AppManager::userSelectedApp(QString Name)
{
    qCDebug(lcApp) << " User did select app: " << Name;
    populateNavigationItems(Name);
}

void AppManager::EnumerateApps()
{
    qCDebug(lcApp) << " Scanning for apps in folder: " << m_appsPath;
    // "." and ".." would make a description file lying in the apps folder
    // itself, or in the content folder above it, look like an app.
    const QFileInfoList entries = QDir(m_appsPath).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        const QString folder = entry.absoluteFilePath();
        QFile file(folder + QStringLiteral("/AppInfo.json"));
        // Folders without a description are simply not apps.
        if (!file.open(QIODevice::ReadOnly))
            continue;
        // A description that does not parse still lists the folder, with
        // empty texts, so that a broken app shows up instead of vanishing.
        const QJsonObject info = QJsonDocument::fromJson(file.readAll()).object();
        const QString name = info.value(QStringLiteral("AppName")).toString();
        m_apps.append(App(name, info.value(QStringLiteral("Icon")).toString(),
                          info.value(QStringLiteral("Version")).toString(), folder));

        const QJsonArray screens = info.value(QStringLiteral("Screens")).toArray();
        for (const QJsonValue& value : screens) {
            const QJsonObject screen = value.toObject();
            m_appScreens[name].append(NavigationItem(screen.value(QStringLiteral("DisplayName")).toString(),
                                                     screen.value(QStringLiteral("PageSource")).toString()));
        }
    }
    populateNavigationItems(QString());
}

void AppManager::populateNavigationItems(QString appName)
{
    // Rows go and come one by one through the model, so the scene keeps the
    // fixed entries it already shows instead of rebuilding the whole list.
    if (m_navigationItems.isEmpty())
        m_navigationItemsModel->appendItems(persistenNavigationItems());
    while (m_navigationItems.size() > kFixedItemCount)
        m_navigationItemsModel->removeLast();
    m_navigationItemsModel->appendItems(m_appScreens.value(appName));
    Q_EMIT AppScreensLoaded();
}

QList<NavigationItem> AppManager::persistenNavigationItems() const
{
    return {
        NavigationItem(QStringLiteral("Archive"), QStringLiteral("Basic/Screens/Archive.qml")),
        NavigationItem(QStringLiteral("Users"), QStringLiteral("Basic/Screens/Users.qml")),
        NavigationItem(QStringLiteral("Apps"), QStringLiteral("Basic/Screens/Apps.qml")),
    };
}
