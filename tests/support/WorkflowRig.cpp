#include "WorkflowRig.h"

#include "Protocol/Message.h"

#include "Data/Measurement.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <QTest>

namespace {

// What the serial and Bluetooth links read per poll at most.
const int kLinkReadBytes = 1024;

int rankFor(const QString& type)
{
    return type == QLatin1String("bluetooth") ? 2 : 3;
}

// Added to the manager and opened at once instead of on the next connect tick.
void openAtOnce(InterfaceManagerPC& links, SimulatedLink* link)
{
    link->setMaxReadBytes(kLinkReadBytes);
    links.addDiscoveredInterface(link);
    QMetaObject::invokeMethod(&links, "tryConnectDevices");
}

} // namespace

WorkflowRig::WorkflowRig(const QString& storageFolder)
    : storage(storageFolder)
{
    devices.setInterfaceManager(&links);
    links.setDeviceManager(&devices);
    QObject::connect(&devices, &DeviceManager::deviceConnected, &setup, &SetupController::queryInitialState);
    QObject::connect(&setup, &SetupController::numberOfMessagesChanged, &state, &StateController::SetupTasksChanged);
}

QSharedPointer<sensorsim::SimulatedSensor> WorkflowRig::plug(quint64 serial,
                                                              std::shared_ptr<sensorsim::SimClock> clock,
                                                              const QString& type)
{
    auto* link = new SimulatedLink(serial, QStringLiteral("sim%1").arg(serial, 0, 16), type, rankFor(type),
                                   std::move(clock), serial);
    linkOf[serial] = link;
    openAtOnce(links, link);
    return link->sharedSensor();
}

void WorkflowRig::plugAgain(const QSharedPointer<sensorsim::SimulatedSensor>& sensor)
{
    const QString type = sensor->primaryPort() == sensorsim::Port::Bluetooth ? QStringLiteral("bluetooth")
                                                                             : QStringLiteral("usb");
    auto* link = new SimulatedLink(sensor, QStringLiteral("sim%1").arg(sensor->serial(), 0, 16), type,
                                   rankFor(type));
    linkOf[sensor->serial()] = link;
    openAtOnce(links, link);
}

QPointer<SimulatedLink> WorkflowRig::plugSecondLink(const QSharedPointer<sensorsim::SimulatedSensor>& sensor,
                                                    const QString& type)
{
    const QString suffix = type == QLatin1String("bluetooth") ? QStringLiteral("-bt") : QStringLiteral("-usb");
    auto* link = new SimulatedLink(sensor, QStringLiteral("sim%1").arg(sensor->serial(), 0, 16) + suffix, type,
                                   rankFor(type));
    secondLinkOf[sensor->serial()] = link;
    openAtOnce(links, link);
    return link;
}

bool WorkflowRig::pumpUntil(const std::function<bool()>& condition, int limitMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > limitMs)
            return false;
        QTest::qWait(1);
    }
    return true;
}

sensorsim::SensorFaults WorkflowRig::poorLine()
{
    sensorsim::SensorFaults faults;
    faults.dropProbability = 0.10;
    faults.nokProbability = 0.05;
    faults.corruptProbability = 0.01;
    faults.garbageProbability = 0.25;
    faults.garbageMaxBytes = 48;
    return faults;
}

void WorkflowRig::startTypicalSetup()
{
    setup.prepareForSetup();
    setup.addRawAccelTracks(1);
    setup.addRawGyroTracks(2);
    setup.addBatteryVoltageTrack(100);
    setup.setBaseFrequency(500);
    setup.setDeviceColor(0x00A0FF);
    setup.finishSetup();
}

void WorkflowRig::loadStoredMeasurements()
{
    auto* prototype = new Measurement(nullptr, 0);
    QObject::connect(prototype, &Measurement::loadedMeasurementFromDisk, &measurements,
                     qOverload<Measurement*>(&MeasurementController::addMeasurementOnHost));
    prototype->scanForFilesAndLoad();
    delete prototype;
}

bool WorkflowRig::online(quint64 serial) const
{
    return devices.getConnectedDeviceSerials().contains(serial);
}

bool WorkflowRig::settled()
{
    return setup.numberOfScheduledMessages() + setup.numberOfActiveMessages() == 0;
}

Message* WorkflowRig::inFlight(quint64 serial)
{
    const QList<Message*>* active = setup.activeMessages(serial);
    return active->isEmpty() ? nullptr : active->first();
}
