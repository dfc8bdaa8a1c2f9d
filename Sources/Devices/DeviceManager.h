#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class DevicesModel;
class InterfaceManager;
class KtDevice;

// The registry of every sensor ever seen. It creates a device the first time
// a serial is bound to a link, follows its online state, and is the path by
// which the workflows send frames to a sensor and hear its bytes.
class DeviceManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int numDevTotal READ numberOfDevicesTotal NOTIFY numberOfDevicesTotalChanged)
    Q_PROPERTY(int numDevConnected READ numberOfDevicesConnected NOTIFY numberOfDevicesConnectedChanged)
public:
    explicit DeviceManager(QObject* parent = nullptr);
    ~DeviceManager() override;

    void setInterfaceManager(InterfaceManager* interfaceManager);
    DevicesModel* getDevicesModel() const { return m_devicesModel.get(); }

    void writeToDevice(quint64 serial, QByteArray frame);
    // Over one of the sensor's links (its route when that link is not one).
    void writeToDevice(quint64 serial, const QString& link, QByteArray frame);
    void clearDeviceDataBuffers(quint64 serial);
    // Where the receive window of the link that carries the sensor's frames
    // ends now (absolute stream position); 0 without such a link.
    quint64 receivePosition(quint64 serial) const;
    // The same for one link; 0 for a link that is not open.
    quint64 receivePosition(const QString& link) const;
    // The link a frame for the sensor goes over (with `fastest`, the cable
    // when there is one); empty when the sensor has none.
    QString routeIdentifier(quint64 serial, bool fastest = false) const;
    // While receivedDataFromDevice is being emitted by the link manager: the
    // link the window came from. Empty otherwise (a window from elsewhere).
    QString windowLink() const;

    int numberOfDevicesTotal() const;
    int numberOfDevicesConnected() const { return m_numberOfDevicesOnline; }
    int numberOfConnectedIntefaces() const;

    KtDevice* getDeviceByIndex(int index) const;
    quint64 getDeviceSerial(int index) const;
    // Should several devices carry the serial, the oldest one (nearest the
    // end of the list) is the one.
    KtDevice* getDeviceBySerial(quint64 serial) const;
    // Serials of the online devices, newest first.
    QList<quint64> getConnectedDeviceSerials() const;

    // A new device the first time a serial is seen: listed, saved, announced.
    bool addDeviceBySerial(quint64 serial);
    void setDeviceOnline(quint64 serial, bool online);

Q_SIGNALS:
    void receivedDataFromDevice(quint64 currentDeviceSerial, QByteArray dataReceived, quint64 bufferOffset);
    void numberOfDevicesTotalChanged();
    void numberOfDevicesConnectedChanged();
    void deviceConnected(quint64 deviceSerial);
    void deviceDisconnected(quint64 deviceSerial);
    void deviceAdded(quint64 deviceSerial);
    // The sensor has told its firmware revision (once per connection, as a
    // rule the answer to the first questions asked of it).
    void deviceFirmwareChanged(quint64 deviceSerial);

public Q_SLOTS:
    // Lists a device object (one read from disk); no check by serial.
    bool addDevice(KtDevice* device);
    void updateDeviceState(quint64 devserial, uchar state);
    void updateDeviceFirmware(quint64 devserial, ushort firmware);

private:
    KtDevice* findDeviceBySerial(quint64 serial) const;

    std::unique_ptr<DevicesModel> m_devicesModel;
    QPointer<InterfaceManager> m_interfaceManager;
    quint16 m_numberOfDevicesOnline = 0;
};
