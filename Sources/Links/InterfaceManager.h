#pragma once

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QString>

#include <map>
#include <memory>

class RemoteInterface;

// Owns every link to a sensor, keeps a bounded receive buffer per link, knows
// which sensor serial each link is bound to, and routes frames for a sensor
// to the best of its links.
class InterfaceManager : public QObject
{
    Q_OBJECT
public:
    explicit InterfaceManager(QObject* parent = nullptr);
    ~InterfaceManager() override;

    // The receive buffer of a link, created empty on first use and kept for
    // the whole run (a link that comes back under the same name continues
    // it). The manager owns it.
    QByteArray* interfaceDataBuffer(QString identifier);
    // Bytes dropped so far from the front of the link's receive buffer.
    quint64 interfaceBufferOffset(const QString& identifier) const;
    // Empties the receive buffers of every link bound to the serial; the
    // offsets stay as they are.
    void clearDeviceDataBuffers(quint64 serial);

    // Sends the frame over the sensor's preferred link (lowest rank);
    // nothing when no link is bound to the serial.
    virtual void writeToDevice(quint64 serial, QByteArray frame);
    virtual void writeToInterface(QString identifier, QByteArray data);
    virtual int numberOfConnectedInterfaces();

protected:
    // Discovered links not yet open, and open links, keyed by identifier().
    // A link is in at most one of them.
    QMap<QString, RemoteInterface*> unconnectedInterfaces;
    QMap<QString, RemoteInterface*> connectedInterfaces;
    // Bindings of open links to sensor serials; a sensor may be reachable
    // over several links at once.
    QMultiMap<quint64, RemoteInterface*> serialToInterfaces;
    QMap<RemoteInterface*, quint64> interfaceToSerial;

    std::map<QString, std::unique_ptr<QByteArray>> interfaceBuffers;
    QMap<QString, quint64> bufferOffset;
};
