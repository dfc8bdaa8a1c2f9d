#include "Application/Helper.h"
#include "Application/NotificationHub.h"
#include "Application/StateController.h"
#include "Data/Storable.h"
#include "Data/User.h"
#include "Data/UserController.h"
#include "Data/UserModel.h"

#include "RecordBytes.h"
#include "ScriptedIds.h"
#include "StorageFiles.h"
#include "TemporaryStorage.h"

#include <QDataStream>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

QByteArray userRecord(quint64 id, const QString& name)
{
    return RecordBytes().i64(20140409).u64(id).string(name).bytes();
}

// A record whose writer can be made to fail half-way, as a full disk or a
// crash would.
class FlakyRecord : public Storable
{
    Q_OBJECT
public:
    QByteArray content;
    bool failHalfway = false;

    QString storagePath() override { return Helper::getBasePath() + "/Flaky/"; }
    QString entityName() override { return "Flaky"; }
    QString fileEnding() override { return "fky"; }
    QString generateFileName() override { return "record"; }
    bool tryLoadFromStream(QDataStream&) override { return false; }
    void saveToStream(QDataStream& stream) override
    {
        if (!failHalfway) {
            stream.writeRawData(content.constData(), content.size());
            return;
        }
        stream.writeRawData(content.constData(), content.size() / 2);
        stream.setStatus(QDataStream::WriteFailed);
    }
};

} // namespace

class TestUsers : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void userRecordMatchesTheLayout()
    {
        TemporaryStorage storage;
        User user("Max Muster-1", 0x8000000100000005ull);
        QCOMPARE(user.generateFileName(), QString("Max_Muster1_8000000100000005"));
        QVERIFY(user.saveToDisk());
        const QString path = Helper::getUserPath() + "/Max_Muster1_8000000100000005.ktu";
        QCOMPARE(user.fullPath(), path);
        QCOMPARE(StorageFiles::read(path).toHex(), userRecord(0x8000000100000005ull, "Max Muster-1").toHex());
        QCOMPARE(user.getUserID(), quint32(5));
    }

    void savedUsersComeBackOldestFirst()
    {
        TemporaryStorage storage;
        const QDateTime base = QDateTime::currentDateTime().addDays(-1);
        // Names sort against age, so that name order cannot pass for time order.
        const QList<QPair<QString, int>> users { { "Carla", 0 }, { "Bert", 2 }, { "Anna", 1 } };
        for (const auto& entry : users) {
            User user(entry.first, quint64(100 + entry.second));
            QVERIFY(user.saveToDisk());
            QVERIFY(StorageFiles::setModified(user.fullPath(), base.addSecs(60 * entry.second)));
        }

        UserController controller;
        User prototype;
        connect(&prototype, &User::loadedUserFromDisk, &controller, &UserController::addUser);
        QSignalSpy spy(&prototype, &User::loadedUserFromDisk);
        prototype.scanForFilesAndLoad();
        QCOMPARE(spy.count(), 3);
        QStringList order;
        for (const QList<QVariant>& args : spy)
            order.append(args.at(0).value<User*>()->getUserName());
        QCOMPARE(order, (QStringList { "Carla", "Anna", "Bert" }));

        // Each is put on top, so the newest file is the first row.
        UserModel* model = controller.getUserModel();
        QCOMPARE(model->rowCount(), 3);
        QCOMPARE(model->data(model->index(0, 0), UserModel::UserNameRole).toString(), QString("Bert"));
        QCOMPARE(model->data(model->index(0, 0), UserModel::UserIDRole).toString(), QString("102"));
        QCOMPARE(model->data(model->index(2, 0), UserModel::UserNameRole).toString(), QString("Carla"));
        for (const QList<QVariant>& args : spy)
            QCOMPARE(args.at(0).value<User*>()->parent(), &controller);
    }

    void scanSkipsOtherFilesAndCorruptRecords()
    {
        TemporaryStorage storage;
        const QString folder = Helper::getUserPath();
        QVERIFY(StorageFiles::write(folder + "good.ktu", userRecord(1, "Good")));
        QVERIFY(StorageFiles::write(folder + "upper.KTU", userRecord(2, "Upper")));
        QVERIFY(StorageFiles::write(folder + "other.txt", userRecord(3, "Other")));
        QVERIFY(StorageFiles::write(folder + "truncated.ktu", userRecord(4, "Truncated").left(25)));
        QVERIFY(StorageFiles::write(folder + "empty.ktu", QByteArray()));
        QVERIFY(StorageFiles::write(folder + "odd.ktu", RecordBytes().i64(20140409).u64(5).u32(3).raw("abc").bytes()));
        QVERIFY(StorageFiles::write(folder + "random.ktu", QByteArray::fromHex("e3a1ff0192837465aabbccddeeff00112233445566778899")));
        QDir().mkpath(folder + "folder.ktu");

        User prototype;
        QSignalSpy spy(&prototype, &User::loadedUserFromDisk);
        prototype.scanForFilesAndLoad();
        QCOMPARE(spy.count(), 1);
        std::unique_ptr<User> loaded(spy.at(0).at(0).value<User*>());
        QCOMPARE(loaded->getUserName(), QString("Good"));
    }

    void aMissingFolderIsScannedQuietlyAndCreatedByTheFirstSave()
    {
        TemporaryStorage storage;
        User prototype;
        QSignalSpy spy(&prototype, &User::loadedUserFromDisk);
        QTest::ignoreMessage(QtDebugMsg,
                             qPrintable(QString(" Scanning for  \"User\"  in folder:  \"%1\"").arg(Helper::getUserPath())));
        prototype.scanForFilesAndLoad();
        QCOMPARE(spy.count(), 0);
        QVERIFY(!QDir(Helper::getUserPath()).exists());

        UserController controller;
        const qulonglong id = controller.addNewUser("Eva");
        QVERIFY(QDir(Helper::getUserPath()).exists());
        QCOMPARE(QDir(Helper::getUserPath()).entryList(QDir::Files).size(), 1);
        QCOMPARE(controller.getUserModel()->data(controller.getUserModel()->index(0, 0), UserModel::UserIDRole),
                 QVariant(QString::number(id)));
    }

    // Adding and renaming refuse a name already listed (trimmed, any case)
    // and say so; the files follow the names.
    void namesAreUniqueWhateverTheirCase_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QStringList>("files");
        const QString taken = QStringLiteral("An athlete called %1 is already on the list.");
        QTest::newRow("add a new name") << "add" << " Lea Berg " << true << "" << QStringList{"Lea_Berg", "Max_Muster"};
        QTest::newRow("add the same name") << "add" << "Max Muster" << false << taken.arg("Max Muster") << QStringList{"Max_Muster"};
        QTest::newRow("add it in other case") << "add" << " max muster" << false << taken.arg("max muster") << QStringList{"Max_Muster"};
        QTest::newRow("add no name") << "add" << "  " << false << "An athlete needs a name." << QStringList{"Max_Muster"};
        QTest::newRow("rename") << "rename" << "Max Meier" << true << "" << QStringList{"Max_Meier"};
        QTest::newRow("rename to its own name in other case") << "rename" << "MAX MUSTER" << true << "" << QStringList{"MAX_MUSTER"};
        QTest::newRow("rename to another's name") << "rename" << "eva" << false << taken.arg("eva") << QStringList{"Max_Muster"};
        QTest::newRow("delete") << "delete" << "max muster" << true << "" << QStringList{};
    }

    void namesAreUniqueWhateverTheirCase()
    {
        QFETCH(QString, action);
        QFETCH(QString, name);
        QFETCH(bool, accepted);
        QFETCH(QString, error);
        QFETCH(QStringList, files);
        TemporaryStorage storage;
        UserController controller;
        QVERIFY(controller.addNewUser("Max Muster") != 0);
        // Listed, but without a file of its own.
        controller.addUser(new User("Eva", 0x77));
        QSignalSpy errors(NotificationHub::instance(), &NotificationHub::error);
        bool done = false;
        if (action == "add")
            done = controller.addNewUser(name) != 0;
        else if (action == "rename")
            done = controller.renameUser("max muster", name);
        else
            done = controller.deleteUser(name);
        QCOMPARE(done, accepted);
        QCOMPARE(errors.isEmpty() ? QString() : errors.first().first().toString(), error);
        QStringList stems;
        for (const QString& file : QDir(Helper::getUserPath()).entryList({"*.ktu"}, QDir::Files, QDir::Name))
            stems.append(file.section('_', 0, -2));
        stems.sort();
        QCOMPARE(stems, files);
        QStringList listed;
        for (Storable* item : controller.getUserModel()->getDataList())
            listed.append(qobject_cast<User*>(item)->getUserName());
        QCOMPARE(listed.contains("Eva"), true);
        QCOMPARE(listed.size(), 2 + (action == "add" && accepted ? 1 : 0) - (action == "delete" ? 1 : 0));
    }

    // The athlete selected last is selected again after a restart, if
    // still listed.
    void theSelectedAthleteIsKept()
    {
        TemporaryStorage storage;
        const QString file = Helper::getUserPath() + "selected-athlete.txt";
        {
            StateController state;
            state.setSelectionFile(file);
            QSignalSpy changed(&state, &StateController::selectedUserChanged);
            state.selectUser("Lea Berg");
            state.selectUser("Lea Berg");
            QCOMPARE(changed.count(), 1);
            QCOMPARE(state.property("selectedUser").toString(), QString("Lea Berg"));
        }
        StateController again;
        again.setSelectionFile(file);
        QCOMPARE(again.storedUser(), QString("Lea Berg"));
        QVERIFY(StorageFiles::write(file, QByteArray("two\nlines")));
        QCOMPARE(again.storedUser(), QString());
    }

    // The script draws the taken id first, then a free one.
    void newUsersNeverTakeAnIdInUse_data()
    {
        QTest::addColumn<quint64>("taken");
        QTest::addColumn<bool>("listed");
        QTest::addColumn<bool>("stored");
        QTest::newRow("zero") << quint64(0) << false << false;
        QTest::newRow("the shown half is zero") << quint64(0x500000000ull) << false << false;
        QTest::newRow("a listed user's id") << quint64(0x1234) << true << false;
        QTest::newRow("a listed user's shown half") << quint64(0x700001234ull) << true << false;
        QTest::newRow("a stored record not listed") << quint64(0x1234) << false << true;
    }

    void newUsersNeverTakeAnIdInUse()
    {
        QFETCH(quint64, taken);
        QFETCH(bool, listed);
        QFETCH(bool, stored);
        TemporaryStorage storage;
        UserController controller;
        if (listed)
            controller.addUser(new User("Ada", 0x1234));
        if (stored)
            QVERIFY(StorageFiles::write(Helper::getUserPath() + "Eva_1234.ktu", userRecord(0x1234, "Eva")));
        ScriptedIds ids({ taken, 0x5678 });
        QCOMPARE(controller.addNewUser("Eva"), qulonglong(0x5678));
        QCOMPARE(ids.draws(), 2);
        QVERIFY(QFile::exists(Helper::getUserPath() + "Eva_5678.ktu"));
        if (stored)
            QCOMPARE(StorageFiles::read(Helper::getUserPath() + "Eva_1234.ktu"), userRecord(0x1234, "Eva"));
    }

    void removingARowErasesOnlyThatFileAndKeepsTheObject()
    {
        TemporaryStorage storage;
        UserController controller;
        controller.addNewUser("A");
        controller.addNewUser("B");
        controller.addNewUser("C");
        UserModel* model = controller.getUserModel();
        auto* b = qobject_cast<User*>(model->getDataList().at(1));
        QCOMPARE(b->getUserName(), QString("B"));
        const QString path = b->fullPath();
        QVERIFY(QFile::exists(path));

        QSignalSpy removed(model, &QAbstractItemModel::rowsRemoved);
        QVERIFY(model->removeRows(1, 3));
        QCOMPARE(removed.count(), 1);
        QCOMPARE(removed.at(0).at(1).toInt(), 1);
        QCOMPARE(removed.at(0).at(2).toInt(), 1);
        QCOMPARE(model->rowCount(), 2);
        QVERIFY(!QFile::exists(path));
        QCOMPARE(b->getUserName(), QString("B"));
        QCOMPARE(QDir(Helper::getUserPath()).entryList(QDir::Files).size(), 2);

        // A removed item that reports a change does not write its file back.
        Q_EMIT b->persistentChanged(b);
        QVERIFY(!QFile::exists(path));

        QVERIFY(!model->removeRows(2, 1));
        QVERIFY(!model->removeRows(-1, 1));
        QCOMPARE(model->rowCount(), 2);
        QCOMPARE(QDir(Helper::getUserPath()).entryList(QDir::Files).size(), 2);
    }

    void removingWithoutEraseKeepsTheFile()
    {
        TemporaryStorage storage;
        UserController controller;
        controller.addNewUser("Keep");
        UserModel* model = controller.getUserModel();
        const QString path = model->getDataList().first()->fullPath();
        model->setEraseFileOnRemove(false);
        QVERIFY(model->removeRows(0, 1));
        QVERIFY(QFile::exists(path));
    }

    void persistentChangesRewriteTheFileWhenAskedTo()
    {
        TemporaryStorage storage;
        UserController controller;
        controller.addNewUser("Ute");
        UserModel* model = controller.getUserModel();
        Storable* user = model->getDataList().first();
        QSignalSpy changed(model, &QAbstractItemModel::dataChanged);

        QFile::remove(user->fullPath());
        Q_EMIT user->volatileChanged(user);
        QCOMPARE(changed.count(), 1);
        QVERIFY(!QFile::exists(user->fullPath()));

        Q_EMIT user->persistentChanged(user);
        QCOMPARE(changed.count(), 2);
        QVERIFY(QFile::exists(user->fullPath()));

        QFile::remove(user->fullPath());
        model->setUpdateFileOnChange(false);
        Q_EMIT user->persistentChanged(user);
        QVERIFY(!QFile::exists(user->fullPath()));

        // An item the model does not hold changes nothing.
        User stranger("X", 1);
        model->ItemChanged(&stranger);
        QCOMPARE(changed.count(), 3);
    }

    void aDeletedItemLeavesTheModel()
    {
        TemporaryStorage storage;
        UserModel model;
        auto* user = new User("Gone", 7);
        model.prependItem(user);
        model.prependItem(new User("Stays", 8));
        delete user;
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.data(model.index(0, 0), UserModel::UserNameRole).toString(), QString("Stays"));
        delete model.getDataList().first();
        QCOMPARE(model.rowCount(), 0);
    }

    void modelRolesAndColumns()
    {
        UserModel model;
        User user("Zoe", (quint64(1) << 32) + 5);
        model.prependItem(&user);
        QCOMPARE(model.columnCount(), 2);
        QCOMPARE(model.roleNames().value(257), QByteArray("UserID"));
        QCOMPARE(model.roleNames().value(258), QByteArray("UserName"));
        QCOMPARE(model.data(model.index(0, 0), 257).toString(), QString("5"));
        QVERIFY(!model.data(model.index(0, 0), Qt::DisplayRole).isValid());
        QVERIFY(!model.data(model.index(1, 0), 258).isValid());
        model.removeRows(0, 1);
    }

    void aFailedSaveKeepsThePreviousRecord()
    {
        TemporaryStorage storage;
        FlakyRecord record;
        record.content = QByteArray(1000, 'a');
        QVERIFY(record.saveToDisk());
        QCOMPARE(StorageFiles::read(record.fullPath()), QByteArray(1000, 'a'));

        record.content = QByteArray(2000, 'b');
        record.failHalfway = true;
        QTest::ignoreMessage(QtDebugMsg,
                             qPrintable(QString(" Error writing to data file:  \"%1\"").arg(record.fullPath())));
        QVERIFY(!record.saveToDisk());
        QCOMPARE(StorageFiles::read(record.fullPath()), QByteArray(1000, 'a'));
        QCOMPARE(QDir(record.storagePath()).entryList(QDir::Files | QDir::Hidden), QStringList { "record.fky" });

        // A shorter record replaces the whole file: no old tail stays behind.
        record.failHalfway = false;
        record.content = QByteArray(10, 'c');
        QVERIFY(record.saveToDisk());
        QCOMPARE(StorageFiles::read(record.fullPath()), QByteArray(10, 'c'));
    }

    void aSaveThatCannotOpenItsFileFails()
    {
        TemporaryStorage storage;
        FlakyRecord record;
        QDir().mkpath(record.fullPath());
        QVERIFY(!record.saveToDisk());
    }

    void eraseReportsAMissingFile()
    {
        TemporaryStorage storage;
        User user("Nobody", 3);
        QTest::ignoreMessage(QtDebugMsg, qPrintable(QString(" Failed to erase  \"User\"  file:  \"%1\"").arg(user.fullPath())));
        QVERIFY(!user.eraseFromDisk());
        QVERIFY(user.saveToDisk());
        QVERIFY(user.eraseFromDisk());
        QVERIFY(!QFile::exists(user.fullPath()));
    }

    void loadingAMissingFileFails()
    {
        TemporaryStorage storage;
        User user("Nobody", 3);
        QSignalSpy spy(&user, &User::loadedUserFromDisk);
        QTest::ignoreMessage(QtDebugMsg, qPrintable(QString(" Failed to open user file:  \"%1\"").arg(user.fullPath())));
        QVERIFY(!user.loadSelfFromDisk());
        QCOMPARE(spy.count(), 0);
    }

    void loadedObjectsTakeThePrototypesLoadMode()
    {
        TemporaryStorage storage;
        User user("Mode", 9);
        QVERIFY(user.saveToDisk());
        User prototype("Mode", 9);
        prototype.setLoadMode(Storable::LoadHeader);
        QSignalSpy spy(&prototype, &User::loadedUserFromDisk);
        QVERIFY(prototype.loadSelfFromDisk());
        std::unique_ptr<User> loaded(spy.at(0).at(0).value<User*>());
        QCOMPARE(loaded->getLoadMode(), Storable::LoadHeader);
        QCOMPARE(loaded->getFullUserId(), quint64(9));
    }
};

QTEST_GUILESS_MAIN(TestUsers)
#include "tst_users.moc"
