#include "FlashRecording.h"

#include "Crc16Arc.h"
#include "SimFlash.h"

#include "Data/Track.h"
#include "Data/TrackList.h"

using sensorsim::Crc16Arc;
using sensorsim::SimFlash;

namespace {

quint64 bigEndian(const QByteArray& bytes, int at, int width)
{
    quint64 value = 0;
    for (int i = 0; i < width; ++i)
        value = (value << 8) | quint8(bytes.at(at + i));
    return value;
}

double asSigned(quint64 raw, int width)
{
    const int shift = 64 - 8 * width;
    return double(qint64(raw << shift) >> shift);
}

QString compareScalar(const Track& track, const std::map<quint32, QByteArray>& raw)
{
    const ScalarSampleStore& store = track.scalarSampleStore();
    if (int(raw.size()) != store.size())
        return QString("%1 samples recorded, %2 stored").arg(raw.size()).arg(store.size());
    // Either reading of the raw bytes may be the track's; one must fit all.
    for (const bool isSigned : {true, false}) {
        double factor = 0.0;
        int index = 0;
        bool fits = true;
        for (const auto& [number, bytes] : raw) {
            const quint64 bits = bigEndian(bytes, 0, bytes.size());
            const double value = isSigned ? asSigned(bits, bytes.size()) : double(bits);
            const double stored = store.valueAt(index);
            if (store.numberAt(index) != number)
                return QString("sample number %1 stored where %2 was recorded").arg(store.numberAt(index)).arg(number);
            if (factor == 0.0 && value != 0.0)
                factor = stored / value;
            if (qAbs(stored - value * factor) > 1e-9 * qMax(1.0, qAbs(stored))) {
                fits = false;
                break;
            }
            ++index;
        }
        if (fits)
            return QString();
    }
    return QStringLiteral("stored values do not follow the recorded ones");
}

QString compareVector(const Track& track, const std::map<quint32, QByteArray>& raw)
{
    const VectorSampleStore& store = track.vectorSampleStore();
    if (int(raw.size()) != store.size())
        return QString("%1 vector samples recorded, %2 stored").arg(raw.size()).arg(store.size());
    int index = 0;
    for (const auto& [number, bytes] : raw) {
        if (store.numberAt(index) != number)
            return QString("vector sample number %1 stored where %2 was recorded").arg(store.numberAt(index)).arg(number);
        const int components = bytes.size() / 4;
        if (store.componentCountAt(index) != components)
            return QString("sample %1: %2 components stored").arg(number).arg(store.componentCountAt(index));
        for (int c = 0; c < components; ++c) {
            if (store.componentsAt(index)[c] != asSigned(bigEndian(bytes, 4 * c, 4), 4))
                return QString("sample %1, component %2 differs").arg(number).arg(c);
        }
        ++index;
    }
    return QString();
}

} // namespace

FlashRecording FlashRecording::read(const sensorsim::SimulatedSensor& sensor, const sensorsim::TableEntry& entry,
                                    const QVector<sensorsim::TrackEntry>& tracks)
{
    FlashRecording recording;
    for (const sensorsim::TrackEntry& track : tracks) {
        recording.trackIds.append(track.trackId);
        recording.widths.append(sensorsim::SimulatedSensor::trackWidth(track.trackId));
        recording.raw.append(std::map<quint32, QByteArray>());
    }
    // The header page comes first; the data pages follow up to the stop address.
    const qint64 last = SimFlash::pageIndex(entry.stop);
    for (qint64 index = SimFlash::pageIndex(entry.start) + 1; index <= last; ++index) {
        const QByteArray page = sensor.flash().readPage(SimFlash::fromPageIndex(index));
        int at = 0;
        while (at + 8 <= page.size()) {
            const quint16 mask = quint16(bigEndian(page, at, 2));
            if (Crc16Arc::compute(page.constData() + at, 2) != quint16(bigEndian(page, at + 2, 2)))
                break;
            const quint32 number = quint32(bigEndian(page, at + 4, 4));
            at += 8;
            for (int track = 0; track < recording.widths.size(); ++track) {
                if (!(mask & (1u << track)))
                    continue;
                recording.raw[track][number] = page.mid(at, recording.widths.at(track));
                at += recording.widths.at(track);
            }
        }
    }
    return recording;
}

QString FlashRecording::compare(TrackList* list) const
{
    if (list == nullptr)
        return QStringLiteral("no track list");
    for (int i = 0; i < trackIds.size(); ++i) {
        const QString name = QString::number(trackIds.at(i), 16);
        Track* track = list->getTrackById(trackIds.at(i));
        if (track == nullptr)
            return "no track " + name;
        const QString fault = track->getType() == Track::VectorTrack ? compareVector(*track, raw.at(i))
                                                                       : compareScalar(*track, raw.at(i));
        if (!fault.isEmpty())
            return "track " + name + ": " + fault;
    }
    return QString();
}

int FlashRecording::samples() const
{
    int count = 0;
    for (const auto& track : raw)
        count += int(track.size());
    return count;
}
