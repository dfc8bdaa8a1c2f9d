#pragma once

#include "Application/StateController.h"
#include "Data/MeasurementController.h"
#include "Devices/DeviceManager.h"
#include "Links/InterfaceManagerPC.h"
#include "Workflows/SetupController.h"

#include "SimClock.h"
#include "SimulatedLink.h"
#include "SimulatedSensor.h"
#include "TemporaryStorage.h"

#include <QMap>
#include <QPointer>
#include <QSharedPointer>

#include <functional>
#include <memory>

class Message;

// The registry, the desktop link manager (with its own timers) and the setup
// workflow, wired as the application wires them, on a fresh storage folder.
// Sensors are simulated links added to the manager.
struct WorkflowRig
{
    // On a fresh storage folder, or on the folder of an earlier rig (a
    // second start of the program).
    explicit WorkflowRig(const QString& storageFolder = QString());

    // Plugs a sensor in and opens its link at once (instead of on the next
    // connect tick); the next poll binds it. The link's identifier is
    // "sim" + the serial in hexadecimal. Like the real links it reads at
    // most 1024 bytes per poll.
    // A "bluetooth" link gets the Bluetooth rank (2), any other the USB one.
    QSharedPointer<sensorsim::SimulatedSensor> plug(quint64 serial,
                                                    std::shared_ptr<sensorsim::SimClock> clock = nullptr,
                                                    const QString& type = QStringLiteral("usb"));
    // The same sensor on a new link of the kind it was plugged in with
    // (after the old one was unplugged).
    void plugAgain(const QSharedPointer<sensorsim::SimulatedSensor>& sensor);
    // The sensor, already plugged in, also over its other transport: a
    // second link of the given type, opened at once like plug(), whose
    // identifier is "sim" + the serial in hexadecimal + "-bt" or "-usb".
    QPointer<SimulatedLink> plugSecondLink(const QSharedPointer<sensorsim::SimulatedSensor>& sensor,
                                           const QString& type);

    // Runs the event loop until the condition holds or the time is up.
    static bool pumpUntil(const std::function<bool()>& condition, int limitMs = 20000);

    // Lost, refused and corrupted replies and bursts of noise.
    static sensorsim::SensorFaults poorLine();
    // A setup of 18 commands per sensor: raw accelerometer and gyroscope,
    // battery, 500 Hz, colour 0x00A0FF.
    void startTypicalSetup();

    // Reads the stored measurements into the registry, as the program does
    // at start-up.
    void loadStoredMeasurements();

    bool online(quint64 serial) const;
    // Nothing queued or in flight in the setup workflow.
    bool settled();
    // The setup workflow's message in flight to that sensor, if any.
    Message* inFlight(quint64 serial);

    TemporaryStorage storage;
    DeviceManager devices;
    InterfaceManagerPC links;
    MeasurementController measurements;
    StateController state;
    SetupController setup {nullptr, &devices, &measurements, &state};
    QMap<quint64, QPointer<SimulatedLink>> linkOf;
    QMap<quint64, QPointer<SimulatedLink>> secondLinkOf;
};
