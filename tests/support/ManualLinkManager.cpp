#include "ManualLinkManager.h"

#include "Links/RemoteInterface.h"
#include "Protocol/GetSerial.h"

#include <QMetaObject>
#include <QtTest>

void ManualLinkManager::connectLinks()
{
    QVERIFY(QMetaObject::invokeMethod(this, "tryConnectDevices"));
}

void ManualLinkManager::poll()
{
    QVERIFY(QMetaObject::invokeMethod(this, "pollComm"));
}

GetSerial* ManualLinkManager::request(const QString& identifier) const
{
    for (GetSerial* request : serialProbes()->pending()) {
        if (request->getInterfaceIdentifier() == identifier)
            return request;
    }
    return nullptr;
}

QString ManualLinkManager::tableFault() const
{
    for (auto it = unconnectedInterfaces.cbegin(); it != unconnectedInterfaces.cend(); ++it) {
        if (connectedInterfaces.contains(it.key()))
            return "in both tables: " + it.key();
        if (it.value()->identifier() != it.key())
            return "discovered link filed under a wrong name: " + it.key();
    }
    const QList<RemoteInterface*> open = connectedInterfaces.values();
    for (auto it = connectedInterfaces.cbegin(); it != connectedInterfaces.cend(); ++it) {
        if (it.value()->identifier() != it.key())
            return "open link filed under a wrong name: " + it.key();
    }
    for (auto it = interfaceToSerial.cbegin(); it != interfaceToSerial.cend(); ++it) {
        if (!open.contains(it.key()))
            return "binding of a link that is not open";
        if (!serialToInterfaces.contains(it.value(), it.key()))
            return "binding missing from the serial map";
    }
    for (auto it = serialToInterfaces.cbegin(); it != serialToInterfaces.cend(); ++it) {
        if (interfaceToSerial.value(it.value(), 0) != it.key())
            return "serial map holds a pair the link map does not";
    }
    if (serialToInterfaces.size() != interfaceToSerial.size())
        return "duplicate bindings";
    for (GetSerial* request : serialProbes()->pending()) {
        if (!connectedInterfaces.contains(request->getInterfaceIdentifier()))
            return "serial request for a link that is not open: " + request->getInterfaceIdentifier();
    }
    return QString();
}
