#pragma once

#include "Links/RemoteInterface.h"

#include <QList>

// A link that is always open, never receives anything and keeps every block
// it is asked to send, for tests of the routing above the links. Rank 3
// makes it a USB link, any other rank a Bluetooth link.
class RecordingLink : public RemoteInterface
{
    Q_OBJECT
public:
    RecordingLink(QString name, int rank, QObject* parent = nullptr)
        : RemoteInterface(parent)
        , m_name(std::move(name))
        , m_rank(rank)
    {
    }

    QList<QByteArray> written;

public Q_SLOTS:
    bool doConnect() override { return true; }
    void write(QByteArray data) override { written.append(data); }
    int Rank() override { return m_rank; }
    QByteArray read() override { return QByteArray(); }
    QString identifier() override { return m_name; }
    bool isConnected() override { return true; }
    QString type() override { return m_rank == 3 ? QStringLiteral("usb") : QStringLiteral("bluetooth"); }

private:
    QString m_name;
    int m_rank;
};
