#include "Data/QualityFile.h"

#include "Application/Helper.h"
#include "Data/Measurement.h"
#include "Data/TrackList.h"
#include "Log/LogCategories.h"

#include <QDebug>
#include <QFile>
#include <QJsonDocument>
#include <QSaveFile>

const char QualityFile::kFileName[] = "quality.json";

namespace {

const qint64 kMaxFileSize = 1 << 20;

} // namespace

QString QualityFile::path(quint64 measurementId)
{
    return Measurement::trackListFolder(measurementId) + QLatin1Char('/') + QLatin1String(kFileName);
}

QMap<quint64, DataQuality> QualityFile::read(quint64 measurementId)
{
    QMap<quint64, DataQuality> figures;
    QFile file(path(measurementId));
    if (!file.open(QIODevice::ReadOnly))
        return figures;
    const QJsonObject sensors =
        QJsonDocument::fromJson(file.read(kMaxFileSize)).object().value(QStringLiteral("sensors")).toObject();
    for (auto it = sensors.begin(); it != sensors.end(); ++it) {
        bool ok = false;
        const quint64 serial = it.key().toULongLong(&ok, 16);
        if (ok && it.value().isObject())
            figures.insert(serial, DataQuality::fromJson(serial, it.value().toObject()));
    }
    return figures;
}

bool QualityFile::write(quint64 measurementId, const QMap<quint64, DataQuality>& figures)
{
    QJsonObject sensors;
    for (const DataQuality& quality : figures)
        sensors.insert(QString::number(quality.serial, 16), quality.toJson());
    const QString folder = Measurement::trackListFolder(measurementId);
    Helper::AssureDirectoryExists(folder);
    QSaveFile file(path(measurementId));
    const QByteArray bytes = QJsonDocument(QJsonObject { { QStringLiteral("sensors"), sensors } }).toJson();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        qCDebug(lcData) << " Could not store the quality figures in " << file.fileName();
        return false;
    }
    return true;
}

bool QualityFile::update(Measurement* measurement, quint64 serial, const DataQuality& transfer)
{
    if (measurement == nullptr)
        return false;
    const quint64 id = measurement->getMeasurementID();
    QMap<quint64, DataQuality> figures = read(id);
    DataQuality quality = figures.value(serial);
    quality.serial = serial;
    if (measurement->getDevicesInMeasurement().contains(serial)) {
        TrackList* list = measurement->getTrackList(serial);
        if (list->getLoadMode() != Storable::LoadHeader) {
            const DataQuality now = DataQuality::measure(list);
            quality.expected = now.expected;
            quality.stored = now.stored;
            quality.gaps = now.gaps;
            quality.longestGap = now.longestGap;
            quality.longestGapNumbers = now.longestGapNumbers;
        }
    }
    quality.maskFailures += transfer.maskFailures;
    quality.retried += transfer.retried;
    quality.timedOut += transfer.timedOut;
    quality.refused += transfer.refused;
    figures.insert(serial, quality);
    return write(id, figures);
}

QVariantMap QualityFile::summary(quint64 measurementId, int baseFrequency)
{
    return summary(read(measurementId), baseFrequency);
}

QVariantMap QualityFile::summary(const QMap<quint64, DataQuality>& figures, int baseFrequency)
{
    DataQuality::Level worst = DataQuality::Unknown;
    QStringList paragraphs;
    QVariantList sensors;
    for (const DataQuality& quality : figures) {
        const DataQuality::Level level = quality.level();
        if (level > worst)
            worst = level;
        paragraphs << QObject::tr("Sensor %1: %2")
                          .arg(QString::number(quality.serial, 16).toUpper(), quality.describe(baseFrequency));
        sensors.append(quality.toVariantMap(baseFrequency));
    }
    return {
        { QStringLiteral("level"), DataQuality::levelName(worst) },
        { QStringLiteral("text"), paragraphs.isEmpty() ? QObject::tr("No quality figures yet.")
                                                       : paragraphs.join(QStringLiteral("\n\n")) },
        { QStringLiteral("sensors"), sensors },
    };
}
