#include "Application/Helper.h"
#include "Data/Store.h"

#include "StorageFiles.h"
#include "TemporaryStorage.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray fileBytes(const QString& path)
{
    return StorageFiles::read(path);
}

} // namespace

class TestStore : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { Store::drop(); }

    void isOneInstanceUntilDropped()
    {
        Store* first = Store::instance();
        QCOMPARE(Store::instance(), first);
        QTest::ignoreMessage(QtDebugMsg, "In Store destructor.");
        QTest::ignoreMessage(QtDebugMsg, "Store destructor done.");
        Store::drop();
        Store::drop();
        QVERIFY(Store::instance() != nullptr);
    }

    void commLogsHoldRawBytesPerLinkAndDirection()
    {
        TemporaryStorage storage;
        Store* store = Store::instance();
        QDataStream* in = store->commLogIn("ttyUSB0");
        QDataStream* out = store->commLogOut("ttyUSB0");
        QVERIFY(in != nullptr);
        QVERIFY(out != nullptr);
        QVERIFY(in != out);
        QCOMPARE(store->commLogIn("ttyUSB0"), in);
        in->writeRawData("<msg>", 5);
        in->writeRawData("||||", 4);
        out->writeRawData("abc", 3);
        Store::drop();

        const QString folder = Helper::getBasePath() + "/commlogs/";
        QCOMPARE(fileBytes(folder + "CommLogIn ttyUSB0.dat"), QByteArray("<msg>||||"));
        QCOMPARE(fileBytes(folder + "CommLogOut ttyUSB0.dat"), QByteArray("abc"));
    }

    void aLogIsTruncatedWhenItsLinkFirstUsesItInARun()
    {
        TemporaryStorage storage;
        Store::instance()->commLogOut("a")->writeRawData("first run", 9);
        Store::drop();
        Store::instance()->commLogOut("a")->writeRawData("2", 1);
        Store::instance()->commLogOut("a")->writeRawData("3", 1);
        Store::drop();
        QCOMPARE(fileBytes(Helper::getBasePath() + "/commlogs/CommLogOut a.dat"), QByteArray("23"));
    }

    void linkNamesWithFolderSeparatorsStillGiveALogFile_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("file");
        QTest::newRow("device path") << "/dev/pts/3" << "CommLogIn _dev_pts_3.dat";
        QTest::newRow("backslash") << "COM\\3" << "CommLogIn COM_3.dat";
        QTest::newRow("bluetooth address") << "1122aabbcc" << "CommLogIn 1122aabbcc.dat";
        QTest::newRow("dots") << ".." << "CommLogIn ...dat";
    }

    void linkNamesWithFolderSeparatorsStillGiveALogFile()
    {
        QFETCH(QString, link);
        QFETCH(QString, file);
        TemporaryStorage storage;
        QDataStream* log = Store::instance()->commLogIn(link);
        QVERIFY(log != nullptr);
        log->writeRawData("x", 1);
        Store::drop();
        const QString folder = Helper::getBasePath() + "/commlogs/";
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList { file });
        QCOMPARE(fileBytes(folder + file), QByteArray("x"));
    }

    void anUnopenableLogGivesNull()
    {
        TemporaryStorage storage;
        // A folder where the log file should be.
        QDir().mkpath(Helper::getBasePath() + "/commlogs/CommLogIn blocked.dat");
        QTest::ignoreMessage(QtDebugMsg, "Could not open comm log file, abort");
        QVERIFY(Store::instance()->commLogIn("blocked") == nullptr);
        QVERIFY(Store::instance()->commLogOut("blocked") != nullptr);
    }

    void aFullLogMovesToItsOlderPartAndStartsAfresh()
    {
        TemporaryStorage storage;
        Store* store = Store::instance();
        store->setCommLogLimit(20);
        const QString path = Store::commLogPath("CommLogIn ", "ttyUSB0");
        store->logIncoming("ttyUSB0", "0123456789"); // 14 bytes with the separator
        store->logIncoming("ttyUSB0", "abcdef");     // 24: full
        store->logIncoming("ttyUSB0", "gh");
        store->flushCommLogs();
        QCOMPARE(fileBytes(path + ".1"), QByteArray("0123456789||||abcdef||||"));
        QCOMPARE(fileBytes(path), QByteArray("gh||||"));
        store->logIncoming("ttyUSB0", "ijklmnopqrstuvwxyz");
        store->logIncoming("ttyUSB0", "!");
        Store::drop();
        // Only one older part is kept.
        QCOMPARE(fileBytes(path + ".1"), QByteArray("gh||||ijklmnopqrstuvwxyz||||"));
        QCOMPARE(fileBytes(path), QByteArray("!||||"));
        QCOMPARE(QDir(Helper::getBasePath() + "/commlogs").entryList(QDir::Files).size(), 2);
    }

    void aClosedLogIsContinuedWhenItsLinkComesBack()
    {
        TemporaryStorage storage;
        Store* store = Store::instance();
        store->logOutgoing("pts/4", "first");
        store->logIncoming("pts/4", "reply");
        QCOMPARE(store->openCommLogCount(), 2);
        store->closeCommLogs("pts/4");
        QCOMPARE(store->openCommLogCount(), 0);
        QCOMPARE(fileBytes(Store::commLogPath("CommLogOut ", "pts/4")), QByteArray("first||||"));
        store->logOutgoing("pts/4", "again");
        Store::drop();
        QCOMPARE(fileBytes(Store::commLogPath("CommLogOut ", "pts/4")), QByteArray("first||||again||||"));
        // A new run starts the log afresh.
        Store::instance()->logOutgoing("pts/4", "next run");
        Store::drop();
        QCOMPARE(fileBytes(Store::commLogPath("CommLogOut ", "pts/4")), QByteArray("next run||||"));
    }

    void debugFileIsCreatedTruncatedAndWritten()
    {
        QTemporaryDir dir;
        const QString path = dir.path() + "/DebugQuaterion.txt";
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("left over from the last run");
        }
        Store* store = Store::instance();
        store->debug() << "before";
        store->InitDebug(path);
        QCOMPARE(fileBytes(path), QByteArray());
        store->debug() << "q " << 1.5;
        store->debug() << "\n";
        Store::drop();
        QCOMPARE(fileBytes(path), QByteArray("q 1.5\n"));
    }

    void anUnopenableDebugFileIsReportedAndIgnored()
    {
        QTemporaryDir dir;
        QTest::ignoreMessage(QtDebugMsg, "Could not open debug file, abort");
        Store::instance()->InitDebug(dir.path());
        Store::instance()->debug() << "goes nowhere";
        Store::instance()->debug();
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
