#pragma once

#include "Devices/DeviceManager.h"

#include "ManualClock.h"
#include "ManualLinkManager.h"
#include "SimulatedLink.h"
#include "TemporaryStorage.h"

#include <memory>

// A registry and a hand-driven link manager wired to each other, on a fresh
// storage folder; simulated sensors share one manual clock.
struct LinkRig
{
    LinkRig()
    {
        devices.setInterfaceManager(&links);
        links.setDeviceManager(&devices);
    }

    SimulatedLink* add(quint64 serial, const QString& identifier, const QString& type = "usb", int rank = 3)
    {
        auto* link = new SimulatedLink(serial, identifier, type, rank, clock);
        links.addDiscoveredInterface(link);
        return link;
    }

    TemporaryStorage storage;
    DeviceManager devices;
    ManualLinkManager links;
    std::shared_ptr<sensorsim::ManualClock> clock = std::make_shared<sensorsim::ManualClock>();
};
