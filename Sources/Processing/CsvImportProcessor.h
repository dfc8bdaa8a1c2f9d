#pragma once

#include "Processing/Processor.h"

#include <utility>
#include <vector>

class QByteArray;
class QIODevice;

// Brings ground contact time series recorded elsewhere in as sprint
// measurements: every CSV file in the offline-data folder becomes a new
// measurement with a GCT track and a GCT time track, shaped like a recorded
// sprint so that the filter, the average and the plots take it as one.
// A file is imported whole or not at all.
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
    // a series; then nothing is created.
    Measurement* importSeries(QIODevice& file, const QString& name);

    // Sample number and ground contact time of each line, in file order.
    using Series = std::vector<std::pair<quint32, double>>;
    // Lines of "sample number,ground contact time"; blank lines are skipped.
    // False, with `problem` saying where and why, for any other line or when
    // there is no sample at all.
    static bool parseSeries(const QByteArray& text, Series& series, QString& problem);

private:
    bool readSeries(QIODevice& file, Series& series, QString& problem) const;

    qint64 m_maximumFileSize = kDefaultMaximumFileSize;
};
