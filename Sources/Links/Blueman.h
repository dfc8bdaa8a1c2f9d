#pragma once

#include <QBluetoothAddress>
#include <QBluetoothHostInfo>
#include <QBluetoothLocalDevice>
#include <QBluetoothServiceInfo>
#include <QBluetoothSocket>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

class QBluetoothServiceDiscoveryAgent;

// Everything Bluetooth: picks the local adapter, discovers services, opens
// RFCOMM sockets to sensors (discovered ones, or known addresses straight on
// channel 1), keeps one socket per remote address and reports sockets that
// come up and go down. Without a local adapter all of it quietly does nothing.
class Blueman : public QObject
{
    Q_OBJECT
public:
    // What recognising a discovered service found out about it.
    struct ServiceMatch
    {
        bool foundKT = false;  // offered by a device named like a sensor
        bool foundSPP = false; // the service is a serial port
        bool isSensorPort() const { return foundKT && foundSPP; }
    };

    static constexpr quint8 kKnownDeviceChannel = 1;

    explicit Blueman(QObject* parent = nullptr);
    ~Blueman() override;

    bool hasAdapter() const { return m_localDevice != nullptr; }
    bool scanRunning() const;
    void startScan();
    void tryToConnectKnownDevice(quint64 address);
    bool isDeviceConnectedByAddress(quint64 address) const;
    void writeToDeviceByAddress(quint64 address, const char* data, int length);
    int readFromDeviceByAddress(quint64 address, char* buffer, int capacity);

    static ServiceMatch classifyService(const QBluetoothServiceInfo& info);
    // The Serial Port Profile record on RFCOMM channel 1 for a sensor whose
    // address is known, so that it can be reached without discovery.
    static QBluetoothServiceInfo knownDeviceServiceRecord(quint64 address);

Q_SIGNALS:
    void btScanStatusChanged();
    // The peer address in the platform's colon form.
    void newBTinterface(QString);
    // The address in lower-case hexadecimal without colons: a link identifier.
    void btInterfaceHasDisconnected(QString);
    // The discovery has ended: the sensors it found (their addresses, each
    // once) and, when it broke off, why.
    void discoveryEnded(QList<quint64> sensorAddresses, QString problem);

protected:
    // Adopts a socket that reports itself connected to `peer`.
    void registerConnectedSocket(QBluetoothSocket* socket, const QBluetoothAddress& peer);
    // Reacts to a state change of one of our sockets whose peer is `peer`.
    void handleSocketState(QBluetoothSocket* socket, const QBluetoothAddress& peer,
                           QBluetoothSocket::SocketState socketState);

private Q_SLOTS:
    void errorHasHappened(QBluetoothLocalDevice::Error error);
    void serviceDiscovered(QBluetoothServiceInfo serviceInfo);
    void discoveryFinished();
    void btInterfaceConnected();
    void btInterfaceDisConnected(QBluetoothAddress adress);
    void btSocketStateChanged(QBluetoothSocket::SocketState socketState);

private:
    void Init();
    void connectToDeviceByAddress(quint64 address);
    void connectToDeviceByService(const QBluetoothServiceInfo& info);
    void discoveryError();
    void disposeSocket(QBluetoothSocket* socket);

    QList<QBluetoothHostInfo> m_localAdapters;
    QBluetoothLocalDevice* m_localDevice = nullptr;
    QBluetoothServiceDiscoveryAgent* m_discoveryAgent = nullptr;
    QMap<quint64, QBluetoothSocket*> m_sockets;
    bool m_scanRunning = false;
    QList<quint64> m_foundSensors;
    QString m_discoveryProblem;
};
