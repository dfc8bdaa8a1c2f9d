#include "Links/InterfaceManager.h"

#include "Application/Helper.h"
#include "Application/NotificationHub.h"
#include "Data/Store.h"
#include "Devices/DeviceManager.h"
#include "Devices/KtDevice.h"
#include "Links/RemoteInterface.h"
#include "Links/SerialProbes.h"
#include "Log/LogCategories.h"

#include <QDataStream>
#include <QDebug>

#include <algorithm>

InterfaceManager::InterfaceManager(QObject* parent)
    : QObject(parent)
    , m_probes(new SerialProbes([this](const QString& identifier,
                                       const QByteArray& frame) { writeToInterface(identifier, frame); },
                                [this](const QString& identifier) { return endPosition(identifier); }, this))
{
    m_pollTimer.setInterval(kSlowPollIntervalMs);
    connect(&m_pollTimer, &QTimer::timeout, this, &InterfaceManager::pollComm);
    m_connectTimer.setInterval(kConnectIntervalMs);
    connect(&m_connectTimer, &QTimer::timeout, this, &InterfaceManager::tryConnectDevices);
}

InterfaceManager::~InterfaceManager()
{
    qCDebug(lcLinks) << " Interface manager destructor.";
    m_scanTimer.stop();
    m_pollTimer.stop();
    m_connectTimer.stop();
    removeAllInterfaces();
    // The links and requests are children of this object: whatever was only
    // scheduled for deletion goes now, as the event loop may not run again.
}

void InterfaceManager::setDeviceManager(DeviceManager* deviceManager)
{
    m_deviceManager = deviceManager;
}

bool InterfaceManager::addDiscoveredInterface(RemoteInterface* link)
{
    if (link == nullptr)
        return false;
    link->setParent(this);
    const QString identifier = link->identifier();
    if (connectedInterfaces.contains(identifier)) {
        // The open link of that name stays in charge; a second object for
        // the same name would leave its bindings behind.
        qCDebug(lcLinks) << " Interface is already connected, dropping the new one: " << identifier;
        link->deleteLater();
        return false;
    }
    RemoteInterface* previous = unconnectedInterfaces.value(identifier, nullptr);
    if (previous == link)
        return true;
    if (previous != nullptr)
        retireInterface(previous);
    unconnectedInterfaces.insert(identifier, link);
    connect(link, &RemoteInterface::didDisconnect, this, &InterfaceManager::InterfaceDisconnected);
    return true;
}

void InterfaceManager::retireInterface(RemoteInterface* link)
{
    // A link that has left the tables may still report its loss; by then its
    // name may belong to a new link, which must not be torn down for it.
    disconnect(link, nullptr, this, nullptr);
    link->deleteLater();
}

QByteArray* InterfaceManager::interfaceDataBuffer(QString identifier)
{
    return m_buffers.buffer(identifier);
}

quint64 InterfaceManager::interfaceBufferOffset(const QString& identifier) const
{
    return m_buffers.offset(identifier);
}

quint64 InterfaceManager::endPosition(const QString& identifier)
{
    return m_buffers.endPosition(identifier);
}

void InterfaceManager::emptyBuffer(const QString& identifier)
{
    m_buffers.empty(identifier);
}

void InterfaceManager::clearDeviceDataBuffers(quint64 serial)
{
    const QList<RemoteInterface*> links = linksBoundTo(serial);
    for (RemoteInterface* link : links)
        emptyBuffer(link->identifier());
}

quint64 InterfaceManager::receivePosition(quint64 serial)
{
    RemoteInterface* route = routeFor(serial);
    return route == nullptr ? 0 : endPosition(route->identifier());
}

quint64 InterfaceManager::receivePosition(const QString& identifier)
{
    return connectedInterfaces.contains(identifier) ? endPosition(identifier) : 0;
}

QString InterfaceManager::routeIdentifier(quint64 serial, bool fastest) const
{
    RemoteInterface* route = routeFor(serial, fastest);
    return route == nullptr ? QString() : route->identifier();
}

QList<RemoteInterface*> InterfaceManager::linksBoundTo(quint64 serial) const
{
    // The multi-map lists a key's values newest first.
    QList<RemoteInterface*> links = serialToInterfaces.values(serial);
    std::reverse(links.begin(), links.end());
    return links;
}

RemoteInterface* InterfaceManager::routeFor(quint64 serial, bool fastest) const
{
    RemoteInterface* best = nullptr;
    const QList<RemoteInterface*> links = linksBoundTo(serial);
    for (RemoteInterface* link : links) {
        if (best == nullptr)
            best = link;
        else if (fastest && transportOf(best) != transportOf(link))
            best = transportOf(link) == QLatin1String("cable") ? link : best;
        else if (!fastest && link->Rank() < best->Rank())
            best = link;
    }
    return best;
}

QString InterfaceManager::transportOf(RemoteInterface* link)
{
    if (link->type() == QLatin1String("bluetooth") || link->identifier().contains(QLatin1String("rfcomm")))
        return QStringLiteral("bluetooth");
    return QStringLiteral("cable");
}

void InterfaceManager::writeToDevice(quint64 serial, QByteArray frame)
{
    RemoteInterface* route = routeFor(serial);
    if (route == nullptr)
        return;
    writeToInterface(route->identifier(), frame);
    // A quick answer is picked up at once instead of on the next poll tick.
    pollComm();
}

void InterfaceManager::writeToDevice(quint64 serial, const QString& identifier, QByteArray frame)
{
    RemoteInterface* link = connectedInterfaces.value(identifier, nullptr);
    if (link == nullptr || !serialToInterfaces.contains(serial, link)) {
        writeToDevice(serial, frame);
        return;
    }
    writeToInterface(identifier, frame);
    pollComm();
}

void InterfaceManager::writeToInterface(QString identifier, QByteArray data)
{
    RemoteInterface* link = connectedInterfaces.value(identifier, nullptr);
    if (link == nullptr) {
        qCDebug(lcLinks) << " Interfacemanager was asked to write to nonexisting interface: " << identifier;
        return;
    }
    link->write(data);
    Store::instance()->logOutgoing(identifier, data);
}

bool InterfaceManager::tryReadFromInterface(QString identifier)
{
    RemoteInterface* link = connectedInterfaces.value(identifier, nullptr);
    if (link == nullptr) {
        qCDebug(lcLinks) << "Tried to read from non-existing interface " << identifier;
        return false;
    }
    const QByteArray bytes = link->read();
    m_lastReadBytes = bytes.size();
    const quint64 serial = interfaceToSerial.value(link, 0);
    const bool delivered = !bytes.isEmpty();
    if (delivered) {
        Store::instance()->logIncoming(identifier, bytes);
        m_buffers.append(identifier, bytes);
    }
    // Every poll hands the window on, also an unchanged one: waiting
    // messages count their time-outs and retries from these calls.
    const QByteArray window = *m_buffers.buffer(identifier);
    const quint64 offset = m_buffers.offset(identifier);
    checkPendingIdMessages(identifier, window, offset);
    if (!m_deviceManager.isNull()) {
        // Receivers may send, and every send polls again: the link of an
        // outer delivery comes back once the inner one is over.
        const QString outer = m_deliveringLink;
        m_deliveringLink = identifier;
        Q_EMIT m_deviceManager->receivedDataFromDevice(serial, window, offset);
        m_deliveringLink = outer;
    }
    return delivered;
}

int InterfaceManager::numberOfConnectedInterfaces()
{
    return connectedInterfaces.size();
}

bool InterfaceManager::btScanStatus()
{
    return false;
}

QString InterfaceManager::btScanStatusString()
{
    qCDebug(lcLinks) << " request status ....";
    return Helper::boolToScanStatusString(btScanStatus());
}

bool InterfaceManager::isConnected(QString identifier)
{
    return connectedInterfaces.contains(identifier) || unconnectedInterfaces.contains(identifier);
}

void InterfaceManager::stopScan()
{
    m_scanTimer.stop();
}

void InterfaceManager::scanBluetoothInterfaces()
{
    qCDebug(lcLinks) << "Scan for bluetooth not implemented";
}

void InterfaceManager::addKnownBtAddress(quint64 BtAddress)
{
    knownBtAddresses.insert(BtAddress);
}

void InterfaceManager::pollComm()
{
    bool delivered = false;
    const QStringList identifiers = connectedInterfaces.keys();
    for (const QString& identifier : identifiers) {
        // A poll can lose a link (and a nested poll another one); only
        // links still open are read.
        for (int read = 0; read < kMaxReadsPerPoll && connectedInterfaces.contains(identifier); ++read) {
            m_lastReadBytes = 0;
            if (!tryReadFromInterface(identifier))
                break;
            delivered = true;
            if (m_lastReadBytes < kFullReadBytes)
                break;
        }
    }

    if (delivered) {
        m_idlePollCount = 0;
        if (m_pollTimer.interval() != kFastPollIntervalMs) {
            m_pollTimer.setInterval(kFastPollIntervalMs);
            qCDebug(lcLinks) << " Fast comm polling";
        }
    } else if (m_pollTimer.interval() != kSlowPollIntervalMs) {
        if (m_idlePollCount++ >= kIdlePollsBeforeSlow) {
            m_pollTimer.setInterval(kSlowPollIntervalMs);
            qCDebug(lcLinks) << " Slow comm polling";
        }
    }
}

void InterfaceManager::tryConnectDevices()
{
    const QMap<QString, RemoteInterface*> snapshot = unconnectedInterfaces;
    for (auto it = snapshot.cbegin(); it != snapshot.cend(); ++it) {
        const QString& identifier = it.key();
        RemoteInterface* link = it.value();
        // Connecting one link may have removed or replaced another.
        if (unconnectedInterfaces.value(identifier, nullptr) != link)
            continue;
        link->doConnect();
        const bool connected = link->isConnected();
        qCDebug(lcLinks) << " interface " << identifier << " should connect. did it? " << connected;
        if (!connected)
            continue;
        qCDebug(lcLinks) << " interface " << identifier << " connected.";
        unconnectedInterfaces.remove(identifier);
        connectedInterfaces.insert(identifier, link);
        pollComm();
        if (connectedInterfaces.value(identifier, nullptr) != link)
            continue; // lost while being polled
        m_probes->start(identifier);
    }
    reprobeUnboundLinks();
}

void InterfaceManager::reprobeUnboundLinks()
{
    const QMap<QString, RemoteInterface*> snapshot = connectedInterfaces;
    for (auto it = snapshot.cbegin(); it != snapshot.cend(); ++it) {
        if (connectedInterfaces.value(it.key(), nullptr) == it.value())
            m_probes->tick(it.key(), interfaceToSerial.contains(it.value()));
    }
}

void InterfaceManager::checkPendingIdMessages(QString identifier, QByteArray buffer, quint64 offset)
{
    m_probes->offer(identifier, buffer, offset, [this, identifier](quint64 serial) {
        RemoteInterface* link = connectedInterfaces.value(identifier, nullptr);
        if (link == nullptr)
            return;
        if (serial == 0) {
            // 0 stands for "not bound"; a sensor claiming it cannot be told apart.
            qCDebug(lcLinks) << " Interface " << identifier << " answered with serial 0, left unbound.";
            return;
        }
        bindInterface(link, serial);
    });
}

void InterfaceManager::bindInterface(RemoteInterface* link, quint64 serial)
{
    const QString identifier = link->identifier();
    const QList<RemoteInterface*> bound = linksBoundTo(serial);
    for (RemoteInterface* other : bound) {
        if (other == link || transportOf(other) != transportOf(link))
            continue;
        // One sensor is reached by at most one cable and one Bluetooth link:
        // this is a second sensor with the same serial. Binding it would mix
        // the two sensors' replies and data; it stays unbound (and is asked
        // again now and then, so it takes over once the other is gone).
        if (m_reportedClaims.value(identifier, 0) != serial) {
            m_reportedClaims.insert(identifier, serial);
            const QString text = tr("Two sensors report the serial %1 (on %2 and %3); the one on %3 is not used.")
                                     .arg(Helper::idText(serial), other->identifier(), identifier);
            qCWarning(lcLinks).noquote() << text;
            NotificationHub::instance()->sendWarning(text);
        }
        return;
    }

    RemoteInterface* previousRoute = routeFor(serial);
    if (!serialToInterfaces.contains(serial, link))
        serialToInterfaces.insert(serial, link);
    interfaceToSerial.insert(link, serial);
    // Replies come back on the link a request went out on. The windows of a
    // sensor's other links are still handed on (a live stream may run over
    // one of them), but what they held from the time they carried requests
    // must not be taken for answers to the requests that go elsewhere now.
    RemoteInterface* route = routeFor(serial);
    if (previousRoute != nullptr && previousRoute != route)
        emptyBuffer(previousRoute->identifier());
    if (route != link)
        emptyBuffer(identifier);
    if (m_deviceManager.isNull())
        return;
    m_deviceManager->addDeviceBySerial(serial);
    m_deviceManager->setDeviceOnline(serial, true);
    // The registry's listeners may have lost the link meanwhile.
    if (interfaceToSerial.value(link, 0) != serial || m_deviceManager.isNull())
        return;
    KtDevice* device = m_deviceManager->getDeviceBySerial(serial);
    if (device == nullptr)
        return;
    // The transport, not the kind of link object, says how the sensor is
    // connected: a serial port the system bound to Bluetooth is Bluetooth.
    if (transportOf(link) == QLatin1String("cable")) {
        device->setUsbPort(identifier);
        device->setUsbConnected(true);
    } else {
        if (link->type() == QLatin1String("bluetooth"))
            device->setBtAddress(identifier);
        device->setBtConnected(true);
    }
}

void InterfaceManager::checkDeviceStillConnected(quint64 serial)
{
    qCDebug(lcLinks) << "Checking if device: " << Qt::hex << serial << " is still connected.";
    if (serialToInterfaces.contains(serial))
        return;
    qCDebug(lcLinks) << "device " << Qt::hex << serial << " disconnected, remove it.";
    if (!m_deviceManager.isNull())
        m_deviceManager->setDeviceOnline(serial, false);
}

void InterfaceManager::InterfaceDisconnected(QString identifier)
{
    qCDebug(lcLinks) << " Interface did disconnect: " << identifier;
    if (RemoteInterface* link = connectedInterfaces.value(identifier, nullptr)) {
        connectedInterfaces.remove(identifier);
        m_probes->release(identifier);
        const auto binding = interfaceToSerial.constFind(link);
        if (binding != interfaceToSerial.constEnd()) {
            const quint64 serial = binding.value();
            interfaceToSerial.remove(link);
            serialToInterfaces.remove(serial, link);
            const QString transport = transportOf(link);
            const QList<RemoteInterface*> remaining = linksBoundTo(serial);
            const bool sameKindLeft = std::any_of(remaining.cbegin(), remaining.cend(), [&](RemoteInterface* other) {
                return transportOf(other) == transport;
            });
            if (!m_deviceManager.isNull() && !sameKindLeft) {
                if (KtDevice* device = m_deviceManager->getDeviceBySerial(serial)) {
                    if (transport == QLatin1String("cable"))
                        device->setUsbConnected(false);
                    else
                        device->setBtConnected(false);
                }
            }
            checkDeviceStillConnected(serial);
        }
        qCDebug(lcLinks) << " deleteing connected interface: " << link;
        retireInterface(link);
    }
    if (RemoteInterface* link = unconnectedInterfaces.take(identifier)) {
        qCDebug(lcLinks) << " deleteing unconnected interface: " << link;
        retireInterface(link);
    }
    m_probes->release(identifier);
    m_reportedClaims.remove(identifier);
    // Links that come and go under ever new names (renumbered ports,
    // pseudo-terminals) would otherwise each keep two files open and a
    // receive buffer.
    if (!isConnected(identifier)) {
        Store::instance()->closeCommLogs(identifier);
        m_buffers.release(identifier);
    }
}

void InterfaceManager::removeAllInterfaces()
{
    const QStringList identifiers = connectedInterfaces.keys();
    for (const QString& identifier : identifiers)
        InterfaceDisconnected(identifier);
}

QStringList InterfaceManager::unconnectedIdentifiers() const
{
    return unconnectedInterfaces.keys();
}

QStringList InterfaceManager::connectedIdentifiers() const
{
    return connectedInterfaces.keys();
}

quint64 InterfaceManager::serialForInterface(const QString& identifier) const
{
    RemoteInterface* link = connectedInterfaces.value(identifier, nullptr);
    return link == nullptr ? 0 : interfaceToSerial.value(link, 0);
}

QStringList InterfaceManager::interfacesForSerial(quint64 serial) const
{
    QStringList identifiers;
    for (auto it = connectedInterfaces.cbegin(); it != connectedInterfaces.cend(); ++it) {
        if (serialToInterfaces.contains(serial, it.value()))
            identifiers.append(it.key());
    }
    return identifiers;
}

int InterfaceManager::pendingSerialRequestCount(const QString& identifier) const
{
    return m_probes->count(identifier);
}
