#include "Data/TrackList.h"

#include "Application/Helper.h"
#include "Data/CsvTrackWriter.h"
#include "Data/MatlabExporter.h"
#include "Data/Track.h"
#include "Log/LogCategories.h"

#include <QDataStream>
#include <QDebug>

namespace {

// The smallest encoded track entry: its id, then a track record with empty
// strings and empty sample maps.
const qint64 kMinimumTrackEntrySize = 2 + 8 + 1 + 4 + 2 + 1 + 1 + 1 + 8 + 3 * 4 + 8 + 8 + 2 * 4;

// Labels name the CSV files as they stand, except that a folder separator
// would put the file somewhere else (or nowhere).
QString csvFileName(const QString& label)
{
    QString name = label;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    name.replace(QLatin1Char('\\'), QLatin1Char('_'));
    name.replace(QChar(0), QLatin1Char('_'));
    return name + QStringLiteral(".csv");
}

} // namespace

TrackList::TrackList(QObject* parent, quint64 deviceSerial, quint64 measurementId)
    : Storable(parent)
    , m_deviceSerial(deviceSerial)
    , m_measurementId(measurementId)
{
}

TrackList::~TrackList()
{
    qCDebug(lcData) << " In Tracklist destructor ";
    for (Track* track : qAsConst(m_tracks)) {
        if (track != nullptr && track->parent() != this)
            delete track;
    }
    m_tracks.clear();
    qCDebug(lcData) << "Tracklist destructor done";
}

void TrackList::AddTrack(Track* trackToAdd)
{
    if (trackToAdd == nullptr)
        return;
    const auto id = static_cast<quint16>(trackToAdd->getTrackId());
    Track* replaced = m_tracks.value(id, nullptr);
    if (replaced != nullptr && replaced != trackToAdd) {
        // Whoever still holds the replaced track (a plot, a processor) keeps
        // a valid object; it goes when this list goes.
        disconnect(replaced, &Track::newLiveValue, this, &TrackList::newLiveValue);
        replaced->setParent(this);
    }
    if (trackToAdd->parent() == this)
        trackToAdd->setParent(nullptr);
    m_tracks.insert(id, trackToAdd);
    m_trackOrder.removeAll(id);
    m_trackOrder.append(id);
    connect(trackToAdd, &Track::newLiveValue, this, &TrackList::newLiveValue, Qt::UniqueConnection);
}

void TrackList::AddTrack(quint16 trackID, quint16 downSampling, quint8 trackWidth, quint8 configIndex)
{
    if (m_tracks.contains(trackID))
        return;
    Track* track = Track::constructFromID(static_cast<Track::TrackIDs>(trackID));
    track->setTrackWidth(trackWidth);
    track->setConfigIndex(configIndex);
    track->setDownSamplingFactor(downSampling);
    AddTrack(track);
}

void TrackList::AddScalarSample(quint16 trackID, double value)
{
    Track* track = m_tracks.value(trackID, nullptr);
    if (track != nullptr)
        track->AddScalarSample(value);
}

Track* TrackList::getTrackById(quint64 id)
{
    Track* track = m_tracks.value(static_cast<quint16>(id & 0xFFFF), nullptr);
    if (track == nullptr)
        qCDebug(lcData) << " Warning, Track: " << Qt::hex << id << " not found, returning NULL.";
    return track;
}

quint16 TrackList::getTrackIdByIndex(quint8 index)
{
    if (index >= m_trackOrder.size()) {
        qCDebug(lcData) << "TrackList was asked for non existing index: " << int(index);
        return 0;
    }
    return m_trackOrder.at(index);
}

Track* TrackList::getTrackByIndex(quint8 index)
{
    return m_tracks.value(getTrackIdByIndex(index), nullptr);
}

QList<Track*> TrackList::getAllTracks() const
{
    return m_tracks.values();
}

QList<double>* TrackList::GetScalarSamples(quint16 trackID)
{
    Track* track = m_tracks.value(trackID, nullptr);
    if (track == nullptr) {
        qCDebug(lcData) << " Requested SampleVector for unknown Track: " << Qt::hex << trackID;
        return nullptr;
    }
    return &track->getScalarSamples();
}

QList<QList<double>> TrackList::GetVectorSamples(quint16 trackID)
{
    Track* track = m_tracks.value(trackID, nullptr);
    if (track == nullptr)
        return QList<QList<double>>();
    return *track->getVectorSamples();
}

qint64 TrackList::numberOfSamples() const
{
    qint64 count = 0;
    for (const Track* track : m_tracks) {
        if (track != nullptr)
            count += track->numberOfSamples() + track->numberOfVectorSamples();
    }
    return count;
}

void TrackList::squeezeSamples()
{
    for (Track* track : qAsConst(m_tracks)) {
        if (track != nullptr)
            track->squeezeSamples();
    }
}

void TrackList::emitComplete()
{
    Q_EMIT complete(this);
}

void TrackList::debugOut()
{
    qCDebug(lcData) << "tracklist. Device: " << Qt::hex << m_deviceSerial << " measurement: " << m_measurementId;
    if (m_tracks.isEmpty())
        return;
    Track* first = m_tracks.first();
    if (first != nullptr)
        qCDebug(lcData) << " Track 0 : " << first << " " << first->getLabel() << " samples: " << first->numberOfSamples();
}

void TrackList::ClearExportDirectory(QString UploadedMeasurementName)
{
    Helper::DeleteDirectoryIfExists(Helper::geExportPath() + QLatin1Char('/') + UploadedMeasurementName
                                    + QLatin1Char('/'));
}

bool TrackList::ExportToCSV(QString UploadedMeasurementName)
{
    const QString folder = Helper::geExportPath() + QLatin1Char('/') + UploadedMeasurementName + QLatin1Char('/')
        + QString::number(m_deviceSerial, 16);
    bool written = true;
    for (Track* track : qAsConst(m_tracks)) {
        if (!Helper::AssureDirectoryExists(folder)) {
            qCDebug(lcData) << " Could not create export directoy: " << folder;
            return false;
        }
        if (track == nullptr)
            continue;
        const QString path = folder + QLatin1Char('/') + csvFileName(track->getLabel());
        if (!CsvTrackWriter::write(*track, path)) {
            qCDebug(lcData) << " Could not write export file: " << path;
            written = false;
        }
    }
    return written;
}

bool TrackList::ExportToMAT(QString UploadedMeasurementName)
{
    const QString folder = Helper::geExportPath() + QLatin1Char('/') + UploadedMeasurementName + QLatin1Char('/');
    const QString file = folder + QString::number(m_deviceSerial, 16) + QStringLiteral(".mat");
    if (!Helper::AssureDirectoryExists(folder)) {
        qCDebug(lcData) << " Could not create export directoy: " << folder;
        return false;
    }
    return MatlabExporter::ExportTrackList(file, this);
}

QString TrackList::storagePath()
{
    return Helper::getDataPath() + QLatin1Char('/') + QString::number(m_measurementId, 16);
}

QString TrackList::entityName()
{
    return QStringLiteral("Tracklist");
}

QString TrackList::fileEnding()
{
    return QStringLiteral("ktt");
}

QString TrackList::generateFileName()
{
    return Helper::SanitizeFileName(QString::number(m_measurementId, 16) + QLatin1Char('_')
                                    + QString::number(m_deviceSerial, 16));
}

bool TrackList::tryLoadFromStream(QDataStream& stream)
{
    auto* loaded = new TrackList(nullptr, 0, 0);
    loaded->setLoadMode(getLoadMode());
    loaded->readRecord(stream);
    if (stream.status() != QDataStream::Ok) {
        delete loaded;
        return false;
    }
    Q_EMIT loadedTrackListFromDisk(loaded);
    return true;
}

void TrackList::saveToStream(QDataStream& stream)
{
    stream << *this;
}

void TrackList::readRecord(QDataStream& stream)
{
    readSerializationVersion(stream);
    qint64 serial = 0;
    qint64 measurementId = 0;
    stream >> serial >> measurementId;
    m_deviceSerial = static_cast<quint64>(serial);
    m_measurementId = static_cast<quint64>(measurementId);
    if (stream.status() != QDataStream::Ok || getLoadMode() != LoadFull)
        return;

    const quint32 count = readCount(stream, kMinimumTrackEntrySize);
    for (quint32 i = 0; i < count && stream.status() == QDataStream::Ok; ++i) {
        quint16 id = 0;
        Track* track = nullptr;
        stream >> id >> track;
        if (track == nullptr)
            break;
        // A well-formed record names every id once; should one repeat, the
        // later track wins, as it would in the map.
        delete m_tracks.value(id, nullptr);
        m_tracks.insert(id, track);
    }
    if (stream.status() != QDataStream::Ok)
        return;

    const quint32 orderCount = readCount(stream, 2);
    for (quint32 i = 0; i < orderCount; ++i) {
        quint16 id = 0;
        stream >> id;
        if (stream.status() != QDataStream::Ok)
            return;
        m_trackOrder.append(id);
    }
    qCDebug(lcData) << " loaded tracklist from stream, number of tracks: " << m_tracks.size();
}

QDataStream& operator<<(QDataStream& stream, const TrackList& list)
{
    Storable::writeSerializationVersion(stream);
    stream << static_cast<qint64>(list.m_deviceSerial) << static_cast<qint64>(list.m_measurementId);
    stream << static_cast<qint32>(list.m_tracks.size());
    for (auto it = list.m_tracks.constEnd(); it != list.m_tracks.constBegin();) {
        --it;
        stream << static_cast<qint16>(it.key());
        if (it.value() != nullptr) {
            stream << *it.value();
        } else {
            // Never the case through AddTrack; keep the record readable anyway.
            Track empty;
            empty.setTrackId(it.key());
            stream << empty;
        }
    }
    stream << static_cast<qint32>(list.m_trackOrder.size());
    for (quint16 id : list.m_trackOrder)
        stream << static_cast<qint16>(id);
    qCDebug(lcData) << " wrote tracklist to stream, number of tracks: " << list.m_tracks.size();
    return stream;
}

QDataStream& operator>>(QDataStream& stream, TrackList*& list)
{
    auto* loaded = new TrackList(nullptr, 0, 0);
    loaded->readRecord(stream);
    if (stream.status() != QDataStream::Ok) {
        delete loaded;
        list = nullptr;
        return stream;
    }
    list = loaded;
    return stream;
}
