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

    // As on a machine without any display: no server to talk to, and no
    // platform named that would do without one.
    static QProcessEnvironment withoutDisplay(const QTemporaryDir& storage)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QLatin1String(name));
        env.insert(QStringLiteral("KORVEX_STORAGE"), storage.path());
        return env;
    }

    // Starts korvex and waits until its banner has been written. Without
    // arguments the platform comes from the environment; with them, from
    // Qt's own -platform option among them.
    bool startAndWaitForBanner(QProcess& process, QTemporaryDir& storage, QByteArray& output,
                               const QStringList& arguments = QStringList())
    {
        QProcessEnvironment env = withoutDisplay(storage);
        if (arguments.isEmpty())
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // The lines looked for must be written, whatever the caller silenced.
        env.remove(QStringLiteral("QT_LOGGING_RULES"));
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(programPath(), arguments);
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

    // True once `signalNumber` is pending neither for the process nor for
    // any of its threads, that is, once a handler has taken it.
    static bool waitUntilTaken(pid_t pid, int signalNumber)
    {
        const quint64 bit = quint64(1) << (signalNumber - 1);
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 5000) {
            bool pending = false;
            const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
            for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
                QFile status(tasks.filePath(task) + QStringLiteral("/status"));
                if (!status.open(QIODevice::ReadOnly))
                    continue;
                for (const QByteArray& line : status.readAll().split('\n')) {
                    if (line.startsWith("SigPnd:") || line.startsWith("ShdPnd:"))
                        pending = pending || (line.mid(7).trimmed().toULongLong(nullptr, 16) & bit) != 0;
                }
            }
            if (!pending)
                return true;
        }
        return false;
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

    // A second signal while the first one's clean end is under way is a user
    // who will not wait: the process ends at once, by that signal.
    void aSecondSignalEndsAtOnce_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("second");
        QTest::newRow("SIGTERM twice") << int(SIGTERM) << int(SIGTERM);
        QTest::newRow("SIGINT twice") << int(SIGINT) << int(SIGINT);
        QTest::newRow("SIGINT, then SIGTERM") << int(SIGINT) << int(SIGTERM);
        QTest::newRow("SIGTERM, then SIGINT") << int(SIGTERM) << int(SIGINT);
    }
    void aSecondSignalEndsAtOnce()
    {
        QFETCH(int, first);
        QFETCH(int, second);
        // With the real scene, whose teardown takes a while.
        QTemporaryDir storage;
        const QString skin = storage.path() + "/content/skins/default/KorvexSkin";
        QVERIFY(QDir().mkpath(skin));
        QVERIFY(QFile::copy(QStringLiteral(KORVEX_SOURCE_DIR "/skin/Main.qml"), skin + "/Main.qml"));

        // The second signal goes once the first has been taken (two of one
        // kind pending at once are one). The clean end takes some 10 ms; on
        // a busy machine it may be over before the second signal is sent,
        // so a few tries are allowed; a program that ignores the second
        // signal always ends cleanly.
        QByteArray output;
        for (int attempt = 0; attempt < 5; ++attempt) {
            QProcess process;
            output.clear();
            QVERIFY2(startAndWaitForBanner(process, storage, output), output.constData());
            const auto pid = static_cast<pid_t>(process.processId());
            ::kill(pid, first);
            QVERIFY2(waitUntilTaken(pid, first), "the first signal stayed pending");
            ::kill(pid, second);
            QVERIFY(process.waitForFinished(30000));
            output += process.readAll();
            if (process.exitStatus() == QProcess::CrashExit) {
                QCOMPARE(process.exitCode(), second);
                return;
            }
        }
        QFAIL(qPrintable("every try ended cleanly in spite of the second signal:\n" + output));
    }

    // Qt's own options are Qt's: they are not taken for mistakes, and they
    // still reach it (here the platform that needs no display).
    void qtOptionsStillReachQt()
    {
        QTemporaryDir storage;
        QProcess process;
        QByteArray output;
        QVERIFY2(startAndWaitForBanner(process, storage, output,
                                       {"-platform", "offscreen", "--qwindowtitle", "Korvex test", "-reverse"}),
                 output.constData());
        ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
    }

    // A mistyped command line ends the program with a usage before it
    // touches the storage folder or a port, and --help shows the usage; both
    // on a machine without a display, with or without Qt's own options.
    void commandLineIsAnsweredWithoutADisplay_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("reason");
        QTest::newRow("--help") << QStringList{"--help"} << 0 << QByteArray();
        QTest::newRow("-h") << QStringList{"-h"} << 0 << QByteArray();
        QTest::newRow("--help among Qt's options")
            << QStringList{"-platform", "xcb", "--help", "-qwindowtitle", "x"} << 0 << QByteArray();
        QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << QByteArray("Unknown option 'bogus'.");
        QTest::newRow("unknown option among Qt's options")
            << QStringList{"--platform", "xcb", "--bogus"} << 2 << QByteArray("Unknown option 'bogus'.");
        QTest::newRow("missing value") << QStringList{"--screenshot"} << 2
                                       << QByteArray("Missing value after '--screenshot'.");
        QTest::newRow("bad size") << QStringList{"--size", "large"} << 2
                                  << QByteArray("--size wants WIDTHxHEIGHT, each from 1 to 16384, not \"large\".");
        QTest::newRow("stray argument") << QStringList{"storage"} << 2
                                        << QByteArray("Unexpected argument: storage");
    }
    void commandLineIsAnsweredWithoutADisplay()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, reason);
        QTemporaryDir storage;
        QProcess process;
        process.setProcessEnvironment(withoutDisplay(storage));
        process.start(programPath(), arguments);
        QVERIFY(process.waitForFinished(30000));
        const QByteArray out = process.readAllStandardOutput();
        const QByteArray errors = process.readAllStandardError();
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QVERIFY2(process.exitCode() == exitCode, (out + errors).constData());

        // The usage goes to stdout when asked for, after the reason on stderr when not.
        const QByteArray& usage = exitCode == 0 ? out : errors;
        QVERIFY2(usage.contains("Usage: ") && usage.contains("korvex [options]"), usage.constData());
        for (const char* option : {"--screenshot <FILE>", "--after <SECONDS>", "--size <WIDTHxHEIGHT>", "-h, --help"})
            QVERIFY2(usage.contains(option), option);
        if (exitCode == 0)
            QVERIFY2(errors.isEmpty(), errors.constData());
        else {
            QVERIFY2(out.isEmpty(), out.constData());
            QVERIFY2(errors.startsWith("korvex: " + reason + "\n\nUsage: "), errors.constData());
        }
        QVERIFY(!(out + errors).contains("Korvex started"));
        QCOMPARE(QDir(storage.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
