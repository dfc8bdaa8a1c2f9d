#include "Protocol/MessageLists.h"

#include "Log/LogCategories.h"
#include "Protocol/Message.h"

#include <QDebug>

#include <algorithm>

MessageLists::ListMap& MessageLists::map(Kind kind)
{
    return kind == Scheduled ? m_scheduled : kind == Active ? m_active : m_listening;
}

const MessageLists::ListMap& MessageLists::map(Kind kind) const
{
    return kind == Scheduled ? m_scheduled : kind == Active ? m_active : m_listening;
}

MessageLists::MessageList* MessageLists::of(Kind kind, quint64 deviceSerial)
{
    std::unique_ptr<MessageList>& list = map(kind)[deviceSerial];
    if (!list) {
        list = std::make_unique<MessageList>();
        static const char* const names[] = {"scheduled", "active", "listening"};
        qCDebug(lcProtocol) << " Created new" << names[kind] << "message list for device: " << Qt::hex << deviceSerial;
    }
    return list.get();
}

MessageLists::MessageList* MessageLists::find(Kind kind, quint64 deviceSerial) const
{
    const ListMap& lists = map(kind);
    const auto it = lists.find(deviceSerial);
    return it == lists.end() ? nullptr : it->second.get();
}

int MessageLists::count(Kind kind) const
{
    int count = 0;
    for (const auto& entry : map(kind))
        count += entry.second->size();
    return count;
}

MessageLists::MessageList MessageLists::all(Kind kind) const
{
    MessageList all;
    for (const auto& entry : map(kind))
        all += *entry.second;
    return all;
}

QList<quint64> MessageLists::sendingDevices() const
{
    QList<quint64> serials;
    for (const auto& entry : m_scheduled)
        serials.append(entry.first);
    for (const auto& entry : m_active) {
        if (!serials.contains(entry.first))
            serials.append(entry.first);
    }
    std::sort(serials.begin(), serials.end());
    return serials;
}

int MessageLists::iterationsLeft() const
{
    int sum = 0;
    for (const ListMap* lists : {&m_active, &m_scheduled}) {
        for (const auto& entry : *lists) {
            for (Message* message : qAsConst(*entry.second))
                sum += message->iterationsLeft();
        }
    }
    return sum;
}

MessageLists::MessageList MessageLists::takeSendable()
{
    ListMap scheduled;
    ListMap active;
    scheduled.swap(m_scheduled);
    active.swap(m_active);
    MessageList taken;
    // In the order they were disposed of before: each list last first,
    // every scheduled list before the active ones.
    for (const ListMap* lists : {&scheduled, &active}) {
        for (const auto& entry : *lists) {
            for (auto it = entry.second->crbegin(); it != entry.second->crend(); ++it)
                taken.append(*it);
        }
    }
    return taken;
}

void MessageLists::disposeAll(MessageList* list)
{
    MessageList doomed;
    doomed.swap(*list);
    while (!doomed.isEmpty()) {
        Message* message = doomed.takeLast();
        qCDebug(lcProtocol) << " remove message: " << message << " from list ";
        message->disposalHook();
    }
}
