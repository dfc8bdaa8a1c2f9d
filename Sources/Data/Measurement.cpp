#include "Data/Measurement.h"

#include "Application/Helper.h"
#include "Data/AnalysisExport.h"
#include "Data/TrackList.h"
#include "Log/LogCategories.h"

#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QDebug>

#include <limits>

namespace {

const qint64 kNoStartTimeKey = std::numeric_limits<qint64>::min();

// A device serial (8 bytes) and a packed flash address (4 bytes).
const qint64 kAddressEntrySize = 8 + 4;

void writeAddressMap(QDataStream& stream, const QMap<quint64, quint32>& map)
{
    stream << map;
}

// Reads a map in the data stream's own form (count, then the entries from the
// highest key down), refusing a count that the rest of the file cannot hold.
void readAddressMap(QDataStream& stream, QMap<quint64, quint32>& map)
{
    map.clear();
    const quint32 count = Storable::readCount(stream, kAddressEntrySize);
    for (quint32 i = 0; i < count; ++i) {
        quint64 serial = 0;
        quint32 address = 0;
        stream >> serial >> address;
        if (stream.status() != QDataStream::Ok)
            return;
        map.insert(serial, address);
    }
}

} // namespace

const char Measurement::kLiveViewFileName[] = "live";

Measurement::Measurement(QObject* parent, quint64 id)
    : Storable(nullptr)
    , m_measurementId(id)
    , m_startTimeKey(kNoStartTimeKey)
{
    Q_UNUSED(parent)
}

Measurement::Measurement(quint64 id)
    : Measurement(nullptr, id)
{
}

void Measurement::setStartTime(QDateTime time)
{
    m_startTime = std::move(time);
    m_startTimeKey = m_startTime.isValid() ? m_startTime.toMSecsSinceEpoch() : kNoStartTimeKey;
}

QString Measurement::getStartTimeString() const
{
    return m_startTime.toString(Qt::TextDate);
}

QString Measurement::getStartTimeFileName() const
{
    return m_startTime.toString(QStringLiteral("yyyy_MM_dd_HH_mm_ss"));
}

bool Measurement::markAsLiveView()
{
    if (m_liveView)
        return true;
    const QString folder = trackListFolder();
    Helper::AssureDirectoryExists(folder);
    QSaveFile file(folder + QLatin1Char('/') + QLatin1String(kLiveViewFileName));
    if (!file.open(QIODevice::WriteOnly) || file.write("live view\n") < 0 || !file.commit()) {
        qCDebug(lcData) << " Could not mark measurement " << Qt::hex << m_measurementId << " as a live view";
        return false;
    }
    m_liveView = true;
    Q_EMIT volatileChanged(this);
    return true;
}

TrackList* Measurement::getTrackList(quint64 serial)
{
    TrackList* list = m_deviceTrackMap.value(serial, nullptr);
    if (list != nullptr)
        return list;
    qCDebug(lcData) << " Tracklist was not found in trackmap, created new tracklist ";
    list = new TrackList(this, serial, m_measurementId);
    m_deviceTrackMap.insert(serial, list);
    return list;
}

void Measurement::setDeviceTrackList(TrackList* tracklist)
{
    if (tracklist == nullptr)
        return;
    // Lists read from disk arrive without owner. A replaced list is kept:
    // plots and parsers may still hold it; it goes with the measurement.
    if (tracklist->parent() == nullptr)
        tracklist->setParent(this);
    m_deviceTrackMap.insert(tracklist->getDeviceSerial(), tracklist);
}

bool Measurement::loadStoredTrackList(quint64 serial)
{
    TrackList* list = m_deviceTrackMap.value(serial, nullptr);
    if (list == nullptr || list->getLoadMode() != Storable::LoadHeader)
        return true;
    connect(list, &TrackList::loadedTrackListFromDisk, this, &Measurement::setDeviceTrackList, Qt::UniqueConnection);
    list->setLoadMode(Storable::LoadFull);
    if (list->loadSelfFromDisk())
        return true;
    list->setLoadMode(Storable::LoadHeader);
    qCDebug(lcData) << " Stored track list could not be read for measurement " << Qt::hex << m_measurementId
                    << " and device " << serial;
    return false;
}

bool Measurement::saveSingleTrackList(quint64 serial)
{
    // A list read as a header holds none of its samples: written as it
    // stands it would replace them with nothing.
    if (!loadStoredTrackList(serial))
        return false;
    return getTrackList(serial)->saveToDisk();
}

bool Measurement::saveUploadState(quint64 serial)
{
    const bool listSaved = saveSingleTrackList(serial);
    if (listSaved) {
        if (m_lastUploadedAddresses.contains(serial))
            m_savedUploadAddresses.insert(serial, m_lastUploadedAddresses.value(serial));
    } else {
        qCDebug(lcData) << " Track list of measurement " << Qt::hex << m_measurementId << " and device " << serial
                        << " could not be saved; its upload progress stays where it was saved last.";
        if (m_savedUploadAddresses.contains(serial))
            m_lastUploadedAddresses.insert(serial, m_savedUploadAddresses.value(serial));
        else
            m_lastUploadedAddresses.remove(serial);
    }
    const bool recordSaved = saveToDisk();
    return listSaved && recordSaved;
}

void Measurement::saveAllTrackLists()
{
    const QList<quint64> serials = m_deviceTrackMap.keys();
    for (quint64 serial : serials)
        saveSingleTrackList(serial);
}

bool Measurement::uploadFromDeviceComplete(quint64 serial)
{
    if (!m_lastUploadedAddresses.contains(serial)) {
        qCDebug(lcData) << " Measurement " << Qt::hex << m_measurementId << " incomplete for device: " << serial
                        << ", no progress information found. ";
        return false;
    }
    const quint32 last = m_lastUploadedAddresses.value(serial);
    if (m_stopAddresses.contains(serial) && last < m_stopAddresses.value(serial)) {
        qCDebug(lcData) << " Measurement " << Qt::hex << m_measurementId << " incomplete for device: " << serial
                        << ", last uploaded page: " << last;
        return false;
    }
    qCDebug(lcData) << " Measurement " << Qt::hex << m_measurementId << " complete for device: " << serial
                    << ", last uploaded page: " << last;
    return true;
}

bool Measurement::Export()
{
    const QString name = generateFileName();
    qCDebug(lcData) << " Measurement, export: " << name;
    loadMeasurementDataFromDisk();
    for (const TrackList* list : qAsConst(m_deviceTrackMap)) {
        if (list->getLoadMode() == Storable::LoadHeader) {
            qCDebug(lcData) << " Measurement, export not done, stored data could not be read: " << name;
            return false;
        }
    }
    TrackList::ClearExportDirectory(name);
    // A snapshot: nothing below changes the map, but the lists are ours to
    // walk in ascending serial order whatever happens to it.
    const QList<TrackList*> lists = m_deviceTrackMap.values();
    bool written = true;
    for (TrackList* list : lists) {
        written = list->ExportToCSV(name) && written;
        qCDebug(lcData) << " Measurement, exported Tracklist to CSV. ";
        written = list->ExportToMAT(name) && written;
        qCDebug(lcData) << " Measurement, exported Tracklist to MAT. ";
    }
    if (!lists.isEmpty() && Helper::AssureDirectoryExists(exportFolder()))
        written = AnalysisExport::write(this, exportFolder(), name).written && written;
    qCDebug(lcData) << " Measurement, export done: " << name;
    return written;
}

QString Measurement::exportFolder()
{
    return QDir::cleanPath(Helper::geExportPath() + QLatin1Char('/') + generateFileName());
}

void Measurement::debugOut()
{
    qCDebug(lcData) << "measurement. id: " << Qt::hex << m_measurementId << " Filename: " << generateFileName();
}

bool Measurement::eraseFromDisk()
{
    const bool folderRemoved = Helper::DeleteDirectoryIfExists(trackListFolder());
    const bool fileErased = Storable::eraseFromDisk();
    if (!folderRemoved) {
        qCDebug(lcData) << " Deletion of measurement data folder failed.";
        return false;
    }
    return fileErased;
}

QString Measurement::storagePath()
{
    return Helper::getDataPath();
}

QString Measurement::entityName()
{
    return QStringLiteral("Measurement");
}

QString Measurement::fileEnding()
{
    return QStringLiteral("ktm");
}

QString Measurement::generateFileName()
{
    const QChar separator = QLatin1Char('_');
    return Helper::SanitizeFileName(getStartTimeFileName() + separator + m_appName + separator + m_setupName
                                    + separator + m_userName + separator + QString::number(m_measurementId, 16));
}

QString Measurement::trackListFolder() const
{
    return trackListFolder(m_measurementId);
}

QString Measurement::trackListFolder(quint64 id)
{
    return Helper::getDataPath() + QLatin1Char('/') + QString::number(id, 16);
}

bool Measurement::isIdStored(quint64 id)
{
    // Any entry of that name counts: a file there would keep the folder
    // from being made as well.
    return QFileInfo::exists(trackListFolder(id))
        || Helper::recordWithIdExists(Helper::getDataPath(), id, QStringLiteral("ktm"));
}

bool Measurement::tryLoadFromStream(QDataStream& stream)
{
    auto* loaded = new Measurement(nullptr, 0);
    loaded->setLoadMode(getLoadMode());
    stream >> *loaded;
    if (stream.status() != QDataStream::Ok) {
        delete loaded;
        return false;
    }
    Q_EMIT loadedMeasurementFromDisk(loaded);
    return true;
}

void Measurement::saveToStream(QDataStream& stream)
{
    stream << *this;
}

void Measurement::readRecord(QDataStream& stream)
{
    readSerializationVersion(stream);
    qint64 id = 0;
    stream >> id;
    m_measurementId = static_cast<quint64>(id);
    readAddressMap(stream, m_startAddresses);
    readAddressMap(stream, m_stopAddresses);
    stream >> m_appName >> m_setupName >> m_userName;
    QDateTime start;
    stream >> start;
    setStartTime(start);
    qint16 rate = 0;
    stream >> rate;
    m_samplingRate = static_cast<quint16>(rate);
    readAddressMap(stream, m_lastUploadedAddresses);
    m_savedUploadAddresses = m_lastUploadedAddresses;
}

void Measurement::scanForMeasurementDataOnDisk()
{
    m_liveView = QFileInfo::exists(trackListFolder() + QLatin1Char('/') + QLatin1String(kLiveViewFileName));
    auto* prototype = new TrackList(this, 0, m_measurementId);
    prototype->setLoadMode(Storable::LoadHeader);
    connect(prototype, &TrackList::loadedTrackListFromDisk, this, &Measurement::setDeviceTrackList);
    prototype->scanForFilesAndLoad();
    // Still a child, so it goes with the measurement should that go first.
    prototype->deleteLater();
}

void Measurement::loadMeasurementDataFromDisk()
{
    // Each load replaces the entry it reads from, so walk a snapshot.
    const QList<TrackList*> lists = m_deviceTrackMap.values();
    for (TrackList* list : lists) {
        // Only lists that are still headers are read. One already in memory
        // is the newer copy, and reading it again would keep a second copy
        // of its data alive for every call (a replaced list stays with its
        // measurement).
        if (list->getLoadMode() != Storable::LoadHeader)
            continue;
        connect(list, &TrackList::loadedTrackListFromDisk, this, &Measurement::setDeviceTrackList,
                Qt::UniqueConnection);
        // The list read from the file inherits this mode.
        list->setLoadMode(Storable::LoadFull);
        if (!list->loadSelfFromDisk())
            list->setLoadMode(Storable::LoadHeader);
    }
}

QDataStream& operator<<(QDataStream& stream, const Measurement& measurement)
{
    Storable::writeSerializationVersion(stream);
    stream << static_cast<qint64>(measurement.m_measurementId);
    writeAddressMap(stream, measurement.m_startAddresses);
    writeAddressMap(stream, measurement.m_stopAddresses);
    stream << measurement.m_appName << measurement.m_setupName << measurement.m_userName;
    stream << measurement.m_startTime;
    stream << static_cast<qint16>(measurement.m_samplingRate);
    writeAddressMap(stream, measurement.m_lastUploadedAddresses);
    qCDebug(lcData) << " saving DeviceTrackMap to stream. number of devices: " << measurement.m_deviceTrackMap.size();
    return stream;
}

QDataStream& operator>>(QDataStream& stream, Measurement& measurement)
{
    measurement.readRecord(stream);
    // A record that could not be read names no folder worth scanning.
    if (stream.status() == QDataStream::Ok)
        measurement.scanForMeasurementDataOnDisk();
    return stream;
}
