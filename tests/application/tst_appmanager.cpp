#include "Application/AppManager.h"
#include "Application/AppsModel.h"
#include "Application/NavigationItemsModel.h"

#include "TemporaryStorage.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

// Screens are given as caption, page, caption, page, ...
QByteArray appInfo(const QString& name, const QStringList& screens = {})
{
    QJsonArray list;
    for (int i = 0; i + 1 < screens.size(); i += 2)
        list.append(QJsonObject{{"DisplayName", screens.at(i)}, {"PageSource", screens.at(i + 1)}});
    return QJsonDocument(QJsonObject{{"AppName", name}, {"Icon", QString(name + "/icon.png")},
                                     {"Version", QString("1.0")}, {"Screens", QJsonValue(list)}})
        .toJson();
}

// One text per row ("value | value"), read by role name as the scene reads it.
QStringList rowsOf(const QAbstractItemModel* model, const QList<QByteArray>& roles)
{
    QStringList rows;
    for (int r = 0; r < model->rowCount(); ++r) {
        QStringList values;
        for (const QByteArray& role : roles)
            values.append(model->data(model->index(r, 0), model->roleNames().key(role, -1)).toString());
        rows.append(values.join(" | "));
    }
    return rows;
}

QStringList navigation(const AppManager& manager)
{
    return rowsOf(manager.getNavigationItemsModel(), {"DisplayName", "PageSource"});
}

QStringList apps(const AppManager& manager)
{
    return rowsOf(manager.getAppsModel(), {"DisplayName", "BasePath", "IconPath"});
}

const QStringList kFixed = {"Archive | Basic/Screens/Archive.qml", "Users | Basic/Screens/Users.qml",
                            "Apps | Basic/Screens/Apps.qml"};

} // namespace

class TestAppManager : public QObject
{
    Q_OBJECT
    std::unique_ptr<TemporaryStorage> m_storage;

    // Writes folder/AppInfo.json (folder relative to the storage base) and
    // returns the folder's absolute path.
    QString write(const QString& folder, const QByteArray& content)
    {
        const QString path = m_storage->path() + "/" + folder;
        QDir().mkpath(path);
        QFile file(path + "/AppInfo.json");
        if (file.open(QIODevice::WriteOnly))
            file.write(content);
        return QDir(path).absolutePath();
    }

private Q_SLOTS:
    void init() { m_storage.reset(new TemporaryStorage); }
    void cleanup() { m_storage.reset(); }

    void selectingAnAppShowsOnlyItsScreensAfterTheFixedOnes()
    {
        const QString sprint = write("content/apps/Sprint", appInfo("Sprint", {"Run", "run.qml", "Result", "result.qml"}));
        const QString jump = write("content/apps/Jump", appInfo("Jump", {"Jump", "jump.qml"}));
        QDir().mkpath(m_storage->path() + "/content/apps/NoDescription");

        AppManager manager(nullptr);
        QAbstractItemModelTester appsTester(manager.getAppsModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QAbstractItemModelTester navTester(manager.getNavigationItemsModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(apps(manager), QStringList({"Jump | " + jump + " | Jump/icon.png", "Sprint | " + sprint + " | Sprint/icon.png"}));
        QCOMPARE(navigation(manager), kFixed);

        QSignalSpy loaded(&manager, &AppManager::AppScreensLoaded);
        manager.userSelectedApp("Sprint");
        QCOMPARE(navigation(manager), kFixed + QStringList({"Run | run.qml", "Result | result.qml"}));
        manager.userSelectedApp("Jump");
        QCOMPARE(navigation(manager), kFixed + QStringList({"Jump | jump.qml"}));
        QCOMPARE(loaded.count(), 2);

        manager.userSelectedApp("Nobody");
        QCOMPARE(navigation(manager), kFixed);
        QCOMPARE(loaded.count(), 3);

        // Both are lists: no row has rows or columns of its own.
        for (QAbstractItemModel* model : std::initializer_list<QAbstractItemModel*>{
                 manager.getAppsModel(), manager.getNavigationItemsModel()}) {
            QCOMPARE(model->rowCount(model->index(0, 0)), 0);
            QCOMPARE(model->columnCount(model->index(0, 0)), 0);
        }
    }

    void unreadableDescriptionsListTheAppWithEmptyTexts()
    {
        const QString broken = write("content/apps/Broken", "{ \"AppName\": \"Half");
        const QString mistyped = write("content/apps/Mistyped", R"({"AppName": 7, "Icon": [], "Screens": {"DisplayName": "x"}})");

        AppManager manager(nullptr);
        QCOMPARE(apps(manager), QStringList({" | " + broken + " | ", " | " + mistyped + " | "}));
        manager.userSelectedApp("");
        QCOMPARE(navigation(manager), kFixed);
    }

    void appsOfTheSameNameShareTheirScreensInFolderOrder()
    {
        // Folders sort by name regardless of case: "alpha" comes before "Beta".
        const QString second = write("content/apps/Beta", appInfo("Same", {"B1", "b1.qml", "B2", "b2.qml"}));
        const QString first = write("content/apps/alpha", appInfo("Same", {"A1", "a1.qml"}));

        AppManager manager(nullptr);
        QCOMPARE(apps(manager), QStringList({"Same | " + first + " | Same/icon.png", "Same | " + second + " | Same/icon.png"}));
        manager.userSelectedApp("Same");
        QCOMPARE(navigation(manager), kFixed + QStringList({"A1 | a1.qml", "B1 | b1.qml", "B2 | b2.qml"}));
    }

    void onlyFoldersInsideTheAppsFolderAreApps()
    {
        AppManager missing(nullptr);
        QCOMPARE(missing.getAppsModel()->rowCount(), 0);
        QCOMPARE(navigation(missing), kFixed);

        // Description files beside the app folders, and one level up, are
        // not apps of their own.
        write("content/apps", appInfo("Stray", {"S", "s.qml"}));
        write("content", appInfo("Above", {"A", "a.qml"}));
        const QString real = write("content/apps/Real", appInfo("Real"));
        AppManager manager(nullptr);
        QCOMPARE(apps(manager), QStringList({"Real | " + real + " | Real/icon.png"}));
    }
};

QTEST_GUILESS_MAIN(TestAppManager)
#include "tst_appmanager.moc"
