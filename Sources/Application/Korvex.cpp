#include "Application/Korvex.h"

#include "Application/AppManager.h"
#include "Application/GuiManager.h"
#include "Application/Helper.h"
#include "Application/NotificationHub.h"
#include "Application/StartOptions.h"
#include "Application/StateController.h"
#include "Application/WindowSnapshot.h"
#include "Data/Measurement.h"
#include "Data/MeasurementController.h"
#include "Data/Store.h"
#include "Data/User.h"
#include "Data/UserController.h"
#include "Devices/DeviceManager.h"
#include "Devices/DevicesModel.h"
#include "Devices/KtDevice.h"
#include "Links/InterfaceManagerPC.h"
#include "Log/LogCategories.h"
#include "Plotting/PlotController.h"
#include "Processing/ProcessorController.h"
#include "Workflows/LiveController.h"
#include "Workflows/SetupController.h"
#include "Workflows/UploadController.h"

#include <QDebug>
#include <QMetaType>
#include <QQuickWindow>
#include <QSerialPort>

Korvex::Korvex(QObject* parent)
    : QObject(parent)
{
    // Identifiers come from the system's random source (Helper), which needs
    // no seed.
    RegisterCutomTypes();

    m_store = Store::instance();
    m_store->InitDebug(QStringLiteral("DebugQuaterion.txt"));

    m_deviceManager = new DeviceManager();

    // Scanning and polling start with the event loop.
    m_interfaceManager = new InterfaceManagerPC();

    m_notificationHub = NotificationHub::instance();

    m_appManager = new AppManager(nullptr);

    m_measurementController = new MeasurementController();

    m_processorController = new ProcessorController(nullptr, m_measurementController);
    m_measurementController->setProcessorController(m_processorController);

    m_deviceManager->setInterfaceManager(m_interfaceManager);

    m_deviceManager->getDevicesModel()->setMesurementController(m_measurementController);

    m_interfaceManager->setDeviceManager(m_deviceManager);

    m_userController = new UserController();
    m_stateController = new StateController();

    m_plotController = new PlotController(nullptr, m_measurementController);

    m_uploadController = new UploadController(nullptr, m_deviceManager, m_measurementController, m_stateController);
    m_setupController = new SetupController(nullptr, m_deviceManager, m_measurementController, m_stateController);
    m_liveController = new LiveController(nullptr, m_deviceManager, m_measurementController, m_stateController);

    // A newly connected sensor is first asked for its state and firmware,
    // then its allocation table is read.
    connect(m_deviceManager, &DeviceManager::deviceConnected, m_setupController,
            &SetupController::queryInitialState);
    connect(m_deviceManager, &DeviceManager::deviceConnected, m_uploadController,
            qOverload<quint64>(&UploadController::uploadAllMeasurementsFromDevice));
    connect(m_setupController, &SetupController::baseFrequencyStored, m_measurementController,
            &MeasurementController::setBaseFrequency);
    connect(m_setupController, &SetupController::numberOfMessagesChanged, m_stateController,
            &StateController::SetupTasksChanged);
    connect(m_uploadController, &UploadController::numberOfMessagesChanged, m_stateController,
            &StateController::DataTasksChanged);
    // Every sensor of a live stream gets its live plot, which stops
    // redrawing when the stream is stopped.
    connect(m_liveController, &LiveController::liveStreamStarted, m_plotController,
            &PlotController::createLivePlotter);
    connect(m_liveController, &LiveController::liveStreamStopped, m_plotController,
            &PlotController::stopLivePlotters);

    // One thing at a time on the sensors: a recording, a live view or a
    // setup each refuses to start while another one runs.
    UploadController* upload = m_uploadController;
    LiveController* live = m_liveController;
    SetupController* setup = m_setupController;
    upload->setLiveViewQuery([live] { return live->isStreaming(); });
    upload->setSetupQuery([setup] { return setup->isRunning(); });
    live->setRecordingQuery([upload] { return upload->isRecording(); });
    live->setSetupQuery([setup] { return setup->isRunning(); });
    setup->setRecordingQuery([upload] { return upload->isRecording(); });
    setup->setLiveViewQuery([live] { return live->isStreaming(); });

    // The scene comes last: it sees every controller and every connection.
    m_guiManager = new GuiManager(m_deviceManager, m_appManager, m_setupController, m_liveController,
                                  m_uploadController, m_stateController, m_measurementController,
                                  m_userController, m_interfaceManager, m_plotController, m_processorController);

    // Stored users reach the controller through the same slot as new ones;
    // files come oldest first and each is put on top of the list.
    auto* userPrototype = new User();
    connect(userPrototype, &User::loadedUserFromDisk, m_userController, &UserController::addUser);
    userPrototype->scanForFilesAndLoad();
    userPrototype->deleteLater();
    // The athlete selected last time is selected again, if still listed.
    m_stateController->setSelectionFile(Helper::getUserPath() + QStringLiteral("/selected-athlete.txt"));
    if (const User* last = m_userController->findUser(m_stateController->storedUser()))
        m_stateController->selectUser(last->getUserName());

    // Stored devices, then stored measurements, reach their controllers
    // through the same slots as new ones.
    auto* devicePrototype = new KtDevice(0);
    connect(devicePrototype, &KtDevice::loadedDeviceFromDisk, m_deviceManager, &DeviceManager::addDevice);
    // Sensors once reached over Bluetooth are tried again by address.
    connect(devicePrototype, &KtDevice::foundKnownBluetoothAddress, m_interfaceManager,
            &InterfaceManager::addKnownBtAddress);
    devicePrototype->scanForFilesAndLoad();
    devicePrototype->deleteLater();

    auto* measurementPrototype = new Measurement(nullptr, 0);
    connect(measurementPrototype, &Measurement::loadedMeasurementFromDisk, m_measurementController,
            qOverload<Measurement*>(&MeasurementController::addMeasurementOnHost));
    measurementPrototype->scanForFilesAndLoad();
    measurementPrototype->deleteLater();
}

Korvex::~Korvex()
{
    qCDebug(lcApp) << "In Korvex destructor.";
    // The scene goes before anything it shows: no binding or plot item may
    // reach a controller that is already gone.
    delete m_guiManager;
    m_guiManager = nullptr;
    // A stream that still runs is kept like one that was stopped.
    m_liveController->saveStreamedData();
    // Closes every link (devices go offline) while the logs are still open.
    delete m_interfaceManager;
    m_interfaceManager = nullptr;
    Store::drop();
    m_store = nullptr;
    // Freed here rather than left to the end of the process, so that a leak
    // check at exit sees only real leaks. The workflows go first: they use
    // the others until they are gone.
    delete m_liveController;
    m_liveController = nullptr;
    delete m_uploadController;
    m_uploadController = nullptr;
    delete m_setupController;
    m_setupController = nullptr;
    delete m_stateController;
    m_stateController = nullptr;
    // Plot items hold only guarded pointers into the measurements, but go
    // before them all the same.
    delete m_plotController;
    m_plotController = nullptr;
    delete m_userController;
    m_userController = nullptr;
    delete m_appManager;
    m_appManager = nullptr;
    // Before the measurements its processors work on.
    delete m_processorController;
    m_processorController = nullptr;
    delete m_measurementController;
    m_measurementController = nullptr;
    delete m_deviceManager;
    m_deviceManager = nullptr;
    qCDebug(lcApp) << "Korvex destructor done.";
}

void Korvex::applyStartOptions(const StartOptions& options)
{
    if (options.windowSize().isValid()) {
        if (QQuickWindow* window = m_guiManager->mainWindow())
            window->resize(options.windowSize());
        else
            qCWarning(lcApp) << "There is no window to resize to" << options.windowSize();
    }
    if (!options.screenshotPath().isEmpty()) {
        // A child of the root: it goes with the root, and it asks for the
        // window only when the time has come.
        auto* snapshot = new WindowSnapshot(m_guiManager, options.screenshotPath(), this);
        snapshot->start(options.screenshotDelayMs());
    }
}

void Korvex::RegisterCutomTypes()
{
    qRegisterMetaType<QSerialPort::SerialPortError>("QSerialPort::SerialPortError");
    qRegisterMetaType<Measurement*>("MeasurementPointer");
}
