#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class AppManager;
class DeviceManager;
class Helper;
class InterfaceManager;
class LiveController;
class MeasurementController;
class PlotController;
class ProcessorController;
class QQmlApplicationEngine;
class QQmlContext;
class QQuickWindow;
class SetupController;
class StateController;
class UploadController;
class UserController;

// The bridge to the QML scene: owns the engine, registers the plot item
// type, publishes every controller and list model under the names the scene
// binds to, and loads the skin's main file from the content folder.
//
// A skin that cannot be loaded leaves the program without a window but
// otherwise whole: sensors are still served and recordings still uploaded.
class GuiManager : public QObject
{
    Q_OBJECT
public:
    GuiManager(DeviceManager* deviceManager, AppManager* appManager, SetupController* setupController,
               LiveController* liveController, UploadController* uploadController, StateController* stateController,
               MeasurementController* measurementController, UserController* userController,
               InterfaceManager* interfaceManager, PlotController* plotController,
               ProcessorController* processorController);
    // Takes the scene down (window, items, bindings) while everything it
    // refers to still exists.
    ~GuiManager() override;

    void InitGui();
    void registerCustomTypes();
    void registerContextProperties(QQmlContext* context);

    // Before the first window: the software scene graph where OpenGL is not
    // to be had.
    static void chooseSceneGraphBackend();
    // Whether an OpenGL renderer (as GL_RENDERER names it) draws on the
    // processor.
    static bool isSoftwareRenderer(const QString& renderer);
    // Before the first control: the style the skin is drawn for.
    static void chooseControlsStyle();
    // Logs once how long after the start of the process the window's first
    // frame was shown.
    void reportFirstFrame();

    QQmlApplicationEngine* engine() const { return m_engine.get(); }
    // Null when the skin could not be loaded or is not a window.
    QQuickWindow* mainWindow() const;
    QString mainFile() const;

private:
    QString m_contentPath;
    QString m_skinPath;
    QString m_imagePath;
    QPointer<DeviceManager> m_deviceManager;
    QPointer<AppManager> m_appManager;
    QPointer<SetupController> m_setupController;
    QPointer<LiveController> m_liveController;
    QPointer<UploadController> m_uploadController;
    QPointer<StateController> m_stateController;
    QPointer<MeasurementController> m_measurementController;
    QPointer<UserController> m_userController;
    QPointer<InterfaceManager> m_interfaceManager;
    QPointer<PlotController> m_plotController;
    QPointer<ProcessorController> m_processorController;
    Helper* m_helper = nullptr;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QPointer<QQuickWindow> m_mainWindow;
};
