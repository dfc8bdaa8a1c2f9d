#pragma once

#include "Links/InterfaceManager.h"

class Blueman;

// The desktop link manager: finds sensors on serial ports (listed by the
// system, or named in KORVEX_EXTRA_SERIAL_PORTS) and over Bluetooth through
// its own Blueman. Scanning starts as soon as the event loop runs and repeats
// every five seconds.
class InterfaceManagerPC : public InterfaceManager
{
    Q_OBJECT
public:
    static constexpr int kScanIntervalMs = 5000;

    // A serial port as the system lists it.
    struct SerialPortEntry
    {
        QString portName;
        QString description;
    };

    // Whether a listed port leads to a sensor: by the product texts its
    // adapter describes itself with, or as a Bluetooth serial port.
    static bool isSensorPort(const SerialPortEntry& port);

    explicit InterfaceManagerPC(QObject* parent = nullptr);
    ~InterfaceManagerPC() override;

    bool btScanStatus() override;
    Blueman* blueman() const { return m_blueman; }

public Q_SLOTS:
    void startScan() override;
    void newBTinterface(QString addressText);
    void scanUSB();
    void scanBluetoothInterfaces() override;
    void tryKnownBluetooth();

private Q_SLOTS:
    void bluetoothDiscoveryEnded(QList<quint64> sensorAddresses, QString problem);

protected:
    // The serial ports the system lists, in its order.
    virtual QList<SerialPortEntry> listSerialPorts() const;

private:
    Blueman* m_blueman = nullptr;
};
