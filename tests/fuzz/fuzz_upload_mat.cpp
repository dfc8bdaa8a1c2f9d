// The allocation-table reader over a page reply whose data are arbitrary
// bytes, and over the arbitrary bytes as a whole window.
#include "FuzzSupport.h"

#include "Protocol/UploadMAT.h"

#include <QObject>

#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzSetUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = fuzzBytes(data, size);
    QByteArray page = input.left(UploadMAT::kPageSize);
    page.append(QByteArray(UploadMAT::kPageSize - page.size(), '\xFF'));

    UploadMAT mat(1, FlashAddress(0, 1, 0));
    int entries = 0;
    QObject::connect(&mat, &UploadMAT::foundCompleteMeasurement, [&] { ++entries; });
    QObject::connect(&mat, &UploadMAT::foundStartedMeasurement, [&] { ++entries; });

    Message::messageNumberGlobal = 0x31;
    mat.Compose();
    QByteArray reply("<msg>1<SndFlashPage>");
    reply += page;
    reply += QByteArray("</msg>\r\n");
    mat.tryToParse(reply + input.mid(UploadMAT::kPageSize), 0);
    if (entries > UploadMAT::kPageSize / UploadMAT::kEntrySize)
        std::abort();

    mat.reset();
    mat.Compose();
    mat.tryToParse(input, 0);
    return 0;
}
