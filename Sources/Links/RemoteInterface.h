#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// One connection to a sensor, whatever carries it. Created closed, opened by
// the link manager, polled for bytes, written to; it reports its own loss.
class RemoteInterface : public QObject
{
    Q_OBJECT
public:
    explicit RemoteInterface(QObject* parent = nullptr)
        : QObject(parent)
    {
    }
    ~RemoteInterface() override = default;

public Q_SLOTS:
    virtual bool doConnect() = 0;
    virtual void write(QByteArray data) = 0;
    // Preference among several links to one sensor: USB 3, Bluetooth 2.
    virtual int Rank() = 0;
    // Bytes received since the last call, possibly none; never blocks.
    virtual QByteArray read() = 0;
    virtual QString identifier() = 0;
    virtual bool isConnected() = 0;
    virtual QString type() = 0;

Q_SIGNALS:
    void didDisconnect(QString identifier);
};
