#pragma once

#include "Links/InterfaceManager.h"

#include <QString>

class GetSerial;

// The link manager without a platform: a test adds links itself and drives
// the connect and poll timers' slots by hand. It can also check the
// invariants of its tables.
class ManualLinkManager : public InterfaceManager
{
    Q_OBJECT
public:
    explicit ManualLinkManager(QObject* parent = nullptr)
        : InterfaceManager(parent)
    {
    }

    int scans = 0;
    void startScan() override { ++scans; }

    void connectLinks();
    void poll();

    // The serial request waiting on that link, if any.
    GetSerial* request(const QString& identifier) const;
    int pendingRequestTotal() const { return serialProbes()->pending().size(); }
    int bindingCount() const { return interfaceToSerial.size(); }
    int bufferCount() const { return numberOfReceiveBuffers(); }

    // What the tables must keep whatever happened; empty when they do.
    QString tableFault() const;
};
