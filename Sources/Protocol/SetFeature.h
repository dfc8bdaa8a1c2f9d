#pragma once

#include "Protocol/Message.h"

// Switches one of the sensor's numbered features on or off.
class SetFeature : public Message
{
    Q_OBJECT
public:
    // The feature numbers the host switches. Any other byte value may be
    // sent as well: SetFeature::DeviceFeatures(n).
    enum DeviceFeatures : quint8 {
        Feature2 = 2,            // off before a setup and before streaming
        LiveStreamUsb = 4,       // live stream over USB
        LiveStreamBluetooth = 5, // live stream over Bluetooth
        RecordToFlash = 6,       // recording into the sensor's flash
        ConfigurationMode = 15,  // on while a setup or a colour change runs
    };
    Q_ENUM(DeviceFeatures)

    SetFeature(quint64 deviceSerial, SetFeature::DeviceFeatures feature, bool on);

    void BeforeComposeHook() override;

    DeviceFeatures getFeature() const { return feature; }
    bool isOn() const { return on; }

private:
    DeviceFeatures feature;
    bool on;
};
