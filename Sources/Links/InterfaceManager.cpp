#include "Links/InterfaceManager.h"

#include "Data/Store.h"
#include "Links/RemoteInterface.h"
#include "Log/LogCategories.h"

#include <QDataStream>
#include <QDebug>

#include <algorithm>

namespace {

const char kLogSeparator[] = "||||";

} // namespace

InterfaceManager::InterfaceManager(QObject* parent)
    : QObject(parent)
{
}

InterfaceManager::~InterfaceManager() = default;

QByteArray* InterfaceManager::interfaceDataBuffer(QString identifier)
{
    std::unique_ptr<QByteArray>& buffer = interfaceBuffers[identifier];
    if (!buffer)
        buffer = std::make_unique<QByteArray>();
    return buffer.get();
}

quint64 InterfaceManager::interfaceBufferOffset(const QString& identifier) const
{
    return bufferOffset.value(identifier, 0);
}

void InterfaceManager::clearDeviceDataBuffers(quint64 serial)
{
    const QList<RemoteInterface*> links = serialToInterfaces.values(serial);
    for (RemoteInterface* link : links)
        interfaceDataBuffer(link->identifier())->clear();
}

void InterfaceManager::writeToDevice(quint64 serial, QByteArray frame)
{
    QList<RemoteInterface*> links = serialToInterfaces.values(serial);
    if (links.isEmpty())
        return;
    std::stable_sort(links.begin(), links.end(),
                     [](RemoteInterface* a, RemoteInterface* b) { return a->Rank() < b->Rank(); });
    writeToInterface(links.first()->identifier(), frame);
}

void InterfaceManager::writeToInterface(QString identifier, QByteArray data)
{
    RemoteInterface* link = connectedInterfaces.value(identifier, nullptr);
    if (link == nullptr) {
        qCDebug(lcLinks) << " Interfacemanager was asked to write to nonexisting interface: " << identifier;
        return;
    }
    link->write(data);
    if (QDataStream* log = Store::instance()->commLogOut(identifier)) {
        log->writeRawData(data.constData(), data.size());
        log->writeRawData(kLogSeparator, int(sizeof(kLogSeparator)) - 1);
    }
}

int InterfaceManager::numberOfConnectedInterfaces()
{
    return connectedInterfaces.size();
}
