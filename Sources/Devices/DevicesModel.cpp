#include "Devices/DevicesModel.h"

#include "Application/Helper.h"
#include "Data/MeasurementController.h"
#include "Data/MeasurementsModel.h"
#include "Devices/KtDevice.h"
#include "Log/LogCategories.h"

#include <QDebug>
#include <QQmlEngine>

DevicesModel::DevicesModel(QObject* parent)
    : StandardModel(parent)
{
    setEraseFileOnRemove(true);
    qCDebug(lcDevices) << " In DevicesModel constructor.  pointer: " << this;
}

void DevicesModel::setMesurementController(MeasurementController* controller)
{
    m_measurementController = controller;
}

void DevicesModel::prependItem(Storable* item)
{
    StandardModel::prependItem(item);
    auto* device = qobject_cast<KtDevice*>(item);
    if (device != nullptr && !m_measurementController.isNull())
        m_measurementController->getMeasurementsOnDeviceModel(device->getSerial());
}

KtDevice* DevicesModel::getDevice(int row) const
{
    if (row < 0 || row >= m_items.size())
        return nullptr;
    return qobject_cast<KtDevice*>(m_items.at(row));
}

QObject* DevicesModel::getMeasurementsOnDeviceModel(QString DeviceSerialString)
{
    qCDebug(lcDevices) << " getMeasurementsOnDeviceModel for dev serial: " << DeviceSerialString;
    bool ok = false;
    const quint64 serial = DeviceSerialString.toULongLong(&ok, 16);
    if (!ok) {
        qCDebug(lcDevices) << " MeasurementsModel requested for invalid device serial!!! ";
        return nullptr;
    }
    if (m_measurementController.isNull())
        return nullptr;
    MeasurementsModel* model = m_measurementController->getMeasurementsOnDeviceModel(serial);
    QQmlEngine::setObjectOwnership(model, QQmlEngine::CppOwnership);
    return model;
}

QVariant DevicesModel::data(const QModelIndex& index, int role) const
{
    const KtDevice* device = getDevice(index.isValid() ? index.row() : -1);
    if (device == nullptr)
        return QVariant();
    switch (role) {
    case BtAddressRole:
        return device->getBtAddressString();
    case UsbPortRole:
        return device->getUsbPort();
    case BtConnectedRole:
        return Helper::boolToConnectedString(device->getBtConnected());
    case UsbConnectedRole:
        return Helper::boolToConnectedString(device->getUsbConnected());
    case TopStateRole:
        return device->getState();
    case NameRole:
        return device->getDisplayName();
    case OnlineRole:
        return Helper::boolToOnlineString(device->getOnline());
    case FirmwareRole:
        return int(device->getFirmware());
    case IsOnlineRole:
        return device->getOnline();
    case HasUsbRole:
        return device->getUsbConnected();
    case HasBluetoothRole:
        return device->getBtConnected();
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> DevicesModel::roleNames() const
{
    return {
        { BtAddressRole, QByteArrayLiteral("BtAddress") },
        { UsbPortRole, QByteArrayLiteral("UsbPort") },
        { BtConnectedRole, QByteArrayLiteral("BtConnected") },
        { UsbConnectedRole, QByteArrayLiteral("UsbConnected") },
        { TopStateRole, QByteArrayLiteral("TopState") },
        { NameRole, QByteArrayLiteral("Name") },
        { OnlineRole, QByteArrayLiteral("Online") },
        { FirmwareRole, QByteArrayLiteral("Firmware") },
        { IsOnlineRole, QByteArrayLiteral("IsOnline") },
        { HasUsbRole, QByteArrayLiteral("HasUsb") },
        { HasBluetoothRole, QByteArrayLiteral("HasBluetooth") },
    };
}
