#pragma once

#include <QObject>

class AppManager;
class DeviceManager;
class GuiManager;
class InterfaceManager;
class LiveController;
class MeasurementController;
class NotificationHub;
class PlotController;
class ProcessorController;
class SetupController;
class StartOptions;
class StateController;
class Store;
class UploadController;
class UserController;

// The application root: creates every long-lived controller once, in a fixed
// order, wires them and loads what is stored. The only place where
// controllers are connected to each other.
class Korvex : public QObject
{
    Q_OBJECT
public:
    explicit Korvex(QObject* parent = nullptr);
    ~Korvex() override;

    // Null when the program runs without a scene.
    GuiManager* guiManager() const { return m_guiManager; }

    // What the command line asks of the window: its size at start and a
    // picture of it after a while.
    void applyStartOptions(const StartOptions& options);

private:
    static void RegisterCutomTypes();

    Store* m_store = nullptr;
    DeviceManager* m_deviceManager = nullptr;
    InterfaceManager* m_interfaceManager = nullptr;
    NotificationHub* m_notificationHub = nullptr;
    AppManager* m_appManager = nullptr;
    MeasurementController* m_measurementController = nullptr;
    ProcessorController* m_processorController = nullptr;
    UserController* m_userController = nullptr;
    StateController* m_stateController = nullptr;
    PlotController* m_plotController = nullptr;
    UploadController* m_uploadController = nullptr;
    SetupController* m_setupController = nullptr;
    LiveController* m_liveController = nullptr;
    GuiManager* m_guiManager = nullptr;
};
