#include "Protocol/AppController.h"

#include "Application/StateController.h"
#include "Data/MeasurementController.h"
#include "Devices/DeviceManager.h"
#include "Devices/KtDevice.h"
#include "Log/LogCategories.h"
#include "Protocol/GetFirmware.h"
#include "Protocol/GetTopState.h"
#include "Protocol/Message.h"
#include "Protocol/SetMeasurementId.h"

#include <QDebug>
#include <QTimer>

namespace {

const int kSendIntervalMs = 5;

// The command token once a message has been composed, its class before.
QByteArray describe(const Message* message)
{
    const QByteArray command = message->getCommand();
    return command.isEmpty() ? QByteArray(message->metaObject()->className()) : command;
}

} // namespace

AppController::AppController(QObject* parent, DeviceManager* deviceManager,
                             MeasurementController* measurementController, StateController* stateController)
    : QObject(parent)
    , m_deviceManager(deviceManager)
    , m_measurementController(measurementController)
    , m_stateController(stateController)
    , maxActivePerDevice(1)
    , sendTimer(new QTimer(this))
{
    sendTimer->setInterval(kSendIntervalMs);
    sendTimer->setSingleShot(false);
    connect(sendTimer, &QTimer::timeout, this, &AppController::sendScheduledMessages);
    if (deviceManager != nullptr) {
        connect(deviceManager, &DeviceManager::deviceDisconnected, this, &AppController::clearMessageLists,
                Qt::UniqueConnection);
        connect(deviceManager, &DeviceManager::receivedDataFromDevice, this,
                &AppController::receivedDataFromDevice);
    }
}

// Queued messages are children of the scheduler and go with it.
AppController::~AppController() = default;

DeviceManager* AppController::deviceManager() const
{
    return m_deviceManager.data();
}

MeasurementController* AppController::measurementController() const
{
    return m_measurementController.data();
}

StateController* AppController::stateController() const
{
    return m_stateController.data();
}

bool AppController::isSending() const
{
    return sendTimer->isActive();
}

AppController::MessageList* AppController::scheduledMessages(quint64 deviceSerial)
{
    return m_lists.of(MessageLists::Scheduled, deviceSerial);
}

AppController::MessageList* AppController::activeMessages(quint64 deviceSerial)
{
    return m_lists.of(MessageLists::Active, deviceSerial);
}

AppController::MessageList* AppController::listeningMessages(quint64 deviceSerial)
{
    return m_lists.of(MessageLists::Listening, deviceSerial);
}

QList<quint64> AppController::connectedSerials() const
{
    return m_deviceManager.isNull() ? QList<quint64>() : m_deviceManager->getConnectedDeviceSerials();
}

bool AppController::isDeviceOnline(quint64 deviceSerial) const
{
    if (m_deviceManager.isNull())
        return false;
    const KtDevice* device = m_deviceManager->getDeviceBySerial(deviceSerial);
    return device != nullptr && device->getOnline();
}

bool AppController::scheduleMessage(Message* message, bool clearFirst)
{
    if (message == nullptr)
        return false;
    const quint64 serial = message->getDeviceSerial();
    if (serial == 0 || !isDeviceOnline(serial)) {
        qCDebug(lcProtocol) << "Device with serial " << Qt::hex << serial << Qt::dec
                            << " unknown or offline for message: " << describe(message);
        return false;
    }

    MessageList* scheduled = scheduledMessages(serial);
    MessageList* active = activeMessages(serial);
    MessageList dropped;
    if (clearFirst) {
        dropped = *active + *scheduled;
        active->clear();
        scheduled->clear();
        dropped.removeAll(message);
    }

    if (message->parent() == nullptr)
        message->setParent(this);
    if (!sendTimer->isActive())
        sendTimer->start();
    scheduled->append(message);

    // Whatever was dropped would otherwise keep its reply timer running and
    // its owner waiting for an outcome that never comes. It is disposed only
    // now that the new message is queued: a reaction to the abort (an upload
    // that starts the next one, say) may queue work of its own, and that has
    // to come after the message that was meant to go first.
    for (Message* old : qAsConst(dropped))
        old->disposalHook();
    updateNumberOfTasks();
    return true;
}

bool AppController::queue(Message* message, bool clearFirst)
{
    if (scheduleMessage(message, clearFirst))
        return true;
    delete message; // never queued, never sent
    return false;
}

void AppController::addListeningMessage(quint64 deviceSerial, Message* message)
{
    if (message == nullptr)
        return;
    MessageList* listening = listeningMessages(deviceSerial);
    if (listening->contains(message))
        return;
    if (message->parent() == nullptr)
        message->setParent(this);
    listening->append(message);
}

void AppController::removeScheduledMessage(Message* message)
{
    if (message == nullptr)
        return;
    if (MessageList* scheduled = m_lists.find(MessageLists::Scheduled, message->getDeviceSerial()))
        scheduled->removeAll(message);
    updateNumberOfTasks();
}

void AppController::removeActiveMessage(Message* message)
{
    if (message == nullptr)
        return;
    MessageList* active = m_lists.find(MessageLists::Active, message->getDeviceSerial());
    // Disposed only when it was still ours: a second disposal would report a
    // second abort.
    if (active != nullptr && active->removeAll(message) > 0)
        message->disposalHook();
    updateNumberOfTasks();
}

void AppController::removeListeningMessage(Message* message)
{
    if (message == nullptr)
        return;
    MessageList* listening = m_lists.find(MessageLists::Listening, message->getDeviceSerial());
    if (listening != nullptr && listening->removeAll(message) > 0)
        message->disposalHook();
    updateNumberOfTasks();
}

int AppController::numberOfScheduledMessages() const
{
    return m_lists.count(MessageLists::Scheduled);
}

int AppController::numberOfActiveMessages() const
{
    return m_lists.count(MessageLists::Active);
}

AppController::MessageList AppController::allScheduledMessages() const
{
    return m_lists.all(MessageLists::Scheduled);
}

bool AppController::hasScheduledMessages() const
{
    return numberOfScheduledMessages() > 0;
}

bool AppController::hasActiveMessages() const
{
    return numberOfActiveMessages() > 0;
}

void AppController::checkIdle()
{
    // Idle means nothing left to do: nothing waiting to be sent and nothing
    // waiting for its reply. A request still in flight on another device may
    // yet need to be sent again, so the send timer keeps running for it, and
    // the work is not finished before its reply is in.
    if (hasScheduledMessages() || hasActiveMessages())
        return;
    sendTimer->stop();
    idleHook();
}

void AppController::idleHook()
{
}

void AppController::sendMessage(Message* message)
{
    if (message == nullptr || m_deviceManager.isNull())
        return;
    const QByteArray frame = message->Compose();
    write(message, frame);
}

void AppController::write(Message* message, const QByteArray& frame)
{
    const quint64 serial = message->getDeviceSerial();
    const QString link = m_deviceManager->routeIdentifier(serial, message->prefersFastLink());
    // Only what arrives on that link from here on can answer this transmission.
    message->setReplyLink(link);
    message->setReplyNotBefore(link.isEmpty() ? m_deviceManager->receivePosition(serial)
                                              : m_deviceManager->receivePosition(link));
    m_deviceManager->writeToDevice(serial, link, frame);
}

void AppController::sendMessageAndListenForAnswer(Message* message)
{
    transmit(message, false);
}

void AppController::transmit(Message* message, bool fromScheduled)
{
    if (message == nullptr)
        return;
    const quint64 serial = message->getDeviceSerial();
    if (serial == 0)
        return;

    // Once per message, however often it is sent: each outcome is reported
    // to this scheduler exactly once.
    connect(message, &Message::messageDone, this, &AppController::messageDone, Qt::UniqueConnection);
    connect(message, &Message::messageFailed, this, &AppController::messageFailed, Qt::UniqueConnection);
    connect(message, &Message::messageAborted, this, &AppController::messageAborted, Qt::UniqueConnection);
    connect(message, &Message::messageTimeout, this, &AppController::messageTimeout, Qt::UniqueConnection);

    const QByteArray frame = message->Compose();
    // The lists and the task count are brought up to date before the write:
    // the link manager reads the link right after writing, so a quick reply
    // (and all that follows from it) arrives before the write returns and
    // must find its message waiting.
    if (fromScheduled) {
        if (MessageList* scheduled = m_lists.find(MessageLists::Scheduled, serial))
            scheduled->removeAll(message);
    }
    MessageList* active = activeMessages(serial);
    if (!active->contains(message))
        active->append(message);
    if (fromScheduled)
        updateNumberOfTasks();
    if (!m_deviceManager.isNull()) {
        m_writing = true;
        write(message, frame);
        m_writing = false;
    }
}

void AppController::sendNextNow(quint64 deviceSerial)
{
    // A reply that arrives while a frame is being written (a sensor that
    // answers at once) gets its successor from the event loop, right after
    // this turn: sending from inside the write would nest one write in the
    // next for as long as replies come that quickly, and holding the loop
    // for a whole run of such exchanges would freeze the scene.
    if (m_writing) {
        if (!m_deferredSends.contains(deviceSerial)) {
            m_deferredSends.insert(deviceSerial);
            QMetaObject::invokeMethod(
                this,
                [this, deviceSerial] {
                    m_deferredSends.remove(deviceSerial);
                    sendNextNow(deviceSerial);
                },
                Qt::QueuedConnection);
        }
        return;
    }
    MessageList* scheduled = m_lists.find(MessageLists::Scheduled, deviceSerial);
    if (scheduled == nullptr || scheduled->isEmpty())
        return;
    const MessageList* active = m_lists.find(MessageLists::Active, deviceSerial);
    if (active != nullptr && active->size() >= maxActivePerDevice)
        return;
    transmit(scheduled->first(), true);
}

void AppController::sendScheduledMessages()
{
    // Sending can run the link manager's poll and so deliver replies (and
    // their consequences, up to a flush of every list) before it returns:
    // every list is looked up afresh after each send.
    const QList<quint64> serials = m_lists.sendingDevices();
    for (const quint64 serial : qAsConst(serials)) {
        if (const MessageList* active = m_lists.find(MessageLists::Active, serial)) {
            const MessageList snapshot = *active;
            for (Message* message : snapshot) {
                const MessageList* current = m_lists.find(MessageLists::Active, serial);
                if (current == nullptr || !current->contains(message))
                    continue;
                if (message->done() || message->failed())
                    removeActiveMessage(message);
                else if (message->wantsToRetry())
                    sendMessageAndListenForAnswer(message);
            }
        }

        MessageList* scheduled = m_lists.find(MessageLists::Scheduled, serial);
        const MessageList* active = m_lists.find(MessageLists::Active, serial);
        const int inFlight = active != nullptr ? active->size() : 0;
        if (scheduled != nullptr && !scheduled->isEmpty() && inFlight < maxActivePerDevice) {
            transmit(scheduled->first(), true);
        }
    }

    // Everything has ended without a last accepted reply: nothing is left to
    // send or resend, so the pass stops until the next message is scheduled.
    // The last message may have been a side errand that failed (a new
    // sensor's state query) after the real work was done, so this is an
    // idle moment too; the hook tells whether it finished anything.
    if (!hasScheduledMessages() && !hasActiveMessages() && sendTimer->isActive()) {
        sendTimer->stop();
        idleHook();
    }
}

void AppController::receivedDataFromDevice(quint64 DeviceSerial, QByteArray dataReceived, quint64 bufferOffset)
{
    if (DeviceSerial == 0)
        return;

    // The link the window came from, when the link manager hands it on.
    const QString link = m_deviceManager.isNull() ? QString() : m_deviceManager->windowLink();
    bool exchangeEnded = false;
    if (const MessageList* active = m_lists.find(MessageLists::Active, DeviceSerial)) {
        const MessageList snapshot = *active;
        for (Message* message : snapshot) {
            // A message dropped while the window is being offered (a flush on
            // failure, a disconnect) is no longer ours to handle.
            const MessageList* current = m_lists.find(MessageLists::Active, DeviceSerial);
            if (current == nullptr || !current->contains(message))
                continue;
            if (message->getDeviceSerial() != DeviceSerial)
                continue;
            const bool accepted = message->offerWindow(link, dataReceived, bufferOffset);
            // A message that has ended leaves the list at once, whatever its
            // parse returned: left in place it would be offered the same
            // frame again with the next window and end a second time.
            if (message->done() || message->failed()) {
                removeActiveMessage(message);
                exchangeEnded = true;
                checkIdle();
                continue;
            }
            if (!accepted)
                continue;
            if (message->reschedule()) {
                MessageList* still = m_lists.find(MessageLists::Active, DeviceSerial);
                if (still != nullptr && still->removeAll(message) > 0 && !scheduleMessage(message, false))
                    message->disposalHook(); // its device is gone; nobody would send the next step
                exchangeEnded = true;
            }
            checkIdle();
        }
    }
    // The sensor is free again: its next request goes out now rather than
    // with the next send pass, so a run of requests (the pages of an upload)
    // keeps pace with the link instead of with the pass.
    if (exchangeEnded)
        sendNextNow(DeviceSerial);

    if (const MessageList* listening = m_lists.find(MessageLists::Listening, DeviceSerial)) {
        const MessageList snapshot = *listening;
        for (Message* message : snapshot) {
            const MessageList* current = m_lists.find(MessageLists::Listening, DeviceSerial);
            if (current == nullptr || !current->contains(message))
                continue;
            if (message->getDeviceSerial() != DeviceSerial)
                continue;
            message->offerWindow(link, dataReceived, bufferOffset);
            if (message->done())
                removeListeningMessage(message);
        }
    }
}

void AppController::clearMessageList(QList<Message*>* listToDelete)
{
    if (listToDelete == nullptr)
        return;
    qCDebug(lcProtocol) << " deleting all elements of list: " << *listToDelete;
    MessageLists::disposeAll(listToDelete);
}

void AppController::clearMessageLists(quint64 deviceSerial)
{
    qCDebug(lcProtocol) << " Clearing message lists: " << Qt::hex << deviceSerial;
    if (MessageList* active = m_lists.find(MessageLists::Active, deviceSerial))
        clearMessageList(active);
    if (MessageList* listening = m_lists.find(MessageLists::Listening, deviceSerial))
        clearMessageList(listening);
    if (MessageList* scheduled = m_lists.find(MessageLists::Scheduled, deviceSerial))
        clearMessageList(scheduled);
    updateNumberOfTasks();
}

void AppController::FlushAllMessages()
{
    const MessageList flushed = m_lists.takeSendable();
    for (Message* message : flushed) {
        qCDebug(lcProtocol) << " remove message: " << message << " from list ";
        message->disposalHook();
    }
    updateNumberOfTasks();
}

void AppController::updateNumberOfTasks()
{
    Q_EMIT numberOfMessagesChanged(m_lists.iterationsLeft());
}

void AppController::requestAllDeviceState()
{
    if (m_deviceManager.isNull())
        return;
    const QList<quint64> serials = m_deviceManager->getConnectedDeviceSerials();
    for (const quint64 serial : serials)
        requestDeviceState(serial);
}

void AppController::requestDeviceState(quint64 dev)
{
    auto* request = new GetTopState(dev);
    if (!m_deviceManager.isNull())
        connect(request, &GetTopState::gotState, m_deviceManager.data(), &DeviceManager::updateDeviceState);
    queue(request);
}

void AppController::requestDeviceFirmware(quint64 dev)
{
    auto* request = new GetFirmware(dev);
    if (!m_deviceManager.isNull())
        connect(request, &GetFirmware::gotFirmwareRevision, m_deviceManager.data(),
                &DeviceManager::updateDeviceFirmware);
    queue(request);
}

quint64 AppController::generateNewMeasurement()
{
    if (m_measurementController.isNull() || m_stateController.isNull()) {
        qCDebug(lcProtocol) << " No measurement controller or selection state for a new measurement.";
        return 0;
    }
    const quint64 id = m_measurementController->addMeasurementOnHost(
        m_stateController->getUser(), m_stateController->getApp(), m_stateController->getSetup());
    if (!m_deviceManager.isNull()) {
        const QList<quint64> serials = m_deviceManager->getConnectedDeviceSerials();
        for (const quint64 serial : serials) {
            queue(new SetMeasurementId(serial, id));
        }
    }
    return id;
}

void AppController::messageDone(quint64 DeviceSerial)
{
    Q_UNUSED(DeviceSerial)
    qCDebug(lcProtocol) << " Appcontroller, message " << sender() << " done.";
}

void AppController::messageFailed(quint64 DeviceSerial)
{
    Q_UNUSED(DeviceSerial)
    qCDebug(lcProtocol) << " Appcontroller, message " << sender() << " failed.";
}

void AppController::messageAborted(quint64 DeviceSerial)
{
    Q_UNUSED(DeviceSerial)
    qCDebug(lcProtocol) << " Appcontroller, message " << sender() << " aborted.";
}

void AppController::messageTimeout(quint64 DeviceSerial)
{
    Q_UNUSED(DeviceSerial)
    qCDebug(lcProtocol) << " Appcontroller, message " << sender() << " timeout.";
}
