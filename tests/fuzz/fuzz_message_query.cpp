// Reply recognition of a waiting query over arbitrary bytes. The first byte
// is the query's own number, so the fuzzer can reach frames that match it.
#include "FuzzSupport.h"

#include "Protocol/GetFirmware.h"
#include "Protocol/GetSerial.h"
#include "Protocol/GetTopState.h"
#include "Protocol/SetFeature.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzSetUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const quint8 number = data[0];
    const QByteArray window = fuzzBytes(data + 1, size - 1);

    GetSerial serial(QStringLiteral("fuzz"));
    GetFirmware firmware(1);
    GetTopState state(1);
    SetFeature feature(1, SetFeature::LiveStreamUsb, true);
    for (Message* message : std::initializer_list<Message*>{&serial, &firmware, &state, &feature}) {
        Message::messageNumberGlobal = number;
        message->Compose();
        message->tryToParse(window, 0);
        // Offered again, as the link manager does with every later delivery.
        message->tryToParse(window, 0);
    }
    return 0;
}
