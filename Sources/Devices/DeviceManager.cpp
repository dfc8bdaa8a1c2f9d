#include "Devices/DeviceManager.h"

#include "Devices/DevicesModel.h"
#include "Devices/KtDevice.h"
#include "Links/InterfaceManager.h"
#include "Log/LogCategories.h"

#include <QDebug>

DeviceManager::DeviceManager(QObject* parent)
    : QObject(parent)
    , m_devicesModel(new DevicesModel())
{
}

// The model goes first, so that the devices (children of this object) are
// no longer listed when they are destroyed.
DeviceManager::~DeviceManager() = default;

void DeviceManager::setInterfaceManager(InterfaceManager* interfaceManager)
{
    m_interfaceManager = interfaceManager;
}

void DeviceManager::writeToDevice(quint64 serial, QByteArray frame)
{
    if (!m_interfaceManager.isNull())
        m_interfaceManager->writeToDevice(serial, frame);
}

void DeviceManager::writeToDevice(quint64 serial, const QString& link, QByteArray frame)
{
    if (!m_interfaceManager.isNull())
        m_interfaceManager->writeToDevice(serial, link, frame);
}

quint64 DeviceManager::receivePosition(const QString& link) const
{
    return m_interfaceManager.isNull() ? 0 : m_interfaceManager->receivePosition(link);
}

QString DeviceManager::routeIdentifier(quint64 serial, bool fastest) const
{
    return m_interfaceManager.isNull() ? QString() : m_interfaceManager->routeIdentifier(serial, fastest);
}

QString DeviceManager::windowLink() const
{
    return m_interfaceManager.isNull() ? QString() : m_interfaceManager->deliveringLink();
}

void DeviceManager::clearDeviceDataBuffers(quint64 serial)
{
    if (!m_interfaceManager.isNull())
        m_interfaceManager->clearDeviceDataBuffers(serial);
}

quint64 DeviceManager::receivePosition(quint64 serial) const
{
    return m_interfaceManager.isNull() ? 0 : m_interfaceManager->receivePosition(serial);
}

int DeviceManager::numberOfDevicesTotal() const
{
    return m_devicesModel->rowCount();
}

int DeviceManager::numberOfConnectedIntefaces() const
{
    return m_interfaceManager.isNull() ? 0 : m_interfaceManager->numberOfConnectedInterfaces();
}

KtDevice* DeviceManager::getDeviceByIndex(int index) const
{
    KtDevice* device = m_devicesModel->getDevice(index);
    if (device == nullptr)
        qCDebug(lcDevices) << " DeviceManager was asked for non-existing device at index : " << index;
    return device;
}

quint64 DeviceManager::getDeviceSerial(int index) const
{
    const KtDevice* device = m_devicesModel->getDevice(index);
    return device != nullptr ? device->getSerial() : 0;
}

KtDevice* DeviceManager::findDeviceBySerial(quint64 serial) const
{
    const QList<Storable*>& items = m_devicesModel->getDataList();
    for (int row = items.size() - 1; row >= 0; --row) {
        auto* device = qobject_cast<KtDevice*>(items.at(row));
        if (device != nullptr && device->getSerial() == serial)
            return device;
    }
    return nullptr;
}

KtDevice* DeviceManager::getDeviceBySerial(quint64 serial) const
{
    KtDevice* device = findDeviceBySerial(serial);
    if (device == nullptr)
        qCDebug(lcDevices) << " DeviceManage was asked for non-existing device: " << Qt::hex << serial;
    return device;
}

QList<quint64> DeviceManager::getConnectedDeviceSerials() const
{
    QList<quint64> serials;
    for (Storable* item : m_devicesModel->getDataList()) {
        const auto* device = qobject_cast<KtDevice*>(item);
        if (device != nullptr && device->getOnline())
            serials.append(device->getSerial());
    }
    return serials;
}

bool DeviceManager::addDeviceBySerial(quint64 serial)
{
    if (findDeviceBySerial(serial) != nullptr)
        return false;
    auto* device = new KtDevice(serial);
    device->setParent(this);
    m_devicesModel->prependItem(device);
    device->saveToDisk();
    qCDebug(lcDevices) << "Added device with Serial: " << serial;
    Q_EMIT deviceAdded(serial);
    Q_EMIT numberOfDevicesTotalChanged();
    return true;
}

bool DeviceManager::addDevice(KtDevice* device)
{
    if (device == nullptr || m_devicesModel->getDataList().contains(device))
        return false;
    if (device->parent() == nullptr)
        device->setParent(this);
    m_devicesModel->prependItem(device);
    Q_EMIT numberOfDevicesTotalChanged();
    return true;
}

void DeviceManager::setDeviceOnline(quint64 serial, bool online)
{
    KtDevice* device = getDeviceBySerial(serial);
    if (device == nullptr || device->getOnline() == online)
        return;
    device->setOnline(online);
    if (online) {
        Q_EMIT deviceConnected(serial);
        ++m_numberOfDevicesOnline;
    } else {
        Q_EMIT deviceDisconnected(serial);
        // The count follows the transitions made here; a device switched
        // online elsewhere must not make it wrap round.
        if (m_numberOfDevicesOnline > 0)
            --m_numberOfDevicesOnline;
    }
    Q_EMIT numberOfDevicesConnectedChanged();
}

void DeviceManager::updateDeviceState(quint64 devserial, uchar state)
{
    KtDevice* device = getDeviceBySerial(devserial);
    if (device != nullptr)
        device->setState(state);
}

void DeviceManager::updateDeviceFirmware(quint64 devserial, ushort firmware)
{
    KtDevice* device = getDeviceBySerial(devserial);
    if (device == nullptr)
        return;
    device->setFirmware(firmware);
    qCDebug(lcDevices) << "Got FirmwareRevision b: " << firmware;
    Q_EMIT deviceFirmwareChanged(devserial);
}
