#include "Links/InterfaceManagerPC.h"

#include "Application/Helper.h"
#include "Links/BTinterface.h"
#include "Links/Blueman.h"
#include "Links/USBinterface.h"
#include "Log/LogCategories.h"

#include <QDebug>
#include <QFileInfo>
#include <QSerialPortInfo>

bool InterfaceManagerPC::isSensorPort(const SerialPortEntry& port)
{
    return port.description.contains(QLatin1String("KINEtrak"))
        || port.description.contains(QLatin1String("Korvexte USB"))
        || port.portName.contains(QLatin1String("rfcomm"));
}

QList<InterfaceManagerPC::SerialPortEntry> InterfaceManagerPC::listSerialPorts() const
{
    QList<SerialPortEntry> ports;
    const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : infos)
        ports.append({info.portName(), info.description()});
    return ports;
}

InterfaceManagerPC::InterfaceManagerPC(QObject* parent)
    : InterfaceManager(parent)
    , m_blueman(new Blueman(this))
{
    connect(m_blueman, &Blueman::btScanStatusChanged, this, &InterfaceManager::btScanStatusChanged);
    connect(m_blueman, &Blueman::btScanStatusChanged, this, &InterfaceManager::bluetoothScanningChanged);
    connect(m_blueman, &Blueman::discoveryEnded, this, &InterfaceManagerPC::bluetoothDiscoveryEnded);

    // The first scan runs as soon as the event loop does.
    m_scanTimer.setInterval(1);
    connect(&m_scanTimer, &QTimer::timeout, this, &InterfaceManagerPC::startScan);
    m_scanTimer.start();

    connect(m_blueman, &Blueman::newBTinterface, this, &InterfaceManagerPC::newBTinterface);
    connect(m_blueman, &Blueman::btInterfaceHasDisconnected, this, &InterfaceManager::InterfaceDisconnected);

    m_pollTimer.start();
    m_connectTimer.start();
}

InterfaceManagerPC::~InterfaceManagerPC()
{
    // The Blueman outlives this part of the object (it goes with the
    // children); its last reports must not reach a half-destroyed manager.
    disconnect(m_blueman, nullptr, this, nullptr);
}

bool InterfaceManagerPC::btScanStatus()
{
    return m_blueman->scanRunning();
}

void InterfaceManagerPC::startScan()
{
    // Changing the interval restarts a running timer; a stopped one stays
    // stopped, so after stopScan() each call scans once.
    m_scanTimer.setInterval(kScanIntervalMs);
    scanUSB();
    tryKnownBluetooth();
}

void InterfaceManagerPC::scanUSB()
{
    const QList<SerialPortEntry> ports = listSerialPorts();
    for (const SerialPortEntry& port : ports) {
        if (!isSensorPort(port) || isConnected(port.portName))
            continue;
        addDiscoveredInterface(new USBinterface(port.portName));
        qCDebug(lcLinks) << "Found new KINEtrak usb interface: " << port.portName;
    }

    // Ports the system does not list or describe (pseudo-terminals, other
    // adapters) are taken as named. One whose device file is missing is not
    // there at all: a link for it would only be opened and lost in turn.
    const QStringList extraPorts = USBinterface::extraSerialPorts();
    for (const QString& path : extraPorts) {
        if (isConnected(USBinterface::identifierForPort(path))
            || !QFileInfo::exists(USBinterface::systemLocationForPort(path)))
            continue;
        addDiscoveredInterface(new USBinterface(path));
        qCDebug(lcLinks) << "Found new KINEtrak usb interface: " << path;
    }
}

void InterfaceManagerPC::tryKnownBluetooth()
{
    if (m_blueman->scanRunning()) {
        qCDebug(lcLinks) << " Do not attempt to connect to devices while scanning.";
        return;
    }
    for (const quint64 address : qAsConst(knownBtAddresses)) {
        if (!isConnected(QString::number(address, 16)))
            m_blueman->tryToConnectKnownDevice(address);
    }
}

void InterfaceManagerPC::newBTinterface(QString addressText)
{
    qCDebug(lcLinks) << " Found new Bluetooth Interface: " << addressText;
    auto* link = new BTinterface(Helper::BtAddressStringToLong(addressText), m_blueman);
    qCDebug(lcLinks) << " ZZZZZZZZZZZZZZZZz inserted new interface: " << link->identifier();
    addDiscoveredInterface(link);
}

void InterfaceManagerPC::scanBluetoothInterfaces()
{
    if (!m_blueman->hasAdapter()) {
        qCDebug(lcLinks) << " No Bluetooth adapter, no scan.";
        Q_EMIT bluetoothScanFinished(0, tr("No Bluetooth adapter found."));
        return;
    }
    if (!m_blueman->scanRunning())
        m_blueman->startScan();
}

void InterfaceManagerPC::bluetoothDiscoveryEnded(QList<quint64> sensorAddresses, QString problem)
{
    int found = 0;
    for (const quint64 address : qAsConst(sensorAddresses)) {
        if (knownBtAddresses.contains(address))
            continue;
        ++found;
        // Found once, it is tried by address from now on, like a stored one.
        knownBtAddresses.insert(address);
    }
    qCDebug(lcLinks) << " Bluetooth scan found " << found << " new sensors. " << problem;
    Q_EMIT bluetoothScanFinished(found, problem);
}
