#include "Devices/KtDevice.h"

#include "Application/Helper.h"
#include "Data/MeasurementsModel.h"
#include "Log/LogCategories.h"

#include <QDataStream>
#include <QDebug>
#include <QQmlEngine>

KtDevice::KtDevice()
    : KtDevice(0)
{
}

KtDevice::KtDevice(quint64 serial)
    : m_serial(serial)
    , m_btAddress(QStringLiteral("-"))
    , m_usbPort(QStringLiteral("-"))
    , m_state(QStringLiteral("unknown"))
{
}

void KtDevice::setSerial(quint64 serial)
{
    if (m_serial == serial)
        return;
    m_serial = serial;
    Q_EMIT persistentChanged(this);
}

void KtDevice::setBtAddress(QString address)
{
    if (m_btAddress == address)
        return;
    m_btAddress = std::move(address);
    Q_EMIT persistentChanged(this);
}

quint64 KtDevice::getBtAddressQuint64() const
{
    return Helper::BtAddressStringToLong(m_btAddress);
}

void KtDevice::setUsbPort(QString port)
{
    if (m_usbPort == port)
        return;
    m_usbPort = std::move(port);
    Q_EMIT persistentChanged(this);
}

void KtDevice::setUsbConnected(bool connected)
{
    if (m_usbConnected == connected)
        return;
    m_usbConnected = connected;
    Q_EMIT persistentChanged(this);
}

void KtDevice::setBtConnected(bool connected)
{
    if (m_btConnected == connected)
        return;
    m_btConnected = connected;
    Q_EMIT persistentChanged(this);
}

void KtDevice::setOnline(bool online)
{
    if (m_online == online)
        return;
    m_online = online;
    Q_EMIT persistentChanged(this);
    if (online)
        Q_EMIT connected(this);
    else
        Q_EMIT disconnected(this);
}

void KtDevice::setState(uchar code)
{
    if (code == 0)
        m_state = QStringLiteral("idle");
    else if (code == 1)
        m_state = QStringLiteral("recording");
    Q_EMIT volatileChanged(this);
}

quint16 KtDevice::getFirmware() const
{
    qCDebug(lcDevices) << "Got asked form firmware: " << m_firmware;
    return m_firmware;
}

void KtDevice::setFirmware(quint16 firmware)
{
    m_firmware = firmware;
    Q_EMIT volatileChanged(this);
    qCDebug(lcDevices) << "Got FirmwareRevision c: " << firmware;
}

QString KtDevice::getDisplayName() const
{
    return QString::number(m_serial, 16);
}

QObject* KtDevice::getMeasurementsOnDeviceModel()
{
    // One empty list serves every caller; a new one per call would be left
    // to whoever asked, and the scene never frees it.
    if (m_emptyMeasurementsModel.isNull()) {
        m_emptyMeasurementsModel = new MeasurementsModel(this);
        QQmlEngine::setObjectOwnership(m_emptyMeasurementsModel, QQmlEngine::CppOwnership);
    }
    return m_emptyMeasurementsModel;
}

QString KtDevice::storagePath()
{
    return Helper::getDevicePath();
}

QString KtDevice::entityName()
{
    return QStringLiteral("Device");
}

QString KtDevice::fileEnding()
{
    return QStringLiteral("ktd");
}

QString KtDevice::generateFileName()
{
    return Helper::SanitizeFileName(QString::number(m_serial, 16));
}

bool KtDevice::tryLoadFromStream(QDataStream& stream)
{
    auto* loaded = new KtDevice();
    loaded->setLoadMode(getLoadMode());
    loaded->readRecord(stream);
    if (stream.status() != QDataStream::Ok) {
        delete loaded;
        return false;
    }
    Q_EMIT loadedDeviceFromDisk(loaded);
    const quint64 address = loaded->getBtAddressQuint64();
    if (address != 0)
        Q_EMIT foundKnownBluetoothAddress(address);
    return true;
}

void KtDevice::saveToStream(QDataStream& stream)
{
    writeSerializationVersion(stream);
    stream << static_cast<qint64>(m_serial) << m_btAddress << m_usbPort;
}

void KtDevice::readRecord(QDataStream& stream)
{
    readSerializationVersion(stream);
    qint64 serial = 0;
    stream >> serial >> m_btAddress >> m_usbPort;
    m_serial = static_cast<quint64>(serial);
}
