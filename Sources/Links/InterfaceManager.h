#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

#include "Links/ReceiveBuffers.h"
#include "Links/SerialProbes.h"

class DeviceManager;
class RemoteInterface;

// Owns every link to a sensor: takes in discovered links, opens them, asks
// each who it is (GetSerial), polls them into a bounded receive buffer per
// link, hands every window on through the device registry, routes frames for
// a sensor to the best of its links and reports lost links to the registry.
class InterfaceManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString btScanStatus READ btScanStatusString NOTIFY btScanStatusChanged)
    Q_PROPERTY(bool bluetoothScanning READ isBluetoothScanning NOTIFY bluetoothScanningChanged)
public:
    static constexpr int kFastPollIntervalMs = 1;
    static constexpr int kSlowPollIntervalMs = 100;
    static constexpr int kConnectIntervalMs = 1000;
    // Polls without data after which polling falls back to the slow rate.
    static constexpr int kIdlePollsBeforeSlow = 100;
    static constexpr int kMaxBufferBytes = ReceiveBuffers::kMaxBytes;
    // A link that delivered this much in one read likely has more waiting:
    // it is read again in the same poll, up to kMaxReadsPerPoll times, each
    // window handed on, so that a fast link is not held to one read per tick
    // of the poll timer (a page upload runs at the link's own rate).
    static constexpr int kFullReadBytes = 1024;
    static constexpr int kMaxReadsPerPoll = 8;
    // Connect ticks (seconds) after which a link that no sensor has claimed
    // yet is asked again who it is: a sensor that boots slowly, or that
    // shares its serial with one already bound, is not left for ever.
    static constexpr int kReprobeAfterTicks = SerialProbes::kReprobeAfterTicks;

    explicit InterfaceManager(QObject* parent = nullptr);
    ~InterfaceManager() override;

    void setDeviceManager(DeviceManager* deviceManager);

    // The one way in for a newly discovered link (serial-port scan, Bluetooth,
    // tests): the manager takes ownership, files it under its identifier as
    // discovered and listens for its loss; the connect timer opens it. A link
    // whose identifier is already open is dropped (false); one that replaces
    // a discovered link of the same name retires the older object.
    bool addDiscoveredInterface(RemoteInterface* link);

    virtual void writeToDevice(quint64 serial, QByteArray frame);
    // The same over the named link of the sensor; over its route when the
    // link is empty or not bound to it.
    void writeToDevice(quint64 serial, const QString& identifier, QByteArray frame);
    virtual void writeToInterface(QString identifier, QByteArray data);
    // One poll of one link: read, buffer, look for serial replies, hand the
    // window on. True when the link delivered bytes.
    virtual bool tryReadFromInterface(QString identifier);
    virtual int numberOfConnectedInterfaces();
    virtual bool btScanStatus();
    virtual QString btScanStatusString();
    bool isBluetoothScanning() { return btScanStatus(); }

    // Whether the identifier names a discovered or an open link.
    bool isConnected(QString identifier);

    // The receive buffer of a link, created empty on first use and released
    // when the link goes. The manager owns it.
    QByteArray* interfaceDataBuffer(QString identifier);
    // Receive buffers currently held.
    int numberOfReceiveBuffers() const { return m_buffers.count(); }
    // Bytes dropped so far from the front of the link's receive buffer.
    quint64 interfaceBufferOffset(const QString& identifier) const;
    // Empties the receive buffers of every link bound to the serial. The
    // dropped bytes are counted in the offsets as if they had been pushed
    // out of the window, so stream positions never go back and a parser
    // that stays installed neither skips nor reads anything twice.
    void clearDeviceDataBuffers(quint64 serial);
    // The absolute stream position where the receive window of the link
    // that carries the sensor's frames ends now; 0 without such a link.
    // Taken just before a request is written, it tells the reply apart
    // from frames that were already there.
    virtual quint64 receivePosition(quint64 serial);
    // The same for one link.
    quint64 receivePosition(const QString& identifier);

    // The link that carries a sensor's frames: the best rank (so Bluetooth
    // when it has both), or with `fastest` the cable when it has one (the
    // link a long transfer goes over). Empty when none is bound.
    QString routeIdentifier(quint64 serial, bool fastest = false) const;
    // While a window is handed on: the link it came from; empty otherwise.
    QString deliveringLink() const { return m_deliveringLink; }

    // Sets the device offline unless another link is still bound to it.
    void checkDeviceStillConnected(quint64 serial);
    void removeAllInterfaces();

    // Read-only views of the tables, for the scene and for checks.
    QStringList unconnectedIdentifiers() const;
    QStringList connectedIdentifiers() const;
    // The serial bound to an open link; 0 while unbound or for an unknown link.
    quint64 serialForInterface(const QString& identifier) const;
    // Identifiers of the links bound to a serial, in key order.
    QStringList interfacesForSerial(quint64 serial) const;
    // Serial requests still waiting for an answer on that link.
    int pendingSerialRequestCount(const QString& identifier) const;
    QSet<quint64> knownBluetoothAddresses() const { return knownBtAddresses; }
    int pollInterval() const { return m_pollTimer.interval(); }
    bool isPolling() const { return m_pollTimer.isActive(); }
    bool isScanning() const { return m_scanTimer.isActive(); }
    int scanInterval() const { return m_scanTimer.interval(); }

Q_SIGNALS:
    void btScanStatusChanged();
    void bluetoothScanningChanged();
    // A Bluetooth discovery has ended (or could not start): the number of
    // sensor addresses it found that were not known before, and what kept
    // it from working, for the user (empty when nothing did).
    void bluetoothScanFinished(int found, QString problem);

public Q_SLOTS:
    virtual void startScan() = 0;
    virtual void stopScan();
    void InterfaceDisconnected(QString identifier);
    void addKnownBtAddress(quint64 BtAddress);
    virtual void scanBluetoothInterfaces();

private Q_SLOTS:
    void pollComm();
    void tryConnectDevices();

protected:
    void checkPendingIdMessages(QString identifier, QByteArray buffer, quint64 offset);

    // Discovered links not yet open, and open links, keyed by identifier().
    // A link is in at most one of them.
    QMap<QString, RemoteInterface*> unconnectedInterfaces;
    QMap<QString, RemoteInterface*> connectedInterfaces;
    // Bindings of open links to sensor serials; a sensor may be reachable
    // over several links at once.
    QMultiMap<quint64, RemoteInterface*> serialToInterfaces;
    QMap<RemoteInterface*, quint64> interfaceToSerial;
    // The questions for the serial of each open, unbound link.
    SerialProbes* serialProbes() const { return m_probes; }

    ReceiveBuffers m_buffers;

    QSet<quint64> knownBtAddresses;

    QTimer m_pollTimer;
    // Bytes the latest read delivered.
    int m_lastReadBytes = 0;
    QTimer m_connectTimer;
    QTimer m_scanTimer;
    int m_idlePollCount = 0;

private:
    void bindInterface(RemoteInterface* link, quint64 serial);
    void retireInterface(RemoteInterface* link);
    void reprobeUnboundLinks();
    // The links bound to a serial, oldest binding first.
    QList<RemoteInterface*> linksBoundTo(quint64 serial) const;
    // The link that carries a sensor's frames: the best rank, and among
    // equal ranks the one bound first, so the choice stays put.
    RemoteInterface* routeFor(quint64 serial, bool fastest = false) const;
    quint64 endPosition(const QString& identifier);
    void emptyBuffer(const QString& identifier);
    // How a link reaches its sensor: over Bluetooth (a socket, or a serial
    // port the system bound to one) or by cable. One sensor is reached at
    // most once each way.
    static QString transportOf(RemoteInterface* link);

    QPointer<DeviceManager> m_deviceManager;
    QString m_deliveringLink;
    SerialProbes* m_probes = nullptr;
    // Links already reported for claiming a serial that another sensor
    // holds, with that serial.
    QMap<QString, quint64> m_reportedClaims;
};
