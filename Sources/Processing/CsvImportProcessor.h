#pragma once

#include "Processing/Processor.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPointer>

#include <utility>
#include <vector>

class QByteArray;
class QIODevice;

// Brings ground contact time series recorded elsewhere in as sprint
// measurements: every CSV file in the offline-data folder becomes a new
// measurement with a GCT track and a GCT time track, shaped like a recorded
// sprint so that the filter, the average and the plots take it as one.
// A file is imported whole or not at all, and its content once: a file whose
// bytes are those of a measurement imported before (under any file name) is
// skipped for as long as that measurement is there.
class CsvImportProcessor : public Processor
{
    Q_OBJECT
public:
    // The fixed serial of the one track list of an imported series.
    static constexpr quint64 kImportDeviceSerial = 789;
    // Far above any series of steps; keeps a stray large file from being
    // read into memory.
    static constexpr qint64 kDefaultMaximumFileSize = 16 * 1024 * 1024;
    // What one byte array can hold with room to spare.
    static constexpr qint64 kLargestMaximumFileSize = 1024 * 1024 * 1024;
    // Beside the track list of an imported measurement: the SHA-256 of the
    // file it came from and that file's name, in the form sha256sum writes.
    static const char kContentHashFileName[];

    explicit CsvImportProcessor(QObject* parent = nullptr);

    void startProcessing() override;
    QString SetupIdentifier() override;
    QString AppIdentifier() override;
    bool usesInputMeasurements() const override { return false; }

    static Track* constructGctTrack();
    static Track* constructGctTimeTrack();

    // Helper::getDataPath() + "/OfflineData"
    static QString offlineDataPath();

    void setMaximumFileSize(qint64 bytes) { m_maximumFileSize = qBound<qint64>(0, bytes, kLargestMaximumFileSize); }
    qint64 maximumFileSize() const { return m_maximumFileSize; }

    // Reads one series from an open file and stores it as a new measurement.
    // Null, after a log line that says what is wrong, when the file is not
    // a series or its content is among what was imported before (as
    // startProcessing() found it, and everything imported since); then
    // nothing is created.
    Measurement* importSeries(QIODevice& file, const QString& name);

    // The hexadecimal SHA-256 kept beside an imported measurement; empty
    // for one that was not imported or whose note cannot be read.
    static QByteArray storedContentHash(quint64 measurementId);

    // Sample number and ground contact time of each line, in file order.
    using Series = std::vector<std::pair<quint32, double>>;
    // Lines of "sample number,ground contact time"; blank lines are skipped.
    // False, with `problem` saying where and why, for any other line or when
    // there is no sample at all.
    static bool parseSeries(const QByteArray& text, Series& series, QString& problem);

private:
    bool readContent(QIODevice& file, QByteArray& bytes, QString& problem) const;
    // What the measurements on the host (and those this processor made)
    // were imported from: content hash to measurement id.
    void collectImportedContent();
    static bool storeContentHash(quint64 measurementId, const QByteArray& hash, const QString& name);

    qint64 m_maximumFileSize = kDefaultMaximumFileSize;
    QHash<QByteArray, quint64> m_importedContent;
    QList<QPointer<Measurement>> m_imported;
};
