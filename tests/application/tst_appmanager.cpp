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
#include <utility>

namespace {

// One text per row, its role values joined, so that a mismatch shows
// which row differs.
using Rows = QStringList;

QStringList s_warnings;
QtMessageHandler s_previousHandler = nullptr;

void collectWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        s_warnings.append(message);
    if (s_previousHandler)
        s_previousHandler(type, context, message);
}

QByteArray appInfo(const QString& name, const QList<std::pair<QString, QString>>& screens)
{
    QJsonArray list;
    for (const auto& screen : screens) {
        QJsonObject item;
        item["DisplayName"] = screen.first;
        item["PageSource"] = screen.second;
        list.append(item);
    }
    QJsonObject info;
    info["AppName"] = name;
    info["Icon"] = name + "/icon.png";
    info["Version"] = "1.0";
    info["Screens"] = list;
    return QJsonDocument(info).toJson();
}

QString row(const QStringList& values)
{
    return values.join(" | ");
}

// The model's rows as the scene reads them: by role name, in role order.
Rows rowsOf(const QAbstractItemModel& model, const QList<QByteArray>& roles)
{
    const QHash<int, QByteArray> names = model.roleNames();
    Rows rows;
    for (int r = 0; r < model.rowCount(); ++r) {
        QStringList values;
        for (const QByteArray& role : roles) {
            const int number = names.key(role, -1);
            values.append(number < 0 ? QStringLiteral("<no role %1>").arg(QString(role))
                                     : model.data(model.index(r, 0), number).toString());
        }
        rows.append(row(values));
    }
    return rows;
}

Rows navigation(const AppManager& manager)
{
    return rowsOf(*manager.getNavigationItemsModel(), {"DisplayName", "PageSource"});
}

Rows apps(const AppManager& manager)
{
    return rowsOf(*manager.getAppsModel(), {"DisplayName", "BasePath", "IconPath"});
}

const Rows kFixed = {
    "Archive | Basic/Screens/Archive.qml",
    "Users | Basic/Screens/Users.qml",
    "Apps | Basic/Screens/Apps.qml",
};

} // namespace

class TestAppManager : public QObject
{
    Q_OBJECT
private:
    QString appsFolder() const { return m_storage->path() + "/content/apps"; }

    QString writeFile(const QString& folder, const QByteArray& content)
    {
        QDir().mkpath(folder);
        QFile file(folder + "/AppInfo.json");
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            return QString();
        return QFileInfo(folder).absoluteFilePath();
    }

    QString writeApp(const QString& folder, const QByteArray& content)
    {
        return writeFile(appsFolder() + "/" + folder, content);
    }

    std::unique_ptr<TemporaryStorage> m_storage;

private Q_SLOTS:
    void initTestCase() { s_previousHandler = qInstallMessageHandler(&collectWarnings); }
    void cleanupTestCase() { qInstallMessageHandler(s_previousHandler); }

    void init()
    {
        m_storage.reset(new TemporaryStorage);
        QVERIFY(m_storage->isValid());
        s_warnings.clear();
    }

    void cleanup()
    {
        m_storage.reset();
        QVERIFY2(s_warnings.isEmpty(), qPrintable(s_warnings.join('\n')));
    }

    void selectingAnAppShowsOnlyItsScreensAfterTheFixedOnes()
    {
        const QString sprint = writeApp("Sprint", appInfo("Sprint", {{"Run", "Sprint/Run.qml"}, {"Result", "Sprint/Result.qml"}}));
        const QString jump = writeApp("Jump", appInfo("Jump", {{"Jump", "Jump/Jump.qml"}}));
        QVERIFY(!sprint.isEmpty() && !jump.isEmpty());
        QDir().mkpath(appsFolder() + "/NoDescription");

        AppManager manager(nullptr);
        QAbstractItemModelTester appsTester(manager.getAppsModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QAbstractItemModelTester navigationTester(manager.getNavigationItemsModel(),
                                                  QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(apps(manager), Rows({row({"Jump", jump, "Jump/icon.png"}), row({"Sprint", sprint, "Sprint/icon.png"})}));
        QCOMPARE(navigation(manager), kFixed);

        QSignalSpy loaded(&manager, &AppManager::AppScreensLoaded);
        manager.userSelectedApp("Sprint");
        QCOMPARE(navigation(manager), kFixed + Rows({"Run | Sprint/Run.qml", "Result | Sprint/Result.qml"}));
        manager.userSelectedApp("Jump");
        QCOMPARE(navigation(manager), kFixed + Rows({"Jump | Jump/Jump.qml"}));
        QCOMPARE(loaded.count(), 2);

        manager.userSelectedApp("Nobody");
        QCOMPARE(navigation(manager), kFixed);
        QCOMPARE(loaded.count(), 3);
    }

    void unreadableDescriptionsListTheAppWithEmptyTexts()
    {
        const QString broken = writeApp("Broken", "{ \"AppName\": \"Half");
        const QString mistyped = writeApp("Mistyped", R"({"AppName": 7, "Icon": [], "Screens": {"DisplayName": "x"}})");
        QVERIFY(!broken.isEmpty() && !mistyped.isEmpty());

        AppManager manager(nullptr);
        QCOMPARE(apps(manager), Rows({row({"", broken, ""}), row({"", mistyped, ""})}));
        manager.userSelectedApp("");
        QCOMPARE(navigation(manager), kFixed);
    }

    void appsOfTheSameNameShareTheirScreensInFolderOrder()
    {
        // Folders sort by name regardless of case: "alpha" comes before "Beta".
        const QString second = writeApp("Beta", appInfo("Same", {{"B1", "b1.qml"}, {"B2", "b2.qml"}}));
        const QString first = writeApp("alpha", appInfo("Same", {{"A1", "a1.qml"}}));
        QVERIFY(!first.isEmpty() && !second.isEmpty());

        AppManager manager(nullptr);
        QCOMPARE(apps(manager), Rows({row({"Same", first, "Same/icon.png"}), row({"Same", second, "Same/icon.png"})}));
        manager.userSelectedApp("Same");
        QCOMPARE(navigation(manager), kFixed + Rows({"A1 | a1.qml", "B1 | b1.qml", "B2 | b2.qml"}));
    }

    void onlyFoldersInsideTheAppsFolderAreApps()
    {
        AppManager missing(nullptr);
        QCOMPARE(missing.getAppsModel()->rowCount(), 0);
        QCOMPARE(navigation(missing), kFixed);

        // Description files beside the app folders, and one level up, are
        // not apps of their own.
        QVERIFY(!writeFile(appsFolder(), appInfo("Stray", {{"S", "s.qml"}})).isEmpty());
        QVERIFY(!writeFile(m_storage->path() + "/content", appInfo("Above", {{"A", "a.qml"}})).isEmpty());
        const QString real = writeApp("Real", appInfo("Real", {}));
        AppManager manager(nullptr);
        QCOMPARE(apps(manager), Rows({row({"Real", real, "Real/icon.png"})}));
    }

    void modelsHaveNoChildRows()
    {
        QVERIFY(!writeApp("Sprint", appInfo("Sprint", {{"Run", "Sprint/Run.qml"}})).isEmpty());
        AppManager manager(nullptr);
        for (QAbstractItemModel* model : {static_cast<QAbstractItemModel*>(manager.getAppsModel()),
                                          static_cast<QAbstractItemModel*>(manager.getNavigationItemsModel())}) {
            const QModelIndex first = model->index(0, 0);
            QVERIFY(first.isValid());
            QCOMPARE(model->rowCount(first), 0);
            QCOMPARE(model->columnCount(first), 0);
        }
    }
};

QTEST_GUILESS_MAIN(TestAppManager)
#include "tst_appmanager.moc"
