// The track-list record reader over arbitrary bytes, in both load modes.
#include "FuzzSupport.h"

#include "Data/TrackList.h"

#include <QDataStream>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzSetUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = fuzzBytes(data, size);
    {
        QDataStream stream(input);
        TrackList* list = nullptr;
        stream >> list;
        delete list;
    }
    for (Storable::LoadModes mode : {Storable::LoadHeader, Storable::LoadFull}) {
        QDataStream stream(input);
        TrackList loader(nullptr, 0, 0);
        loader.setLoadMode(mode);
        QObject::connect(&loader, &TrackList::loadedTrackListFromDisk, [](TrackList* loaded) { delete loaded; });
        loader.tryLoadFromStream(stream);
    }
    return 0;
}
