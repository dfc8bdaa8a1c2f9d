#include "Application/GuiManager.h"

#include "Application/AppManager.h"
#include "Application/AppsModel.h"
#include "Application/Helper.h"
#include "Application/NavigationItemsModel.h"
#include "Application/NotificationHub.h"
#include "Data/MeasurementFilterModel.h"
#include "Application/StateController.h"
#include "Data/MeasurementController.h"
#include "Data/MeasurementsModel.h"
#include "Data/UserController.h"
#include "Data/UserModel.h"
#include "Devices/DeviceManager.h"
#include "Devices/DevicesModel.h"
#include "Links/InterfaceManager.h"
#include "Log/LogCategories.h"
#include "Plotting/PlotController.h"
#include "Plotting/ProgressPlot.h"
#include "Plotting/TrackPlotter.h"
#include "Processing/ProcessorController.h"
#include "Workflows/LiveController.h"
#include "Workflows/SetupController.h"
#include "Workflows/UploadController.h"

#include <QCoreApplication>
#include <QDebug>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QSGRendererInterface>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QUrl>
#include <QtQml>

namespace {

const int kInitialWidth = 800;
const int kInitialHeight = 600;

} // namespace

GuiManager::GuiManager(DeviceManager* deviceManager, AppManager* appManager, SetupController* setupController,
                       LiveController* liveController, UploadController* uploadController,
                       StateController* stateController, MeasurementController* measurementController,
                       UserController* userController, InterfaceManager* interfaceManager,
                       PlotController* plotController, ProcessorController* processorController)
    : QObject(nullptr)
    , m_contentPath(Helper::getContentPath())
    , m_skinPath(m_contentPath + QStringLiteral("skins/default/"))
    , m_imagePath(m_skinPath + QStringLiteral("KorvexSkin/images/"))
    , m_deviceManager(deviceManager)
    , m_appManager(appManager)
    , m_setupController(setupController)
    , m_liveController(liveController)
    , m_uploadController(uploadController)
    , m_stateController(stateController)
    , m_measurementController(measurementController)
    , m_userController(userController)
    , m_interfaceManager(interfaceManager)
    , m_plotController(plotController)
    , m_processorController(processorController)
    , m_helper(new Helper())
    , m_engine(std::make_unique<QQmlApplicationEngine>())
{
    m_helper->setParent(this);
    InitGui();
}

GuiManager::~GuiManager()
{
    // Images hand their textures back to the window at its next frame; one
    // still shown when the window goes would keep them. So the items go
    // first, and a last frame is drawn.
    if (!m_mainWindow.isNull()) {
        const QList<QQuickItem*> items = m_mainWindow->findChildren<QQuickItem*>();
        for (QQuickItem* item : items) {
            if (item->inherits("QQuickLoader"))
                item->setProperty("active", false);
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_mainWindow->grabWindow();
    }
    // The engine takes its window, items and bindings with it; the
    // controllers they point at are freed only after this.
    m_engine.reset();
    qCDebug(lcApp) << "Gui closed.";
}

void GuiManager::registerCustomTypes()
{
    qmlRegisterType<TrackPlotter>("TrackPlotter", 1, 0, "TrackPlotter");
    qmlRegisterType<MeasurementFilterModel>("Korvex", 1, 0, "MeasurementFilter");
    qmlRegisterType<ProgressPlot>("Korvex", 1, 0, "ProgressPlot");
}

void GuiManager::registerContextProperties(QQmlContext* context)
{
    if (context == nullptr)
        return;
    // The models are looked up through their owners, which may be missing
    // in a partial set-up; a missing one is published as null.
    context->setContextProperty(QStringLiteral("appWidth"), kInitialWidth);
    context->setContextProperty(QStringLiteral("appHeight"), kInitialHeight);
    context->setContextProperty(QStringLiteral("notificationHub"), NotificationHub::instance());
    context->setContextProperty(QStringLiteral("interfaceManager"), m_interfaceManager.data());
    context->setContextProperty(QStringLiteral("devManager"), m_deviceManager.data());
    context->setContextProperty(QStringLiteral("devModel"),
                                m_deviceManager ? m_deviceManager->getDevicesModel() : nullptr);
    context->setContextProperty(QStringLiteral("appManager"), m_appManager.data());
    context->setContextProperty(QStringLiteral("appModel"), m_appManager ? m_appManager->getAppsModel() : nullptr);
    context->setContextProperty(QStringLiteral("navigationItems"),
                                m_appManager ? m_appManager->getNavigationItemsModel() : nullptr);
    context->setContextProperty(QStringLiteral("uploadController"), m_uploadController.data());
    context->setContextProperty(QStringLiteral("setupController"), m_setupController.data());
    context->setContextProperty(QStringLiteral("stateController"), m_stateController.data());
    context->setContextProperty(QStringLiteral("helper"), m_helper);
    context->setContextProperty(QStringLiteral("measurementController"), m_measurementController.data());
    context->setContextProperty(QStringLiteral("processorController"), m_processorController.data());
    context->setContextProperty(QStringLiteral("measurementsModel"),
                                m_measurementController ? m_measurementController->getMeasurementsOnHostModel()
                                                        : nullptr);
    context->setContextProperty(QStringLiteral("plotController"), m_plotController.data());
    context->setContextProperty(QStringLiteral("userController"), m_userController.data());
    context->setContextProperty(QStringLiteral("userModel"),
                                m_userController ? m_userController->getUserModel() : nullptr);
    context->setContextProperty(QStringLiteral("liveController"), m_liveController.data());
    context->setContextProperty(QStringLiteral("iconPath"), m_imagePath);
}

QString GuiManager::mainFile() const
{
    return m_contentPath + QStringLiteral("skins/default/KorvexSkin/Main.qml");
}

void GuiManager::chooseSceneGraphBackend()
{
    // Whoever set a back end on purpose keeps it.
    if (qEnvironmentVariableIsSet("QT_QUICK_BACKEND") || !QQuickWindow::sceneGraphBackend().isEmpty())
        return;
    // Without OpenGL (a virtual display, a remote session, the offscreen
    // platform) the scene is drawn in software rather than not at all. The
    // plots draw with QPainter either way.
    QOpenGLContext probe;
    if (!probe.create()) {
        qCDebug(lcApp) << "No OpenGL here; the scene is drawn in software.";
        QQuickWindow::setSceneGraphBackend(QSGRendererInterface::Software);
        return;
    }
    // An OpenGL that is itself drawn on the processor redraws the whole
    // window for every frame, several times over what the scene's own
    // software renderer spends on the parts that changed.
    QOffscreenSurface surface;
    surface.setFormat(probe.format());
    surface.create();
    if (!surface.isValid() || !probe.makeCurrent(&surface))
        return;
    const auto* name = reinterpret_cast<const char*>(probe.functions()->glGetString(GL_RENDERER));
    const QString renderer = QString::fromLatin1(name != nullptr ? name : "");
    probe.doneCurrent();
    if (isSoftwareRenderer(renderer)) {
        qCDebug(lcApp) << "OpenGL is drawn in software here (" << renderer << "); so is the scene, more cheaply.";
        QQuickWindow::setSceneGraphBackend(QSGRendererInterface::Software);
    }
}

bool GuiManager::isSoftwareRenderer(const QString& renderer)
{
    static const QStringList names{QStringLiteral("llvmpipe"), QStringLiteral("softpipe"),
                                   QStringLiteral("Software Rasterizer"), QStringLiteral("SWR"),
                                   QStringLiteral("swrast")};
    for (const QString& name : names) {
        if (renderer.contains(name, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

void GuiManager::chooseControlsStyle()
{
    // The skin is drawn for the compact desktop style; a style chosen on
    // purpose (QT_QUICK_CONTROLS_STYLE) is kept.
    // The style can be set once per process, before the first scene.
    static bool chosen = false;
    if (chosen)
        return;
    chosen = true;
    if (qEnvironmentVariableIsEmpty("QT_QUICK_CONTROLS_STYLE"))
        QQuickStyle::setStyle(QStringLiteral("Fusion"));
}

void GuiManager::InitGui()
{
    chooseSceneGraphBackend();
    chooseControlsStyle();
    registerCustomTypes();
    registerContextProperties(m_engine->rootContext());
    m_engine->addImportPath(m_skinPath);
    m_engine->load(QUrl::fromLocalFile(mainFile()));

    const QList<QObject*> roots = m_engine->rootObjects();
    if (roots.isEmpty()) {
        // The engine has said what went wrong; the program goes on without a
        // window.
        qCWarning(lcApp) << "The scene could not be loaded from" << mainFile() << "- running without a window.";
        return;
    }
    m_mainWindow = qobject_cast<QQuickWindow*>(roots.first());
    if (m_mainWindow.isNull())
        qCWarning(lcApp) << "The scene's main item is not a window; nothing is shown.";
    else
        reportFirstFrame();
    qCDebug(lcApp) << "Init Gui done.";
}

void GuiManager::reportFirstFrame()
{
    // How long a user waits for the window, counted from the start of the
    // process; the render thread says when, this thread reports it.
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(
        m_mainWindow.data(), &QQuickWindow::frameSwapped, this,
        [connection]() {
            QObject::disconnect(*connection);
            qCInfo(lcApp) << "First frame shown" << Helper::msSinceProcessStart() << "ms after the start.";
        },
        Qt::QueuedConnection);
}

QQuickWindow* GuiManager::mainWindow() const
{
    return m_mainWindow.data();
}
