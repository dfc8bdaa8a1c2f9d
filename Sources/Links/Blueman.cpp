#include "Links/Blueman.h"

#include "Application/Helper.h"
#include "Log/LogCategories.h"

#include <QBluetoothDeviceInfo>
#include <QBluetoothServiceDiscoveryAgent>
#include <QBluetoothUuid>
#include <QDir>

#include <utility>

namespace {

// Asking the Bluetooth stack for adapters on a machine that has none makes it
// complain about the missing daemon; the kernel's device list answers the
// question silently, so the stack is only asked when an adapter exists.
QList<QBluetoothHostInfo> listLocalAdapters()
{
    if (QDir(QStringLiteral("/sys/class")).exists()) {
        const QDir adapters(QStringLiteral("/sys/class/bluetooth"));
        const QStringList names =
            adapters.entryList({QStringLiteral("hci*")}, QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        if (names.isEmpty())
            return {};
    }
    return QBluetoothLocalDevice::allDevices();
}

} // namespace

Blueman::Blueman(QObject* parent)
    : QObject(parent)
{
    qCDebug(lcLinks) << "Linux version of blueman";
    Init();
    m_scanRunning = false;
}

Blueman::~Blueman()
{
    // Sockets, the agent and the local device are our children; their
    // destruction must not call back into a half-destroyed manager.
    const QObjectList owned = children();
    for (QObject* child : owned)
        disconnect(child, nullptr, this, nullptr);
    m_sockets.clear();
}

void Blueman::Init()
{
    m_localAdapters = listLocalAdapters();
    if (m_localAdapters.isEmpty())
        return;

    const QBluetoothAddress adapter = m_localAdapters.first().address();
    qCDebug(lcLinks) << " Local bluetooth adapter used: " << adapter.toString();
    m_localDevice = new QBluetoothLocalDevice(adapter, this);
    m_discoveryAgent = new QBluetoothServiceDiscoveryAgent(adapter, this);
    connect(m_discoveryAgent, &QBluetoothServiceDiscoveryAgent::serviceDiscovered, this,
            &Blueman::serviceDiscovered);
    connect(m_discoveryAgent, &QBluetoothServiceDiscoveryAgent::finished, this, &Blueman::discoveryFinished);
    connect(m_discoveryAgent, &QBluetoothServiceDiscoveryAgent::canceled, this, &Blueman::discoveryFinished);
    // An agent that fails stops without reporting finished; without this the
    // scan would count as running for ever and known sensors would never be
    // tried again.
    connect(m_discoveryAgent,
            QOverload<QBluetoothServiceDiscoveryAgent::Error>::of(&QBluetoothServiceDiscoveryAgent::error), this,
            &Blueman::discoveryError);
}

bool Blueman::scanRunning() const
{
    return m_scanRunning;
}

void Blueman::startScan()
{
    if (!m_discoveryAgent || m_discoveryAgent->isActive())
        return;
    m_foundSensors.clear();
    m_discoveryProblem.clear();
    m_discoveryAgent->start(QBluetoothServiceDiscoveryAgent::MinimalDiscovery);
    qCDebug(lcLinks) << " discovery agent started. ";
    m_scanRunning = true;
    Q_EMIT btScanStatusChanged();
    // A start that failed (or ended) at once has already reported it.
    if (!m_discoveryAgent->isActive())
        discoveryFinished();
}

void Blueman::tryToConnectKnownDevice(quint64 address)
{
    connectToDeviceByAddress(address);
}

bool Blueman::isDeviceConnectedByAddress(quint64 address) const
{
    const QBluetoothSocket* socket = m_sockets.value(address, nullptr);
    return socket && socket->isOpen();
}

void Blueman::writeToDeviceByAddress(quint64 address, const char* data, int length)
{
    QBluetoothSocket* socket = m_sockets.value(address, nullptr);
    if (!socket) {
        qCDebug(lcLinks) << " Blueman was asked to write to non-existing device: " << address;
        return;
    }
    if (socket->isOpen() && data && length > 0)
        socket->write(data, length);
}

int Blueman::readFromDeviceByAddress(quint64 address, char* buffer, int capacity)
{
    QBluetoothSocket* socket = m_sockets.value(address, nullptr);
    if (!socket) {
        qCDebug(lcLinks) << " Blueman was asked to read from non-existing device: " << address;
        return 0;
    }
    if (!socket->isOpen() || !buffer || capacity <= 0)
        return 0;
    const qint64 count = socket->read(buffer, capacity);
    return count > 0 ? int(count) : 0;
}

Blueman::ServiceMatch Blueman::classifyService(const QBluetoothServiceInfo& info)
{
    ServiceMatch match;
    const QString deviceName = info.device().name();
    match.foundKT = deviceName.contains(QLatin1String("KINEtrak")) || deviceName.contains(QLatin1String("Korvexte"));
    const QString serviceName = info.attribute(QBluetoothServiceInfo::ServiceName).toString();
    match.foundSPP =
        serviceName.contains(QLatin1String("SPP")) || serviceName.contains(QLatin1String("Serial Port Profile"));
    return match;
}

QBluetoothServiceInfo Blueman::knownDeviceServiceRecord(quint64 address)
{
    const QBluetoothUuid serialPort(QBluetoothUuid::SerialPort);

    QBluetoothServiceInfo info;
    QBluetoothServiceInfo::Sequence classIds;
    classIds << QVariant::fromValue(serialPort);
    info.setAttribute(QBluetoothServiceInfo::ServiceClassIds, classIds);
    info.setAttribute(QBluetoothServiceInfo::ServiceId, QVariant::fromValue(serialPort));

    QBluetoothServiceInfo::Sequence protocols;
    QBluetoothServiceInfo::Sequence l2cap;
    l2cap << QVariant::fromValue(QBluetoothUuid(QBluetoothUuid::L2cap));
    protocols << QVariant::fromValue(l2cap);
    QBluetoothServiceInfo::Sequence rfcomm;
    rfcomm << QVariant::fromValue(QBluetoothUuid(QBluetoothUuid::Rfcomm)) << QVariant::fromValue(kKnownDeviceChannel);
    protocols << QVariant::fromValue(rfcomm);
    info.setAttribute(QBluetoothServiceInfo::ProtocolDescriptorList, protocols);

    info.setAttribute(QBluetoothServiceInfo::BrowseGroupList,
                      QVariant::fromValue(QBluetoothUuid(QBluetoothUuid::PublicBrowseGroup)));

    info.setDevice(QBluetoothDeviceInfo(QBluetoothAddress(address), QString(), 1));
    return info;
}

void Blueman::connectToDeviceByAddress(quint64 address)
{
    // Without an adapter there is nothing to connect with; trying anyway
    // would only fill the log every few seconds.
    if (!m_localDevice)
        return;
    connectToDeviceByService(knownDeviceServiceRecord(address));
}

void Blueman::connectToDeviceByService(const QBluetoothServiceInfo& info)
{
    if (!m_localDevice)
        return;
    // Parented so that attempts still pending at shutdown are released; a
    // socket that fails before connecting is disposed by its state change.
    auto* socket = new QBluetoothSocket(QBluetoothServiceInfo::RfcommProtocol, this);
    connect(socket, &QBluetoothSocket::connected, this, &Blueman::btInterfaceConnected);
    connect(socket, &QBluetoothSocket::stateChanged, this, &Blueman::btSocketStateChanged);
    socket->connectToService(info, QIODevice::ReadWrite);
    qCDebug(lcLinks) << " Tried to connect: " << info;
}

void Blueman::errorHasHappened(QBluetoothLocalDevice::Error error)
{
    qCDebug(lcLinks) << " Error has happened. " << int(error);
}

void Blueman::discoveryError()
{
    qCDebug(lcLinks) << " Error has happened. " << int(m_discoveryAgent->error()) << m_discoveryAgent->errorString();
    m_discoveryProblem = tr("The Bluetooth scan failed: %1").arg(m_discoveryAgent->errorString());
    if (m_scanRunning && !m_discoveryAgent->isActive())
        discoveryFinished();
}

void Blueman::serviceDiscovered(QBluetoothServiceInfo serviceInfo)
{
    const ServiceMatch match = classifyService(serviceInfo);
    const QString deviceName = serviceInfo.device().name();
    qCDebug(lcLinks) << " service discovered, device name: " << deviceName;
    qCDebug(lcLinks) << " service discovered, service name: "
                     << serviceInfo.attribute(QBluetoothServiceInfo::ServiceName).toString();
    qCDebug(lcLinks) << " foundKT: " << match.foundKT;
    qCDebug(lcLinks) << " foundSPP: " << match.foundSPP;
    if (!match.isSensorPort())
        return;
    const quint64 address = serviceInfo.device().address().toUInt64();
    if (!m_foundSensors.contains(address))
        m_foundSensors.append(address);

    qCDebug(lcLinks) << " Found Bluetooth KINEtrak: " << deviceName;
    qCDebug(lcLinks) << "======================== BT attributes: =================================";
    const QList<quint16> attributes = serviceInfo.attributes();
    for (quint16 attribute : attributes)
        qCDebug(lcLinks) << " ServiceInfo has Attribute: " << attribute << " with value: "
                         << serviceInfo.attribute(attribute);
    qCDebug(lcLinks) << " ServiceInfo: " << serviceInfo;

    if (m_localDevice)
        connect(m_localDevice, &QBluetoothLocalDevice::error, this, &Blueman::errorHasHappened,
                Qt::UniqueConnection);
    connectToDeviceByService(serviceInfo);
}

void Blueman::discoveryFinished()
{
    m_scanRunning = false;
    Q_EMIT btScanStatusChanged();
    qCDebug(lcLinks) << "Bluetooth device discovery finished";
    const QList<quint64> found = std::exchange(m_foundSensors, {});
    Q_EMIT discoveryEnded(found, std::exchange(m_discoveryProblem, {}));
}

void Blueman::btInterfaceConnected()
{
    auto* socket = qobject_cast<QBluetoothSocket*>(sender());
    if (!socket)
        return;
    registerConnectedSocket(socket, socket->peerAddress());
}

void Blueman::registerConnectedSocket(QBluetoothSocket* socket, const QBluetoothAddress& peer)
{
    qCDebug(lcLinks) << "BT interface did connect.";
    const QString addressText = peer.toString();
    const quint64 address = Helper::BtAddressStringToLong(addressText);
    QBluetoothSocket* older = m_sockets.value(address, nullptr);
    m_sockets.insert(address, socket);
    // A second connection to the same sensor replaces the first; the first
    // is closed rather than left open and unreachable.
    if (older && older != socket) {
        disconnect(older, nullptr, this, nullptr);
        older->abort();
        older->deleteLater();
    }
    qCDebug(lcLinks) << "new BT interface: " << addressText;
    Q_EMIT newBTinterface(addressText);
}

void Blueman::btSocketStateChanged(QBluetoothSocket::SocketState socketState)
{
    auto* socket = qobject_cast<QBluetoothSocket*>(sender());
    if (!socket)
        return;
    handleSocketState(socket, socket->peerAddress(), socketState);
}

void Blueman::handleSocketState(QBluetoothSocket* socket, const QBluetoothAddress& peer,
                                QBluetoothSocket::SocketState socketState)
{
    qCDebug(lcLinks) << " Socket state changed for address:" << peer.toString();
    qCDebug(lcLinks) << " New socket state: " << socketState;
    if (socketState != QBluetoothSocket::ClosingState && socketState != QBluetoothSocket::UnconnectedState)
        return;

    // The socket is looked up by identity: a peer that has gone may no
    // longer be readable from a closing socket.
    for (auto it = m_sockets.cbegin(); it != m_sockets.cend(); ++it) {
        if (it.value() == socket) {
            btInterfaceDisConnected(QBluetoothAddress(it.key()));
            return;
        }
    }
    // An attempt that never connected, or a socket already replaced: nothing
    // was announced for it, so it only has to go.
    disposeSocket(socket);
}

void Blueman::btInterfaceDisConnected(QBluetoothAddress adress)
{
    qCDebug(lcLinks) << " remoteAddress disconnected: " << adress.toString();
    QBluetoothSocket* socket = m_sockets.take(adress.toUInt64());
    if (!socket)
        qCDebug(lcLinks) << " socket disconnected, but was not found in interfacesockets. ";
    else
        disposeSocket(socket);
    Q_EMIT btInterfaceHasDisconnected(Helper::StringFromBTaddress(adress));
}

void Blueman::disposeSocket(QBluetoothSocket* socket)
{
    if (!socket)
        return;
    disconnect(socket, nullptr, this, nullptr);
    socket->deleteLater();
}
