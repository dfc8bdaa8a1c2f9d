#include "Links/USBinterface.h"

#include "Log/LogCategories.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

namespace {

const char kExtraPortsVariable[] = "KORVEX_EXTRA_SERIAL_PORTS";

} // namespace

USBinterface::USBinterface(QString portName, QObject* parent)
    : RemoteInterface(parent)
    , m_port(std::make_unique<QSerialPort>(portName))
    , m_systemLocation(systemLocationForPort(portName))
{
    qCDebug(lcLinks) << "Constructed USB-Interface :" << m_port->portName();
    connect(m_port.get(), &QSerialPort::errorOccurred, this, &USBinterface::error);
    m_checkTimer.setInterval(kCheckIntervalMs);
    connect(&m_checkTimer, &QTimer::timeout, this, &USBinterface::checkPort);
    m_checkTimer.start();
}

USBinterface::~USBinterface()
{
    const QString name = m_port->portName();
    // Closing an open port from the destructor must not reach our slots.
    m_port->blockSignals(true);
    m_port.reset();
    qCDebug(lcLinks) << " destroyed usb interface " << name;
}

QStringList USBinterface::extraSerialPorts()
{
    const QString value = QString::fromLocal8Bit(qgetenv(kExtraPortsVariable));
    return value.split(QLatin1Char(':'), Qt::SkipEmptyParts);
}

QString USBinterface::identifierForPort(const QString& portName)
{
    // The serial-port library shortens names below /dev/ and keeps any other
    // path whole; asking it keeps the scan and the link in agreement.
    return QSerialPort(portName).portName();
}

QString USBinterface::systemLocationForPort(const QString& portName)
{
    if (portName.startsWith(QLatin1Char('/')) || portName.startsWith(QLatin1String("./"))
        || portName.startsWith(QLatin1String("../")))
        return QDir::cleanPath(portName);
    return QStringLiteral("/dev/") + portName;
}

bool USBinterface::doConnect()
{
    qCDebug(lcLinks) << "connect( USB-Interface :" << identifier();
    if (m_disconnected)
        return false;
    if (m_port->isOpen())
        return true;
    if (m_port->open(QIODevice::ReadWrite))
        return true;
    qCDebug(lcLinks) << " error happened connecting USB interface " << identifier() << ": "
                     << int(m_port->error()) << ", " << m_port->errorString();
    return false;
}

void USBinterface::write(QByteArray data)
{
    if (!m_port->isOpen())
        return;
    m_port->write(data);
}

int USBinterface::Rank()
{
    return 3;
}

QByteArray USBinterface::read()
{
    if (!m_readMutex.tryLock())
        return QByteArray();
    QByteArray bytes;
    if (m_port->isOpen())
        bytes = m_port->read(kMaxReadBytes);
    m_readMutex.unlock();
    return bytes;
}

QString USBinterface::identifier()
{
    return m_port->portName();
}

bool USBinterface::isConnected()
{
    return m_port->isOpen();
}

QString USBinterface::type()
{
    return QStringLiteral("usb");
}

void USBinterface::doDisconnect()
{
    if (m_disconnected)
        return;
    m_disconnected = true;
    qCDebug(lcLinks) << "disconnect USB-Interface :" << identifier();
    m_checkTimer.stop();
    m_port->blockSignals(true);
    if (m_port->isOpen())
        m_port->close();
    Q_EMIT didDisconnect(identifier());
}

void USBinterface::error(QSerialPort::SerialPortError error)
{
    if (m_disconnected)
        return;
    switch (error) {
    case QSerialPort::ResourceError:
        qCDebug(lcLinks) << " Port " << m_port->portName() << " unplugged. ";
        doDisconnect();
        break;
    case QSerialPort::NotOpenError:
        m_port->clearError();
        qCDebug(lcLinks) << "error " << int(error) << " happend on serport: " << m_port->portName() << ","
                         << m_port->errorString();
        doDisconnect();
        break;
    case QSerialPort::ReadError:
        // A port whose device file went away (a pseudo-terminal whose other
        // end closed) reads end-of-file for ever and reports it as a read
        // error on every event-loop pass; waiting for the next presence check
        // would spin for up to a second. A read error on a port that is still
        // there is ignored like the other transient errors.
        if (!QFileInfo::exists(m_systemLocation)) {
            qCDebug(lcLinks) << " Port " << m_port->portName() << " unplugged. ";
            doDisconnect();
        }
        break;
    default:
        break;
    }
}

void USBinterface::checkPort()
{
    if (!portPresent())
        doDisconnect();
}

bool USBinterface::isNamedAsExtraPort() const
{
    const QStringList extra = extraSerialPorts();
    for (const QString& path : extra) {
        if (systemLocationForPort(path) == m_systemLocation)
            return true;
    }
    return false;
}

bool USBinterface::portPresent() const
{
    // A port without its device file is gone whatever else is known about it;
    // this also keeps the check cheap for a port that has vanished.
    if (!QFileInfo::exists(m_systemLocation))
        return false;
    // The system's list does not show pseudo-terminals, so ports named in the
    // environment count as present as long as their device file exists.
    if (isNamedAsExtraPort())
        return true;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports) {
        if (info.systemLocation() == m_systemLocation || info.portName() == m_port->portName())
            return true;
    }
    return false;
}
