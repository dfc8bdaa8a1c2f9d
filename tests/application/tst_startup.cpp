#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

// Starts the real program and stops it the way a user or a service manager does.
class TestStartup : public QObject
{
    Q_OBJECT
private:
    static QString programPath() { return QStringLiteral(KORVEX_BUILD_DIR "/korvex"); }

    // Starts korvex and waits until its banner has been written.
    bool startAndWaitForBanner(QProcess& process, QTemporaryDir& storage, QByteArray& output)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("KORVEX_STORAGE"), storage.path());
        // The lines looked for must be written, whatever the caller silenced.
        env.remove(QStringLiteral("QT_LOGGING_RULES"));
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(programPath(), QStringList());
        if (!process.waitForStarted(10000))
            return false;
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 60000) {
            process.waitForReadyRead(200);
            output += process.readAll();
            if (output.contains("Korvex started. Revision: "))
                return true;
            if (process.state() == QProcess::NotRunning)
                return false;
        }
        return false;
    }

    // With the scene in the storage folder, or a broken one: either way the
    // program runs until it is told to stop, then stops cleanly.
    void stopWith(int signalNumber, const QByteArray& mainQml)
    {
        QTemporaryDir storage;
        const QString skin = storage.path() + "/content/skins/default/KorvexSkin";
        QVERIFY(QDir().mkpath(skin));
        QFile main(skin + "/Main.qml");
        QVERIFY(main.open(QIODevice::WriteOnly));
        main.write(mainQml);
        main.close();
        QProcess process;
        QByteArray output;
        QVERIFY2(startAndWaitForBanner(process, storage, output), output.constData());

        ::kill(static_cast<pid_t>(process.processId()), signalNumber);
        QVERIFY(process.waitForFinished(30000));
        output += process.readAll();

        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        const int inDestructor = output.indexOf("In Korvex destructor.");
        const int destructorDone = output.indexOf("Korvex destructor done.");
        QVERIFY2(inDestructor > 0, output.constData());
        QVERIFY2(destructorDone > inDestructor, output.constData());
    }

private Q_SLOTS:
    void bannerNamesRevisionAndBuildDate()
    {
        QTemporaryDir storage;
        QProcess process;
        QByteArray output;
        QVERIFY2(startAndWaitForBanner(process, storage, output), output.constData());
        process.kill();
        process.waitForFinished(10000);

        static const QRegularExpression banner(QStringLiteral(
            " INFO \\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}\\.\\d{3} \\S*main\\.cpp @ \\d+ "
            "Korvex started\\. Revision:  \\\\\"e5020d1\\\\\"  build date:  \\\\\"2015-05-13_07:08:56\\\\\" "));
        QVERIFY2(banner.match(QString::fromLocal8Bit(output)).hasMatch(), output.constData());
    }

    void sigtermEndsCleanly()
    {
        QFile skin(QStringLiteral(KORVEX_SOURCE_DIR "/skin/Main.qml"));
        QVERIFY(skin.open(QIODevice::ReadOnly));
        stopWith(SIGTERM, skin.readAll());
    }
    void sigintEndsCleanly() { stopWith(SIGINT, "import QtQuick 2.15\nWindow { width: }\n"); }

    // A mistyped command line ends the program with a usage before it
    // touches the storage folder or a port.
    void badArgumentsEndWithUsageBeforeAnythingStarts_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("unknown option") << QStringList{"--bogus"};
        QTest::newRow("missing value") << QStringList{"--screenshot"};
        QTest::newRow("bad size") << QStringList{"--size", "large"};
    }
    void badArgumentsEndWithUsageBeforeAnythingStarts()
    {
        QFETCH(QStringList, arguments);
        QTemporaryDir storage;
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("KORVEX_STORAGE"), storage.path());
        process.setProcessEnvironment(env);
        process.start(programPath(), arguments);
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 2);
        const QByteArray errors = process.readAllStandardError();
        QVERIFY2(errors.contains("Usage:") && errors.contains("--screenshot"), errors.constData());
        QVERIFY(!errors.contains("Korvex started"));
        QVERIFY(process.readAllStandardOutput().isEmpty());
        QCOMPARE(QDir(storage.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
