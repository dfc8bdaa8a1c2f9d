#include "Application/GuiManager.h"
#include "Application/Helper.h"
#include "Application/Korvex.h"
#include "Application/StartOptions.h"
#include "Application/WindowSnapshot.h"
#include "Data/Store.h"

#include "LogCapture.h"
#include "StorageFiles.h"
#include "TemporaryStorage.h"

#include <QFileInfo>
#include <QImage>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

// A window of one known colour, so a picture of it can be told from a blank one.
const QByteArray kPlainSkin = "import QtQuick 2.15\n"
                              "import QtQuick.Window 2.15\n"
                              "Window { width: appWidth; height: appHeight; visible: true; color: \"#2080c0\" }\n";

void writeSkin(const QByteArray& mainQml)
{
    QVERIFY(StorageFiles::write(Helper::getContentPath() + "skins/default/KorvexSkin/Main.qml", mainQml));
}

bool parse(StartOptions& options, const QString& arguments)
{
    return options.parse(QStringList{"korvex"} + arguments.split(' ', Qt::SkipEmptyParts));
}

} // namespace

// The command line that asks for a picture of the window, and the picture.
class TestWindowSnapshot : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { Store::drop(); }

    void optionsThatAreUnderstood_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<QSize>("size");
        QTest::newRow("nothing") << "" << "" << 3000 << QSize();
        QTest::newRow("picture after the default") << "--screenshot a.png" << "a.png" << 3000 << QSize();
        QTest::newRow("decimal delay") << "--screenshot=a.png --after 0.25" << "a.png" << 250 << QSize();
        QTest::newRow("at once") << "--after=0 --screenshot a.png" << "a.png" << 0 << QSize();
        QTest::newRow("size only") << "--size 1280x800" << "" << 3000 << QSize(1280, 800);
        QTest::newRow("all") << "--size=800x600 --screenshot x/y.png --after 2" << "x/y.png" << 2000 << QSize(800, 600);
    }
    void optionsThatAreUnderstood()
    {
        QFETCH(QString, arguments);
        StartOptions options;
        QVERIFY2(parse(options, arguments), qPrintable(options.errorText()));
        QTEST(options.screenshotPath(), "path");
        QTEST(options.screenshotDelayMs(), "delayMs");
        QTEST(options.windowSize(), "size");
        QVERIFY(!options.helpRequested());
    }

    void mistakesAreRefusedWithAReason_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("reason");
        QTest::newRow("unknown option") << "--screen a.png" << "screen";
        QTest::newRow("picture without file") << "--screenshot" << "screenshot";
        QTest::newRow("delay not a number") << "--screenshot a.png --after soon" << "soon";
        QTest::newRow("negative delay") << "--screenshot a.png --after -1" << "-1";
        QTest::newRow("delay not finite") << "--screenshot a.png --after inf" << "inf";
        QTest::newRow("delay without picture") << "--after 2" << "--screenshot";
        QTest::newRow("size without height") << "--size 800" << "800";
        QTest::newRow("size zero") << "--size 0x600" << "0x600";
        QTest::newRow("size three numbers") << "--size 8x6x2" << "8x6x2";
        QTest::newRow("size too large") << "--size 99999x10" << "99999x10";
        QTest::newRow("stray argument") << "--screenshot a.png b.png" << "b.png";
    }
    void mistakesAreRefusedWithAReason()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, reason);
        StartOptions options;
        QVERIFY(!parse(options, arguments));
        QVERIFY2(options.errorText().contains(reason), qPrintable(options.errorText()));
        for (const char* option : {"--screenshot", "--after", "--size"})
            QVERIFY(options.helpText().contains(option));
    }

    // The root resizes the window and takes the picture on time, into a
    // folder that does not exist yet; the picture shows what the window shows.
    void thePictureShowsTheResizedWindow()
    {
        TemporaryStorage storage;
        writeSkin(kPlainSkin);
        const QString file = storage.path() + "/new folder/deeper/shot.png";
        StartOptions options;
        QVERIFY(options.parse({"korvex", "--size", "640x480", "--screenshot", file, "--after", "0.2"}));
        LogCapture log;

        auto root = std::make_unique<Korvex>();
        QQuickWindow* window = root->guiManager()->mainWindow();
        QVERIFY(window);
        root->applyStartOptions(options);
        QCOMPARE(window->size(), QSize(640, 480));
        QTest::qWait(50);
        QVERIFY2(!QFileInfo::exists(file), "the picture was taken before its time");

        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(file), 10000);
        const QImage picture(file, "PNG");
        QCOMPARE(picture.size(), QSize(640, 480));
        QCOMPARE(picture.pixelColor(320, 240), QColor("#2080c0"));
        QCOMPARE(picture.pixelColor(2, 477), QColor("#2080c0"));
        QTRY_COMPARE(log.count("Screenshot written to"), 1);
        QVERIFY(log.contains(file));
        // Nothing else is left in the folder (the file was written through a temporary one).
        QCOMPARE(QDir(QFileInfo(file).path()).entryList(QDir::Files), QStringList{"shot.png"});
        root.reset();
    }

    // No window, or nowhere to write: a warning, and the program goes on.
    void aPictureThatCannotBeTakenIsOnlyAWarning_data()
    {
        QTest::addColumn<QByteArray>("mainQml");
        QTest::addColumn<QString>("file");
        QTest::newRow("no window") << QByteArray("import QtQuick 2.15\nItem {}\n") << "shot.png";
        // A file stands where the folder should be.
        QTest::newRow("folder is a file") << kPlainSkin << "Users.txt/shot.png";
    }
    void aPictureThatCannotBeTakenIsOnlyAWarning()
    {
        QFETCH(QByteArray, mainQml);
        QFETCH(QString, file);
        TemporaryStorage storage;
        writeSkin(mainQml);
        QVERIFY(StorageFiles::write(storage.path() + "/Users.txt", "x"));
        const QString path = storage.path() + "/" + file;
        LogCapture log;

        auto root = std::make_unique<Korvex>();
        WindowSnapshot snapshot(root->guiManager(), path);
        QSignalSpy finished(&snapshot, &WindowSnapshot::finished);
        snapshot.start(0);
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().toBool(), false);
        QVERIFY(!QFileInfo::exists(path));
        QCOMPARE(log.count("No screenshot written to"), 1);
        QVERIFY(!log.contains("Screenshot written to"));
        // Still serving: the event loop goes on and the root comes down cleanly.
        QTest::qWait(50);
        root.reset();
    }
};

QTEST_MAIN(TestWindowSnapshot)
#include "tst_windowsnapshot.moc"
