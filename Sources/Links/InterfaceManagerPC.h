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

private:
    Blueman* m_blueman = nullptr;
};
