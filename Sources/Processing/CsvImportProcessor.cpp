#include "Processing/CsvImportProcessor.h"

#include "Application/Helper.h"
#include "Data/Measurement.h"
#include "Data/Track.h"
#include "Data/TrackList.h"
#include "Data/TrackSettings.h"
#include "Log/LogCategories.h"

#include <QByteArray>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>

#include <algorithm>
#include <cmath>

namespace {

const qint64 kReadChunk = 64 * 1024;

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
    Series series;
    QString problem;
    if (!readSeries(file, series, problem)) {
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
    Q_EMIT OutputMeasurementComplete(measurement);
    return measurement;
}

bool CsvImportProcessor::readSeries(QIODevice& file, Series& series, QString& problem) const
{
    // The size is checked before anything is read.
    const qint64 announced = file.size();
    if (announced > m_maximumFileSize) {
        problem = QStringLiteral("it holds %1 bytes, more than the %2 an import takes")
                      .arg(announced)
                      .arg(m_maximumFileSize);
        return false;
    }
    QByteArray bytes;
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
    const int nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    return parseSeries(bytes, series, problem);
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
