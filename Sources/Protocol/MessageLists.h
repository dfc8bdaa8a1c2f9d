#pragma once

#include <QList>

#include <map>
#include <memory>

class Message;

// A scheduler's messages, per device in three lists: waiting to be sent
// (scheduled), sent and waiting for their reply (active), and never sent,
// only reading what arrives (listening). A device's list is made on first
// use and stays in place, so a pointer to it holds while messages come and
// go; only taking the lists away ends them.
class MessageLists
{
public:
    using MessageList = QList<Message*>;
    enum Kind { Scheduled, Active, Listening };

    // The device's list, made empty on first use.
    MessageList* of(Kind kind, quint64 deviceSerial);
    // The device's list, or null when it has none.
    MessageList* find(Kind kind, quint64 deviceSerial) const;

    int count(Kind kind) const;
    // Every message of the kind, devices in ascending order.
    MessageList all(Kind kind) const;
    // The devices with a scheduled or an active list, ascending.
    QList<quint64> sendingDevices() const;
    // The iterations still to come of every scheduled and active message.
    int iterationsLeft() const;

    // Empties every scheduled and active list and hands their messages
    // over, so that whatever the caller sets off finds a clean slate.
    MessageList takeSendable();

    // Disposes of every message of the list, last first. The list is emptied
    // first, so that whatever an abort sets off finds it empty already.
    static void disposeAll(MessageList* list);

private:
    using ListMap = std::map<quint64, std::unique_ptr<MessageList>>;

    ListMap& map(Kind kind);
    const ListMap& map(Kind kind) const;

    ListMap m_scheduled;
    ListMap m_active;
    ListMap m_listening;
};
