#include "Links/SerialProbes.h"

#include "Log/LogCategories.h"
#include "Protocol/GetSerial.h"

#include <QDebug>

#include <algorithm>

SerialProbes::SerialProbes(Writer write, EndPosition endPosition, QObject* parent)
    : QObject(parent)
    , m_write(std::move(write))
    , m_endPosition(std::move(endPosition))
{
}

void SerialProbes::start(const QString& identifier)
{
    auto* request = new GetSerial(identifier);
    request->setParent(this);
    // What the link delivered before the first question cannot be the
    // answer: a link that comes back under its old name still holds the
    // bytes of whatever sat behind it before.
    request->setReplyNotBefore(m_endPosition(identifier));
    // Listed before it goes out, so that whatever the write sets off
    // finds it (and a loss on the way releases it).
    m_pending.append(request);
    m_write(identifier, request->Compose());
}

void SerialProbes::tick(const QString& identifier, bool bound)
{
    GetSerial* pending = pendingFor(identifier);
    if (bound || (pending != nullptr && !pending->failed())) {
        m_unboundTicks.remove(identifier);
        return;
    }
    int& ticks = m_unboundTicks[identifier];
    if (++ticks < kReprobeAfterTicks)
        return;
    ticks = 0;
    qCDebug(lcLinks) << " Asking interface " << identifier << " again for its serial.";
    if (pending != nullptr) {
        m_pending.removeAll(pending);
        pending->disposalHook();
    }
    start(identifier);
}

void SerialProbes::offer(const QString& identifier, const QByteArray& window, quint64 offset,
                         const Answered& answered)
{
    const QList<GetSerial*> snapshot = m_pending;
    for (GetSerial* request : snapshot) {
        if (!m_pending.contains(request) || request->getInterfaceIdentifier() != identifier)
            continue;
        if (request->tryToParse(window, offset)) {
            const quint64 serial = request->getReceivedSerial();
            qCDebug(lcLinks) << "Got valid serial message add mappings, remove request";
            qCDebug(lcLinks) << " Current message serial number: " << Qt::hex << serial;
            // Off the list before anyone hears of it: the registry's
            // listeners may send, and every send polls again.
            m_pending.removeAll(request);
            request->disposalHook();
            answered(serial);
        } else if (request->wantsToRetry()) {
            m_write(request->getInterfaceIdentifier(), request->Compose());
        }
    }
}

void SerialProbes::release(const QString& identifier)
{
    const QList<GetSerial*> snapshot = m_pending;
    for (GetSerial* request : snapshot) {
        if (request->getInterfaceIdentifier() != identifier)
            continue;
        m_pending.removeAll(request);
        request->disposalHook();
    }
    m_unboundTicks.remove(identifier);
}

GetSerial* SerialProbes::pendingFor(const QString& identifier) const
{
    for (GetSerial* request : m_pending) {
        if (request->getInterfaceIdentifier() == identifier)
            return request;
    }
    return nullptr;
}

int SerialProbes::count(const QString& identifier) const
{
    return int(std::count_if(m_pending.cbegin(), m_pending.cend(),
                             [&](GetSerial* request) { return request->getInterfaceIdentifier() == identifier; }));
}
