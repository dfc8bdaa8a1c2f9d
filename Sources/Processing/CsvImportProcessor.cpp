#include "Processing/CsvImportProcessor.h"

#include "Application/Helper.h"
#include "Data/Measurement.h"
#include "Data/MeasurementController.h"
#include "Data/Track.h"
#include "Data/TrackList.h"
#include "Data/TrackSettings.h"
#include "Log/LogCategories.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QSaveFile>

#include <algorithm>
#include <cmath>

namespace {

const qint64 kReadChunk = 64 * 1024;
// Hexadecimal digits of a SHA-256.
const int kHashDigits = 64;

Track* importTrack(int id, const char* label, const char* tag)
{
    TrackSettings settings(0);
    settings.trackId = id;
    settings.unit = QStringLiteral("ms");
    settings.minY = 0;
    settings.maxY = 300;
    settings.label = QString::fromLatin1(label);
    settings.shortTag = QString::fromLatin1(tag);
    return new Track(&settings);
}

void reject(const QString& name, const QString& problem)
{
    qCDebug(lcProcessing) << " csv file not imported: " << name << problem;
}

} // namespace

const char CsvImportProcessor::kContentHashFileName[] = "import.sha256";

CsvImportProcessor::CsvImportProcessor(QObject* parent)
    : Processor(parent)
{
}

QString CsvImportProcessor::SetupIdentifier()
{
    return QStringLiteral("GCT import ");
}

QString CsvImportProcessor::AppIdentifier()
{
    return QStringLiteral("Sprint");
}

Track* CsvImportProcessor::constructGctTrack()
{
    return importTrack(Track::GroundContactTime, "GCT import", "GCTimport");
}

Track* CsvImportProcessor::constructGctTimeTrack()
{
    return importTrack(Track::GroundContactTimeTime, "GCT import time", "GCTimportTime");
}

QString CsvImportProcessor::offlineDataPath()
{
    return Helper::offlineDataPath();
}

void CsvImportProcessor::startProcessing()
{
    // Measurements may have gone since the last run, and their files with
    // them: what was imported is read afresh every time.
    collectImportedContent();
    const QString folder = offlineDataPath();
    const QStringList names = QDir(folder, QStringLiteral("*.csv")).entryList();
    for (const QString& name : names) {
        qCDebug(lcProcessing) << " importing csv file :" << name;
        const QString path = folder + QLatin1Char('/') + name;
        // Opening a pipe or a device would wait for a writer that never
        // comes, with the whole program on hold.
        if (!QFileInfo(path).isFile()) {
            reject(name, QStringLiteral("it is not a regular file"));
            continue;
        }
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            reject(name, QStringLiteral("it could not be opened: ") + file.errorString());
            continue;
        }
        importSeries(file, name);
    }
}

Measurement* CsvImportProcessor::importSeries(QIODevice& file, const QString& name)
{
    QByteArray bytes;
    QString problem;
    if (!readContent(file, bytes, problem)) {
        reject(name, problem);
        return nullptr;
    }
    // Files are left where they are, so the next run finds them again; a
    // second import would list the sprints twice and weigh them twice in
    // an average.
    const QByteArray hash = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
    const auto known = m_importedContent.constFind(hash);
    if (known != m_importedContent.cend()) {
        reject(name, QStringLiteral("its content was imported before, as measurement ")
                         + QString::number(known.value(), 16));
        return nullptr;
    }
    const int nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    Series series;
    if (!parseSeries(bytes, series, problem)) {
        reject(name, problem);
        return nullptr;
    }
    // Added in ascending order the tracks only append; a repeated sample
    // number keeps its last line, as it would line by line.
    std::stable_sort(series.begin(), series.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });

    const quint64 id = createOutputMeasurement();
    Measurement* measurement = m_outputMeasurement;
    auto* list = new TrackList(measurement, kImportDeviceSerial, id);
    Track* time = constructGctTimeTrack();
    Track* gct = constructGctTrack();
    list->AddTrack(gct);
    list->AddTrack(time);
    measurement->setDeviceTrackList(list);
    for (const auto& sample : series) {
        gct->setCurrentSampleNumber(sample.first);
        gct->AddScalarSample(sample.second);
        time->setCurrentSampleNumber(sample.first);
        time->AddScalarSample(double(sample.first));
    }
    measurement->saveAllTrackLists();
    measurement->saveToDisk();
    storeContentHash(id, hash, name);
    m_importedContent.insert(hash, id);
    m_imported.append(measurement);
    Q_EMIT OutputMeasurementComplete(measurement);
    return measurement;
}

QByteArray CsvImportProcessor::storedContentHash(quint64 measurementId)
{
    QFile note(Measurement::trackListFolder(measurementId) + QLatin1Char('/') + QLatin1String(kContentHashFileName));
    if (!note.open(QIODevice::ReadOnly))
        return QByteArray();
    const QByteArray hash = note.read(kHashDigits);
    for (const char digit : hash) {
        if (!((digit >= '0' && digit <= '9') || (digit >= 'a' && digit <= 'f')))
            return QByteArray();
    }
    return hash.size() == kHashDigits ? hash : QByteArray();
}

bool CsvImportProcessor::storeContentHash(quint64 measurementId, const QByteArray& hash, const QString& name)
{
    const QString folder = Measurement::trackListFolder(measurementId);
    Helper::AssureDirectoryExists(folder);
    QSaveFile note(folder + QLatin1Char('/') + QLatin1String(kContentHashFileName));
    if (note.open(QIODevice::WriteOnly)) {
        note.write(hash + "  " + name.toUtf8() + '\n');
        if (note.commit())
            return true;
    }
    qCDebug(lcProcessing) << " content hash of csv file " << name << " could not be saved for measurement "
                          << Qt::hex << measurementId << ", it will be imported again: " << note.errorString();
    return false;
}

void CsvImportProcessor::collectImportedContent()
{
    m_importedContent.clear();
    QList<Measurement*> measurements;
    if (m_measurementController != nullptr)
        measurements = m_measurementController->getMeasurementsOnHost();
    for (const QPointer<Measurement>& own : qAsConst(m_imported)) {
        if (own != nullptr && !measurements.contains(own.data()))
            measurements.append(own.data());
    }
    for (const Measurement* measurement : qAsConst(measurements)) {
        const QByteArray hash = storedContentHash(measurement->getMeasurementID());
        if (!hash.isEmpty())
            m_importedContent.insert(hash, measurement->getMeasurementID());
    }
}

bool CsvImportProcessor::readContent(QIODevice& file, QByteArray& bytes, QString& problem) const
{
    // The size is checked before anything is read.
    const qint64 announced = file.size();
    if (announced > m_maximumFileSize) {
        problem = QStringLiteral("it holds %1 bytes, more than the %2 an import takes")
                      .arg(announced)
                      .arg(m_maximumFileSize);
        return false;
    }
    bytes.clear();
    bytes.reserve(int(std::max<qint64>(announced, 0)));
    for (;;) {
        const qint64 room = std::min<qint64>(kReadChunk, m_maximumFileSize + 1 - bytes.size());
        const int before = bytes.size();
        bytes.resize(before + int(room));
        const qint64 got = file.read(bytes.data() + before, room);
        if (got < 0) {
            problem = QStringLiteral("it could not be read: ") + file.errorString();
            return false;
        }
        bytes.resize(before + int(got));
        if (got == 0)
            break;
        if (bytes.size() > m_maximumFileSize) {
            problem = QStringLiteral("it grew beyond %1 bytes while being read").arg(m_maximumFileSize);
            return false;
        }
    }
    // A file cut short or extended under the reader may end in the middle of
    // a line; half a series is no series.
    if (bytes.size() != announced) {
        problem = QStringLiteral("it changed while being read (%1 bytes expected, %2 read)")
                      .arg(announced)
                      .arg(bytes.size());
        return false;
    }
    return true;
}

bool CsvImportProcessor::parseSeries(const QByteArray& text, Series& series, QString& problem)
{
    // Filled only on success: the lines before a bad one go with it.
    series.clear();
    Series parsed;
    int start = 0;
    int lineNumber = 0;
    while (start <= text.size()) {
        int end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        ++lineNumber;
        const QByteArray line = text.mid(start, end - start).trimmed();
        start = end + 1;
        if (line.isEmpty())
            continue;
        const int fields = line.count(',') + 1;
        if (fields != 2) {
            problem = QStringLiteral("line %1 has %2 fields, two expected (sample number, ground contact time)")
                          .arg(lineNumber)
                          .arg(fields);
            return false;
        }
        const int comma = line.indexOf(',');
        bool ok = false;
        const quint32 number = line.left(comma).trimmed().toUInt(&ok, 10);
        if (!ok) {
            problem = QStringLiteral("line %1: the sample number is not a whole number from 0 to 4294967295")
                          .arg(lineNumber);
            return false;
        }
        const double value = line.mid(comma + 1).trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(value)) {
            problem = QStringLiteral("line %1: the ground contact time is not a number").arg(lineNumber);
            return false;
        }
        parsed.emplace_back(number, value);
    }
    if (parsed.empty()) {
        problem = QStringLiteral("it holds no samples");
        return false;
    }
    series = std::move(parsed);
    return true;
}
