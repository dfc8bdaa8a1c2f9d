#include "Protocol/ResetTracks.h"

ResetTracks::ResetTracks(quint64 deviceSerial)
    : Message(deviceSerial)
{
}

void ResetTracks::BeforeComposeHook()
{
    command = QByteArrayLiteral("<ResetTracks>");
    payload.clear();
}
