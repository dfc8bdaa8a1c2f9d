// Stream header scan over arbitrary bytes, both as the plain scan and as the
// live listener that the live workflow installs.
#include "FuzzSupport.h"

#include "Protocol/LiveStreamParseHeader.h"

#include <QObject>

#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzSetUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray window = fuzzBytes(data, size);
    LiveStreamParseHeader parser(1);
    qint64 announcements = 0;
    QObject::connect(&parser, &ParseHeader::DeviceTrackFound, [&] { ++announcements; });
    QObject::connect(&parser, &ParseHeader::DeviceTracksParsed, [&] { ++announcements; });
    parser.FindAndParseStaticHeaders(window);
    parser.tryToParse(window, 0);
    // Whatever a header claims, each announcement stands for bytes that are
    // really in the window (six per track, ten per device), and a header can
    // start at most at every second position (it begins with DD 88).
    const qint64 n = qint64(size);
    if (announcements > 2 * (n / 2 + 1) * (n / 6 + n / 10 + 1))
        std::abort();
    return 0;
}
