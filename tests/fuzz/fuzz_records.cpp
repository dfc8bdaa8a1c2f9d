// Stored records read from arbitrary bytes: a track list in both load modes
// (through a file-like and a stream-like device), a single track record and
// a user record, a device record and a measurement record.
#include "FuzzSupport.h"

#include "Data/Measurement.h"
#include "Data/Track.h"
#include "Data/TrackList.h"
#include "Data/User.h"
#include "Devices/KtDevice.h"

#include <QBuffer>
#include <QDataStream>

#include <cstdlib>
#include <memory>

namespace {

// A device that cannot tell how much is left, as a pipe would.
class Sequential : public QBuffer
{
public:
    using QBuffer::QBuffer;
    bool isSequential() const override { return true; }
};

qint64 storedValues(TrackList* list)
{
    qint64 values = 0;
    for (Track* track : list->getAllTracks()) {
        values += track->numberOfSamples();
        for (int i = 0; i < track->numberOfVectorSamples(); ++i)
            values += 1 + track->vectorSampleStore().componentCountAt(i);
    }
    return values;
}

void readTrackList(const QByteArray& bytes, Storable::LoadModes mode, bool sequential)
{
    QByteArray copy = bytes;
    std::unique_ptr<QBuffer> device(sequential ? new Sequential(&copy) : new QBuffer(&copy));
    device->open(QIODevice::ReadOnly);
    QDataStream stream(device.get());
    TrackList prototype(nullptr, 0, 0);
    prototype.setLoadMode(mode);
    std::unique_ptr<TrackList> loaded;
    QObject::connect(&prototype, &TrackList::loadedTrackListFromDisk,
                     [&loaded](TrackList* list) { loaded.reset(list); });
    const bool ok = prototype.tryLoadFromStream(stream);
    if (ok != bool(loaded))
        std::abort();
    // Every stored value stands for at least eight bytes of input.
    if (loaded && storedValues(loaded.get()) > bytes.size() / 8 + 1)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzSetUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = fuzzBytes(data, size);
    readTrackList(bytes, Storable::LoadFull, false);
    readTrackList(bytes, Storable::LoadFull, true);
    readTrackList(bytes, Storable::LoadHeader, false);

    {
        QDataStream stream(bytes);
        Track* track = nullptr;
        stream >> track;
        if ((track != nullptr) != (stream.status() == QDataStream::Ok))
            std::abort();
        delete track;
    }
    {
        QDataStream stream(bytes);
        User prototype;
        std::unique_ptr<User> loaded;
        QObject::connect(&prototype, &User::loadedUserFromDisk, [&loaded](User* user) { loaded.reset(user); });
        if (prototype.tryLoadFromStream(stream) != bool(loaded))
            std::abort();
    }
    {
        QDataStream stream(bytes);
        KtDevice prototype;
        std::unique_ptr<KtDevice> loaded;
        QObject::connect(&prototype, &KtDevice::loadedDeviceFromDisk,
                         [&loaded](KtDevice* device) { loaded.reset(device); });
        if (prototype.tryLoadFromStream(stream) != bool(loaded))
            std::abort();
    }
    {
        // The record alone: a record that reads would go on to scan the
        // data folder for its track lists.
        QByteArray copy = bytes;
        QBuffer device(&copy);
        device.open(QIODevice::ReadOnly);
        QDataStream stream(&device);
        Measurement measurement(nullptr, 0);
        measurement.readRecord(stream);
        // Its fixed fields alone take 55 bytes.
        if (stream.status() == QDataStream::Ok && bytes.size() < 55)
            std::abort();
    }
    return 0;
}
