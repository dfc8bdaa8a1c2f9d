#pragma once

#include "Links/RemoteInterface.h"

#include <QPointer>

class Blueman;

// The link for one remote Bluetooth address. It owns nothing: the socket
// lives in the Blueman, which connected it before this link was created and
// which reports its loss.
class BTinterface : public RemoteInterface
{
    Q_OBJECT
public:
    static constexpr int kMaxReadBytes = 1024;

    BTinterface(quint64 address, Blueman* blueman, QObject* parent = nullptr);

    quint64 address() const { return m_address; }

public Q_SLOTS:
    bool doConnect() override;
    void write(QByteArray data) override;
    int Rank() override;
    QByteArray read() override;
    QString identifier() override;
    bool isConnected() override;
    QString type() override;

private:
    quint64 m_address;
    QPointer<Blueman> m_blueman;
};
