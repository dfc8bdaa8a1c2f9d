#include "RecordBytes.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

// Runs the real program on a prepared storage folder and checks what the root
// creates, loads and releases.
class TestRoot : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void loadsStoredUsersAndReleasesTheStoreOnTheWayOut()
    {
        QTemporaryDir storage;
        QTemporaryDir workingDir;
        QDir().mkpath(storage.path() + "/Users");
        {
            QFile user(storage.path() + "/Users/Anna_1.ktu");
            QVERIFY(user.open(QIODevice::WriteOnly));
            user.write(RecordBytes().i64(20140409).u64(1).string("Anna").bytes());
        }
        {
            QFile stale(workingDir.path() + "/DebugQuaterion.txt");
            QVERIFY(stale.open(QIODevice::WriteOnly));
            stale.write("stale");
        }

        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("KORVEX_STORAGE", storage.path());
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(workingDir.path());
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral(KORVEX_BUILD_DIR "/korvex"), QStringList());
        QVERIFY(process.waitForStarted(10000));

        QByteArray output;
        QElapsedTimer timer;
        timer.start();
        while (!output.contains("Korvex started. Revision: ") && timer.elapsed() < 60000
               && process.state() == QProcess::Running) {
            process.waitForReadyRead(200);
            output += process.readAll();
        }
        QVERIFY2(output.contains("Korvex started. Revision: "), output.constData());
        ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
        QVERIFY(process.waitForFinished(30000));
        output += process.readAll();
        QCOMPARE(process.exitCode(), 0);

        const int scan = output.indexOf("Potential  \"User\" :  \"Anna_1\"");
        QVERIFY2(scan >= 0, output.constData());
        QVERIFY(output.indexOf(" Successfully loaded ", scan) > scan);
        QVERIFY(scan < output.indexOf("Korvex started. Revision: "));

        const int korvexIn = output.indexOf("In Korvex destructor.");
        const int storeIn = output.indexOf("In Store destructor.");
        const int storeDone = output.indexOf("Store destructor done.");
        const int korvexDone = output.indexOf("Korvex destructor done.");
        QVERIFY2(korvexIn >= 0 && korvexIn < storeIn && storeIn < storeDone && storeDone < korvexDone,
                 output.constData());

        QFile debugFile(workingDir.path() + "/DebugQuaterion.txt");
        QVERIFY(debugFile.exists());
        QCOMPARE(debugFile.size(), qint64(0));
    }
};

QTEST_GUILESS_MAIN(TestRoot)
#include "tst_root.moc"
