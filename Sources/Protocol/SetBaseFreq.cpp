#include "Protocol/SetBaseFreq.h"

SetBaseFreq::SetBaseFreq(quint64 deviceSerial, int frequency)
    : Message(deviceSerial)
    , frequency(frequency)
{
}

void SetBaseFreq::BeforeComposeHook()
{
    command = QByteArrayLiteral("<SetBaseFreq>");
    payload = QByteArray(2, '\0');
    int position = 0;
    composeUInt16(quint16(quint32(frequency) & 0xFFFF), position);
}
