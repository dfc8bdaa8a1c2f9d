#include "RecordBytes.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <limits>

// Runs the real program on a prepared storage folder and checks what the root
// creates, loads and releases.
class TestRoot : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void loadsStoredRecordsInOrderAndReleasesTheStoreOnTheWayOut()
    {
        QTemporaryDir storage;
        QTemporaryDir workingDir;
        QDir().mkpath(storage.path() + "/Users");
        {
            QFile user(storage.path() + "/Users/Anna_1.ktu");
            QVERIFY(user.open(QIODevice::WriteOnly));
            user.write(RecordBytes().i64(20140409).u64(1).string("Anna").bytes());
        }
        QDir().mkpath(storage.path() + "/Devices");
        {
            QFile device(storage.path() + "/Devices/1a2b.ktd");
            QVERIFY(device.open(QIODevice::WriteOnly));
            device.write(RecordBytes().i64(20140409).u64(0x1a2b).string("-").string("ttyUSB0").bytes());
            QFile corrupt(storage.path() + "/Devices/bad.ktd");
            QVERIFY(corrupt.open(QIODevice::WriteOnly));
            corrupt.write(RecordBytes().i64(20140409).u64(0x1a2c).bytes());
        }
        QDir().mkpath(storage.path() + "/Data/1f");
        {
            // An uploaded measurement (id only) with the header of one track list.
            QFile measurement(storage.path() + "/Data/____1f.ktm");
            QVERIFY(measurement.open(QIODevice::WriteOnly));
            measurement.write(RecordBytes()
                                  .i64(20140409).u64(0x1f).u32(0).u32(0)
                                  .nullString().nullString().nullString()
                                  .i64(std::numeric_limits<qint64>::min()).u32(0xffffffffu).i8(0)
                                  .i16(0).u32(0)
                                  .bytes());
            QFile list(storage.path() + "/Data/1f/1f_1a2b.ktt");
            QVERIFY(list.open(QIODevice::WriteOnly));
            list.write(RecordBytes().i64(20140409).u64(0x1a2b).u64(0x1f).u32(0).u32(0).bytes());
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
        // The lines looked for must be written, whatever the caller silenced.
        env.remove("QT_LOGGING_RULES");
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

        // Users, then devices, then measurements (each with its track-list
        // headers), all before the program reports that it has started.
        const int scan = output.indexOf("Potential  \"User\" :  \"Anna_1\"");
        QVERIFY2(scan >= 0, output.constData());
        QVERIFY(output.indexOf(" Successfully loaded ", scan) > scan);
        const int device = output.indexOf("Potential  \"Device\" :  \"1a2b\"");
        const int corrupt = output.indexOf("Potential  \"Device\" :  \"bad\"");
        const int measurement = output.indexOf("Potential  \"Measurement\" :  \"____1f\"");
        const int trackList = output.indexOf("Potential  \"Tracklist\" :  \"1f_1a2b\"");
        const int started = output.indexOf("Korvex started. Revision: ");
        QVERIFY2(scan < device && scan < corrupt, output.constData());
        QVERIFY2(device < measurement && corrupt < measurement, output.constData());
        QVERIFY2(measurement < trackList && trackList < started, output.constData());
        // The stored device got its list of sensor measurements when listed.
        const int deviceList = output.indexOf("Created Measurements Model for device:  1a2b");
        QVERIFY2(device < deviceList && deviceList < measurement, output.constData());
        QVERIFY2(!output.contains("Created Measurements Model for device:  1a2c"), output.constData());

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
