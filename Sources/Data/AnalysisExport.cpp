#include "Data/AnalysisExport.h"

#include "Data/AlignedCsvWriter.h"
#include "Data/AlignedMatWriter.h"
#include "Data/AlignedTable.h"
#include "Data/Measurement.h"
#include "Data/MeasurementController.h"
#include "Data/QualityFile.h"
#include "Data/SprintSummary.h"
#include "Data/StepTableWriter.h"
#include "Data/TrackList.h"
#include "Log/LogCategories.h"

#include <QDebug>
#include <QLocale>
#include <QSaveFile>

namespace {

QString hex(quint64 value)
{
    return QString::number(value, 16);
}

// Which sensor is which foot, as the sprint figures have it.
QMap<quint64, QString> feetOf(Measurement* measurement)
{
    QMap<quint64, QString> feet;
    const QList<quint64> serials = SprintSummary::feet(measurement);
    for (int foot = 0; foot < serials.size(); ++foot)
        feet.insert(serials.at(foot), foot == 0 ? QObject::tr("left foot") : QObject::tr("right foot"));
    return feet;
}

QString indent(const QString& text, const QString& by)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines)
        line.prepend(by);
    return lines.join(QLatin1Char('\n'));
}

QByteArray info(Measurement* measurement, const QString& name, const AnalysisExport::Report& report, bool steps)
{
    const int frequency = AnalysisExport::baseFrequencyOf(measurement);
    const QMap<quint64, QString> feet = feetOf(measurement);
    QStringList lines;
    lines << QObject::tr("Korvex export of measurement %1").arg(hex(measurement->getMeasurementID()).toUpper())
          << QString()
          << QObject::tr("Athlete: %1").arg(measurement->getUserName())
          << QObject::tr("App: %1").arg(measurement->getAppName())
          << QObject::tr("Setup: %1").arg(measurement->getSetupName())
          << QObject::tr("Start time: %1").arg(measurement->getStartTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
          << (measurement->getSamplingRate() > 0
                  ? QObject::tr("Base frequency: %1 Hz").arg(frequency)
                  : QObject::tr("Base frequency: %1 Hz (assumed: it was not noted with the measurement)").arg(frequency))
          << QString() << QObject::tr("Sensors:");
    const QList<quint64> serials = measurement->getDevicesInMeasurement();
    for (quint64 serial : serials) {
        const QString foot = feet.value(serial);
        const int tracks = measurement->getTrackList(serial)->numberOfTracks();
        lines << QStringLiteral("  %1  %2%3")
                     .arg(hex(serial).toUpper(), tracks == 1 ? QObject::tr("1 channel") : QObject::tr("%1 channels").arg(tracks),
                          foot.isEmpty() ? QString() : QStringLiteral(", ") + foot);
    }
    lines << QString() << QObject::tr("Files:")
          << QObject::tr("  %1_aligned.csv: every channel on one time base, %2 rows; time_s is the sample number "
                         "over the base frequency, from 0; an empty field has no sample at that time")
                 .arg(name, QLocale::c().toString(report.alignedRows));
    if (report.matTooLarge)
        lines << QObject::tr("  %1_aligned.mat: not written, the table is too large for one MAT struct; the aligned "
                             "CSV holds all of it").arg(name);
    else
        lines << QObject::tr("  %1_aligned.mat: the same table, struct \"aligned\" (NaN where there is no sample) and "
                             "the full column names in \"column_names\"").arg(name);
    if (steps)
        lines << QObject::tr("  %1_steps.csv: one row per step, both feet in time order").arg(name);
    lines << QObject::tr("  <sensor>/<channel>.csv and <sensor>.mat: each channel as the sensor recorded it");

    lines << QString() << QObject::tr("Data quality:");
    const QMap<quint64, DataQuality> figures = QualityFile::read(measurement->getMeasurementID());
    for (quint64 serial : serials) {
        const DataQuality quality = figures.value(serial);
        lines << QStringLiteral("  %1: %2").arg(hex(serial).toUpper(), DataQuality::levelName(quality.level()))
              << indent(quality.describe(frequency), QStringLiteral("    "));
    }
    return (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

} // namespace

int AnalysisExport::baseFrequencyOf(const Measurement* measurement)
{
    if (measurement != nullptr && measurement->getSamplingRate() > 0)
        return measurement->getSamplingRate();
    return MeasurementController::kDefaultBaseFrequency;
}

AnalysisExport::Report AnalysisExport::write(Measurement* measurement, const QString& folder, const QString& name)
{
    Report report;
    if (measurement == nullptr)
        return report;
    const QString base = folder + QLatin1Char('/') + name;
    // The figures of what is exported, counted now: older measurements have
    // none stored yet.
    for (quint64 serial : measurement->getDevicesInMeasurement())
        QualityFile::update(measurement, serial);

    AlignedTable table(measurement, baseFrequencyOf(measurement));
    report.alignedRows = table.rowCount();
    if (!AlignedCsvWriter::write(table, base + QStringLiteral("_aligned.csv"), &report.alignedCsvBytes)) {
        qCDebug(lcData) << " Could not write the aligned CSV of " << name;
        report.written = false;
    }
    switch (AlignedMatWriter::write(table, base + QStringLiteral("_aligned.mat"))) {
    case AlignedMatWriter::Written:
        break;
    case AlignedMatWriter::TooLarge:
        report.matTooLarge = true;
        qCDebug(lcData) << " The aligned table of " << name << " is too large for a MAT struct; only its CSV is written.";
        break;
    case AlignedMatWriter::Failed:
        qCDebug(lcData) << " Could not write the aligned MAT file of " << name;
        report.written = false;
        break;
    }
    const bool steps = StepTableWriter::hasSteps(measurement);
    if (steps && !StepTableWriter::write(measurement, base + QStringLiteral("_steps.csv"))) {
        qCDebug(lcData) << " Could not write the steps of " << name;
        report.written = false;
    }
    if (!writeFile(folder + QStringLiteral("/info.txt"), info(measurement, name, report, steps))) {
        qCDebug(lcData) << " Could not write the export's info.txt for " << name;
        report.written = false;
    }
    return report;
}
