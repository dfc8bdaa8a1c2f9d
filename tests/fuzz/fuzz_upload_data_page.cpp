// The one-page flash reader over a page reply whose data are arbitrary bytes
// (cut or padded to a page), with a two-track list announced, and over the
// arbitrary bytes as a whole window.
#include "FuzzSupport.h"

#include "Data/Track.h"
#include "Data/TrackList.h"
#include "Protocol/UploadDataPage.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzSetUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = fuzzBytes(data, size);
    QByteArray page = input.left(UploadDataPage::kPageSize);
    page.append(QByteArray(UploadDataPage::kPageSize - page.size(), '\xFF'));

    TrackList list(nullptr, 1, 2);
    list.AddTrack(quint16(Track::Pressure), 1, 4, 0);
    list.AddTrack(quint16(Track::FusionRawDmp), 1, 16, 0);
    UploadDataPage upload(1, 2, FlashAddress(0, 1, 1), FlashAddress(0, 1, 3));
    upload.DeviceTrackListChanged(1, 2, &list);

    Message::messageNumberGlobal = 0x31;
    upload.Compose();
    QByteArray reply("<msg>1<SndFlashPage>");
    reply += page;
    reply += QByteArray("</msg>\r\n");
    upload.tryToParse(reply + input.mid(UploadDataPage::kPageSize), 0);

    upload.Compose();
    upload.tryToParse(input, 0);
    return 0;
}
