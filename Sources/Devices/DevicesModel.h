#pragma once

#include "Data/StandardModel.h"

#include <QPointer>

class KtDevice;
class MeasurementController;

// Every known sensor as the scene lists it, newest first. Removing a row
// erases that sensor's record.
class DevicesModel : public StandardModel
{
    Q_OBJECT
public:
    enum Roles {
        BtAddressRole = Qt::UserRole + 1,
        UsbPortRole,
        BtConnectedRole,
        UsbConnectedRole,
        TopStateRole,
        NameRole,
        OnlineRole,
        FirmwareRole,
        // The same states as booleans, for the scene's logic.
        IsOnlineRole,
        HasUsbRole,
        HasBluetoothRole
    };

    explicit DevicesModel(QObject* parent = nullptr);

    void setMesurementController(MeasurementController* controller);

    // Lists the device on top and makes sure its list of measurements on
    // the sensor exists from then on.
    void prependItem(Storable* item) override;

    KtDevice* getDevice(int row) const;

    // The list of measurements found on the sensor with this serial
    // (hexadecimal text); null when the text is not a serial.
    Q_INVOKABLE QObject* getMeasurementsOnDeviceModel(QString DeviceSerialString);

    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    QPointer<MeasurementController> m_measurementController;
};
