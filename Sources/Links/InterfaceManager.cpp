#include "Links/InterfaceManager.h"

#include "Application/Helper.h"
#include "Data/Store.h"
#include "Devices/DeviceManager.h"
#include "Devices/KtDevice.h"
#include "Links/RemoteInterface.h"
#include "Log/LogCategories.h"
#include "Protocol/GetSerial.h"

#include <QDataStream>
#include <QDebug>

#include <algorithm>

namespace {

const char kLogSeparator[] = "||||";

void appendToLog(QDataStream* log, const QByteArray& data)
{
    if (log == nullptr)
        return;
    log->writeRawData(data.constData(), data.size());
    log->writeRawData(kLogSeparator, int(sizeof(kLogSeparator)) - 1);
}

} // namespace

InterfaceManager::InterfaceManager(QObject* parent)
    : QObject(parent)
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
    std::unique_ptr<QByteArray>& buffer = interfaceBuffers[identifier];
    if (!buffer)
        buffer = std::make_unique<QByteArray>();
    return buffer.get();
}

quint64 InterfaceManager::interfaceBufferOffset(const QString& identifier) const
{
    return bufferOffset.value(identifier, 0);
}

void InterfaceManager::clearDeviceDataBuffers(quint64 serial)
{
    const QList<RemoteInterface*> links = serialToInterfaces.values(serial);
    for (RemoteInterface* link : links)
        interfaceDataBuffer(link->identifier())->clear();
}

void InterfaceManager::writeToDevice(quint64 serial, QByteArray frame)
{
    QList<RemoteInterface*> links = serialToInterfaces.values(serial);
    if (links.isEmpty())
        return;
    std::stable_sort(links.begin(), links.end(),
                     [](RemoteInterface* a, RemoteInterface* b) { return a->Rank() < b->Rank(); });
    writeToInterface(links.first()->identifier(), frame);
    // A quick answer is picked up at once instead of on the next poll tick.
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
    appendToLog(Store::instance()->commLogOut(identifier), data);
}

bool InterfaceManager::tryReadFromInterface(QString identifier)
{
    RemoteInterface* link = connectedInterfaces.value(identifier, nullptr);
    if (link == nullptr) {
        qCDebug(lcLinks) << "Tried to read from non-existing interface " << identifier;
        return false;
    }
    const QByteArray bytes = link->read();
    const quint64 serial = interfaceToSerial.value(link, 0);
    QByteArray* buffer = interfaceDataBuffer(identifier);
    const bool delivered = !bytes.isEmpty();
    if (delivered) {
        appendToLog(Store::instance()->commLogIn(identifier), bytes);
        buffer->append(bytes);
        const int excess = buffer->size() - kMaxBufferBytes;
        if (excess > 0) {
            buffer->remove(0, excess);
            bufferOffset[identifier] += quint64(excess);
        }
    }
    // Every poll hands the window on, also an unchanged one: waiting
    // messages count their time-outs and retries from these calls.
    const QByteArray window = *buffer;
    const quint64 offset = bufferOffset.value(identifier, 0);
    checkPendingIdMessages(identifier, window, offset);
    if (!m_deviceManager.isNull())
        Q_EMIT m_deviceManager->receivedDataFromDevice(serial, window, offset);
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
        if (!connectedInterfaces.contains(identifier))
            continue;
        if (tryReadFromInterface(identifier))
            delivered = true;
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
        auto* request = new GetSerial(identifier);
        request->setParent(this);
        // Listed before it goes out, so that whatever the write sets off
        // finds it (and a loss on the way releases it).
        pendingSerialRequests.append(request);
        writeToInterface(identifier, request->Compose());
    }
}

void InterfaceManager::checkPendingIdMessages(QString identifier, QByteArray buffer, quint64 offset)
{
    const QList<GetSerial*> snapshot = pendingSerialRequests;
    for (GetSerial* request : snapshot) {
        if (!pendingSerialRequests.contains(request) || request->getInterfaceIdentifier() != identifier)
            continue;
        if (request->tryToParse(buffer, offset)) {
            const quint64 serial = request->getReceivedSerial();
            qCDebug(lcLinks) << "Got valid serial message add mappings, remove request";
            qCDebug(lcLinks) << " Current message serial number: " << Qt::hex << serial;
            // Off the list before the registry hears of it: the registry's
            // listeners may send, and every send polls again.
            pendingSerialRequests.removeAll(request);
            request->disposalHook();
            RemoteInterface* link = connectedInterfaces.value(identifier, nullptr);
            if (link == nullptr)
                continue;
            if (serial == 0) {
                // 0 stands for "not bound"; a sensor claiming it cannot be told apart.
                qCDebug(lcLinks) << " Interface " << identifier << " answered with serial 0, left unbound.";
                continue;
            }
            bindInterface(link, serial);
        } else if (request->wantsToRetry()) {
            writeToInterface(request->getInterfaceIdentifier(), request->Compose());
        }
    }
}

void InterfaceManager::bindInterface(RemoteInterface* link, quint64 serial)
{
    const QString identifier = link->identifier();
    if (!serialToInterfaces.contains(serial, link))
        serialToInterfaces.insert(serial, link);
    interfaceToSerial.insert(link, serial);
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
    const QString type = link->type();
    if (type == QLatin1String("usb")) {
        device->setUsbPort(identifier);
        device->setUsbConnected(true);
    } else if (type == QLatin1String("bluetooth")) {
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
        releaseSerialRequests(identifier);
        const auto binding = interfaceToSerial.constFind(link);
        if (binding != interfaceToSerial.constEnd()) {
            const quint64 serial = binding.value();
            interfaceToSerial.remove(link);
            serialToInterfaces.remove(serial, link);
            if (!m_deviceManager.isNull()) {
                if (KtDevice* device = m_deviceManager->getDeviceBySerial(serial)) {
                    const QString type = link->type();
                    if (type == QLatin1String("usb"))
                        device->setUsbConnected(false);
                    else if (type == QLatin1String("bluetooth"))
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
}

void InterfaceManager::releaseSerialRequests(const QString& identifier)
{
    const QList<GetSerial*> snapshot = pendingSerialRequests;
    for (GetSerial* request : snapshot) {
        if (request->getInterfaceIdentifier() != identifier)
            continue;
        pendingSerialRequests.removeAll(request);
        request->disposalHook();
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
    return int(std::count_if(pendingSerialRequests.cbegin(), pendingSerialRequests.cend(),
                             [&](GetSerial* request) { return request->getInterfaceIdentifier() == identifier; }));
}
