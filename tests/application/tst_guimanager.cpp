#include "Application/Helper.h"
#include "Application/GuiManager.h"
#include "Application/Korvex.h"
#include "Data/Store.h"
#include "Plotting/TrackPlotter.h"

#include "SceneDriver.h"
#include "SceneFiles.h"
#include "StorageFiles.h"
#include "TemporaryStorage.h"

#include <QQuickWindow>
#include <QtTest>

#include <memory>

namespace {

// Every name the scene may bind to, in the order the program publishes them.
const QStringList kPublished {
    "appWidth", "appHeight", "notificationHub", "interfaceManager", "devManager", "devModel", "appManager",
    "appModel", "navigationItems", "uploadController", "setupController", "stateController", "helper",
    "measurementController", "processorController", "measurementsModel", "plotController", "userController",
    "userModel", "liveController", "iconPath"};

void writeSkin(const QByteArray& mainQml)
{
    QVERIFY(StorageFiles::write(Helper::getContentPath() + "skins/default/KorvexSkin/Main.qml", mainQml));
}

} // namespace

class TestGuiManager : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { SceneDriver::collectSceneMessages(); }
    void init() { SceneDriver::clearSceneMessages(); }
    void cleanup() { Store::drop(); }

    void theSceneSeesEveryNameAndThePlotItem()
    {
        TemporaryStorage storage;
        QByteArray checks;
        for (const QString& name : kPublished)
            checks += "        typeof " + name.toLatin1() + " !== \"undefined\" && " + name.toLatin1() + " !== null,\n";
        writeSkin("import QtQuick 2.15\n"
                  "import QtQuick.Window 2.15\n"
                  "import TrackPlotter 1.0\n"
                  "Window {\n"
                  "    width: appWidth\n"
                  "    height: appHeight\n"
                  "    property var defined: [\n" + checks + "    ]\n"
                  "    property string version: helper.versionCodeHostSoftware()\n"
                  "    property int sensors: devModel.rowCount()\n"
                  "    property int screens: navigationItems.rowCount()\n"
                  "    TrackPlotter { objectName: \"plot\"; anchors.fill: parent }\n"
                  "}\n");

        auto root = std::make_unique<Korvex>();
        QQuickWindow* window = SceneDriver::findWindow();
        QVERIFY(window);
        const QVariantList defined = window->property("defined").toList();
        QCOMPARE(defined.size(), kPublished.size());
        for (int i = 0; i < kPublished.size(); ++i)
            QVERIFY2(defined.at(i).toBool(), qPrintable(kPublished.at(i) + " is not published"));
        QCOMPARE(window->width(), 800);
        QCOMPARE(window->height(), 600);
        QCOMPARE(window->property("version").toString(), QString("Korvex 0.7 Beta"));
        QCOMPARE(window->property("screens").toInt(), 3); // the fixed screens
        QVERIFY(window->findChild<TrackPlotter*>("plot"));

        // The scene goes first on the way out; the ASan run sees to the rest.
        root.reset();
        QVERIFY(SceneDriver::findWindow() == nullptr);
        QVERIFY2(SceneDriver::sceneMessages().isEmpty(), qPrintable(SceneDriver::sceneMessages().join('\n')));
    }

    void theInstalledSkinLoadsWithoutAWord()
    {
        TemporaryStorage storage;
        // No sensors and no app chosen: the screens a newcomer sees first.
        QVERIFY(SceneFiles::install());
        auto root = std::make_unique<Korvex>();
        SceneDriver scene(SceneDriver::findWindow());
        QVERIFY(scene.window());
        QVERIFY(scene.waitFor("appsScreen"));
        QVERIFY(scene.click("nav_Archive"));
        QVERIFY(scene.waitFor("archiveScreen"));
        QVERIFY(scene.click("nav_Users"));
        QVERIFY(scene.waitFor("usersScreen"));
        QCOMPARE(scene.text("connectedCount"), QString("0 of 0 connected"));
        root.reset();
        QVERIFY2(SceneDriver::sceneMessages().isEmpty(), qPrintable(SceneDriver::sceneMessages().join('\n')));
    }

    void aSkinThatCannotBeLoadedLeavesTheProgramRunningWithoutAWindow_data()
    {
        QTest::addColumn<QByteArray>("mainQml");
        QTest::addColumn<bool>("engineComplains");
        QTest::newRow("missing") << QByteArray() << true;
        QTest::newRow("broken") << QByteArray("import QtQuick 2.15\nItem { width: }\n") << true;
        QTest::newRow("not a window") << QByteArray("import QtQuick 2.15\nItem { width: 10 }\n") << false;
    }

    void aSkinThatCannotBeLoadedLeavesTheProgramRunningWithoutAWindow()
    {
        QFETCH(QByteArray, mainQml);
        QFETCH(bool, engineComplains);
        TemporaryStorage storage;
        if (!mainQml.isEmpty())
            writeSkin(mainQml);
        auto root = std::make_unique<Korvex>();
        QVERIFY(SceneDriver::findWindow() == nullptr);
        // What went wrong is in the log, with the file it concerns.
        if (engineComplains)
            QVERIFY(SceneDriver::sceneMessages().join('\n').contains("KorvexSkin/Main.qml"));
        // The event loop and the rest of the program go on.
        QTest::qWait(100);
        root.reset();
    }

    // OpenGL drawn on the processor gives way to the scene's own software
    // renderer; a graphics card's OpenGL is kept.
    void softwareOpenGlIsToldFromAGraphicsCard_data()
    {
        QTest::addColumn<QString>("renderer");
        QTest::addColumn<bool>("software");
        QTest::newRow("Mesa llvmpipe") << "llvmpipe (LLVM 15.0.6, 256 bits)" << true;
        QTest::newRow("Mesa softpipe") << "softpipe" << true;
        QTest::newRow("Windows' own") << "GDI Generic Software Rasterizer" << true;
        QTest::newRow("Intel") << "Mesa Intel(R) UHD Graphics 620 (KBL GT2)" << false;
        QTest::newRow("NVIDIA") << "NVIDIA GeForce GTX 1650/PCIe/SSE2" << false;
        QTest::newRow("AMD") << "AMD Radeon Graphics (renoir, LLVM 15.0.6, DRM 3.49)" << false;
        QTest::newRow("nothing said") << "" << false;
    }

    void softwareOpenGlIsToldFromAGraphicsCard()
    {
        QFETCH(QString, renderer);
        QFETCH(bool, software);
        QCOMPARE(GuiManager::isSoftwareRenderer(renderer), software);
    }
};

QTEST_MAIN(TestGuiManager)
#include "tst_guimanager.moc"
