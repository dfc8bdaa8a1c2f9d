#include "Links/BTinterface.h"

#include "Application/Helper.h"
#include "Links/Blueman.h"

#include <QBluetoothAddress>

BTinterface::BTinterface(quint64 address, Blueman* blueman, QObject* parent)
    : RemoteInterface(parent)
    , m_address(address)
    , m_blueman(blueman)
{
}

bool BTinterface::doConnect()
{
    return true;
}

void BTinterface::write(QByteArray data)
{
    if (m_blueman)
        m_blueman->writeToDeviceByAddress(m_address, data.constData(), data.size());
}

int BTinterface::Rank()
{
    return 2;
}

QByteArray BTinterface::read()
{
    if (!m_blueman)
        return QByteArray();
    QByteArray bytes(kMaxReadBytes, Qt::Uninitialized);
    const int count = m_blueman->readFromDeviceByAddress(m_address, bytes.data(), bytes.size());
    bytes.resize(qMax(count, 0));
    return bytes;
}

QString BTinterface::identifier()
{
    return Helper::StringFromBTaddress(QBluetoothAddress(m_address));
}

bool BTinterface::isConnected()
{
    return m_blueman && m_blueman->isDeviceConnectedByAddress(m_address);
}

QString BTinterface::type()
{
    return QStringLiteral("bluetooth");
}
