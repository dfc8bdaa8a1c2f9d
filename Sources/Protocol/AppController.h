#pragma once

#include "Protocol/MessageLists.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>

class DeviceManager;
class MeasurementController;
class Message;
class QTimer;
class StateController;

// The per-device message scheduler. It lives beside the messages rather than
// with the workflows because it is the protocol's half of every exchange: it
// decides when a frame goes out, offers every received window to the messages
// that wait for a reply and retires them. Each workflow controller derives
// from it, so every workflow has queues, a send timer and a registry
// connection of its own and never touches another workflow's messages.
//
// Per device there are three lists: messages waiting to be sent (scheduled),
// messages sent and waiting for their reply (active), and messages that are
// never sent and only read what arrives (listening, the stream parsers). A
// device has at most one active message at a time, so requests reach a
// sensor in the order they were scheduled.
class AppController : public QObject
{
    Q_OBJECT
public:
    using MessageList = MessageLists::MessageList;

    AppController(QObject* parent, DeviceManager* deviceManager, MeasurementController* measurementController,
                  StateController* stateController);
    ~AppController() override;

    // Queues the message for its device; false (and the caller keeps the
    // message) when the device is unknown or offline. With clearFirst the
    // device's scheduled and active messages are dropped and disposed first.
    bool scheduleMessage(Message* message, bool clearFirst);
    void addListeningMessage(quint64 deviceSerial, Message* message);
    void removeScheduledMessage(Message* message);
    void removeActiveMessage(Message* message);
    void removeListeningMessage(Message* message);

    // The device's lists, created empty on first use; they stay in place
    // until the maps are flushed.
    MessageList* scheduledMessages(quint64 deviceSerial);
    MessageList* activeMessages(quint64 deviceSerial);
    MessageList* listeningMessages(quint64 deviceSerial);

    int numberOfScheduledMessages() const;
    int numberOfActiveMessages() const;
    // Every scheduled message of every device, devices in ascending order.
    MessageList allScheduledMessages() const;

    void checkIdle();
    // Composes the frame and writes it to the message's device, nothing else.
    void sendMessage(Message* message);

    // A new measurement on the host, stamped with the current selection, whose
    // id goes to every connected sensor.
    quint64 generateNewMeasurement();

    bool isSending() const;

Q_SIGNALS:
    void numberOfMessagesChanged(int numberOfMessaages);

public Q_SLOTS:
    virtual void receivedDataFromDevice(quint64 DeviceSerial, QByteArray dataReceived, quint64 bufferOffset);
    void sendScheduledMessages();
    void clearMessageLists(quint64 deviceSerial);
    void clearMessageList(QList<Message*>* listToDelete);
    void FlushAllMessages();
    void requestAllDeviceState();
    void requestDeviceState(quint64 dev);
    void requestDeviceFirmware(quint64 dev);
    virtual void messageDone(quint64 DeviceSerial);
    virtual void messageFailed(quint64 DeviceSerial);
    virtual void messageAborted(quint64 DeviceSerial);
    virtual void messageTimeout(quint64 DeviceSerial);

protected:
    // Schedules the message, or deletes it when its device cannot take it
    // (unknown or offline): a message nobody queued is nobody's.
    bool queue(Message* message, bool clearFirst = false);
    // The online sensors, newest first; none without a registry.
    QList<quint64> connectedSerials() const;
    bool isDeviceOnline(quint64 deviceSerial) const;

    virtual void updateNumberOfTasks();
    virtual void idleHook();

    void sendMessageAndListenForAnswer(Message* message);

    DeviceManager* deviceManager() const;
    MeasurementController* measurementController() const;
    StateController* stateController() const;

private:
    // Sends the message and lists it as active; one taken from the scheduled
    // list leaves that list first.
    void transmit(Message* message, bool fromScheduled);
    // Writes a composed frame over the link the message goes by.
    void write(Message* message, const QByteArray& frame);
    // Sends the device's next scheduled message if nothing of it is in flight.
    void sendNextNow(quint64 deviceSerial);
    bool hasScheduledMessages() const;
    bool hasActiveMessages() const;

    QPointer<DeviceManager> m_deviceManager;
    QPointer<MeasurementController> m_measurementController;
    QPointer<StateController> m_stateController;
    MessageLists m_lists;
    qint32 maxActivePerDevice = 1;
    QTimer* sendTimer = nullptr;
    bool m_writing = false;
    // Devices whose next message goes out from the event loop.
    QSet<quint64> m_deferredSends;
};
