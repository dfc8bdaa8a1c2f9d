#pragma once

#include "Links/RemoteInterface.h"

#include <QMutex>
#include <QSerialPort>
#include <QStringList>
#include <QTimer>

#include <memory>

// A sensor attached as a serial port: a USB serial adapter, or a Bluetooth
// serial port that the operating system exposes as a device file. The link
// is poll-driven; it never signals incoming data, only its own loss.
class USBinterface : public RemoteInterface
{
    Q_OBJECT
public:
    static constexpr int kCheckIntervalMs = 1000;
    static constexpr qint64 kMaxReadBytes = 1024;

    // `portName` is a short name as the system lists it ("ttyUSB0") or a
    // device path ("/dev/pts/3"). The port stays closed until doConnect().
    explicit USBinterface(QString portName, QObject* parent = nullptr);
    ~USBinterface() override;

    // Device paths named in KORVEX_EXTRA_SERIAL_PORTS (colon-separated), in
    // their order, without empty entries. Pseudo-terminals and adapters that
    // the system does not describe as sensors are reached this way.
    static QStringList extraSerialPorts();
    // The identifier that a link created for this name or path will report,
    // so that a scan can recognise a port it already has a link for.
    static QString identifierForPort(const QString& portName);
    // The device file behind a port name or path.
    static QString systemLocationForPort(const QString& portName);

public Q_SLOTS:
    bool doConnect() override;
    void write(QByteArray data) override;
    int Rank() override;
    QByteArray read() override;
    QString identifier() override;
    bool isConnected() override;
    QString type() override;

    // Closes the port and announces the loss, once; a closed link is never
    // reopened (a returning port gets a new link from the next scan).
    void doDisconnect();

private Q_SLOTS:
    void error(QSerialPort::SerialPortError error);
    void checkPort();

private:
    bool isNamedAsExtraPort() const;
    bool portPresent() const;

    std::unique_ptr<QSerialPort> m_port;
    QString m_systemLocation;
    QMutex m_readMutex;
    QTimer m_checkTimer;
    bool m_disconnected = false;
};
