#include "Data/Storable.h"

#include "Application/Helper.h"
#include "Log/LogCategories.h"

#include <QDataStream>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

Storable::Storable(QObject* parent)
    : QObject(parent)
{
}

void Storable::setLoadMode(Storable::LoadModes mode)
{
    m_loadMode = mode;
    qCDebug(lcData) << "Loadmode for " << entityName() << " set to " << int(mode);
}

QString Storable::fullPath()
{
    return storagePath() + QLatin1Char('/') + generateFileName() + QLatin1Char('.') + fileEnding();
}

bool Storable::loadFileFromDisk(QString path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCDebug(lcData) << " Failed to open user file: " << path;
        return false;
    }
    QDataStream stream(&file);
    const bool loaded = tryLoadFromStream(stream);
    file.close();
    qCDebug(lcData) << " Successfully loaded " << path;
    return loaded;
}

bool Storable::loadSelfFromDisk()
{
    return loadFileFromDisk(fullPath());
}

bool Storable::saveToDisk()
{
    const QString path = fullPath();
    Helper::AssureDirectoryExists(storagePath());
    qCDebug(lcData) << "Saving " << entityName() << " to file: " << path;

    // The record goes to a temporary file that replaces the old one only
    // once it is complete: a failed or interrupted save keeps the previous
    // record instead of leaving a half-written one.
    QSaveFile file(path);
    bool ok = file.open(QIODevice::WriteOnly);
    if (ok) {
        QDataStream stream(&file);
        saveToStream(stream);
        ok = stream.status() == QDataStream::Ok;
        if (ok)
            ok = file.commit();
        else
            file.cancelWriting();
    }
    if (!ok) {
        qCDebug(lcData) << " Error writing to data file: " << path;
        return false;
    }
    return true;
}

bool Storable::eraseFromDisk()
{
    qCDebug(lcData) << "erasing " << entityName() << " from folder: " << storagePath();
    const QString path = fullPath();
    if (!QFile::remove(path)) {
        qCDebug(lcData) << " Failed to erase " << entityName() << " file: " << path;
        return false;
    }
    return true;
}

void Storable::scanForFilesAndLoad()
{
    const QString folder = storagePath();
    qCDebug(lcData) << " Scanning for " << entityName() << " in folder: " << folder;
    const QDir dir(folder);
    if (!dir.exists())
        return;
    const QString ending = fileEnding();
    const QFileInfoList entries = dir.entryInfoList(QDir::Files, QDir::Time | QDir::Reversed);
    for (const QFileInfo& entry : entries) {
        if (entry.suffix() != ending)
            continue;
        qCDebug(lcData) << "Potential " << entityName() << ": " << entry.baseName();
        loadFileFromDisk(entry.absoluteFilePath());
    }
}

qint64 Storable::readSerializationVersion(QDataStream& stream)
{
    qint64 version = 0;
    stream >> version;
    if (stream.status() == QDataStream::Ok && (version <= 0 || version > Helper::SerializationVersion()))
        stream.setStatus(QDataStream::ReadCorruptData);
    return version;
}

void Storable::writeSerializationVersion(QDataStream& stream)
{
    stream << static_cast<qint64>(Helper::SerializationVersion());
}

qint64 Storable::bytesLeft(const QDataStream& stream)
{
    QIODevice* device = stream.device();
    if (device == nullptr || device->isSequential())
        return -1;
    return device->bytesAvailable();
}

quint32 Storable::readCount(QDataStream& stream, qint64 minimumElementSize)
{
    quint32 count = 0;
    stream >> count;
    if (stream.status() != QDataStream::Ok)
        return 0;
    const qint64 left = bytesLeft(stream);
    if (left >= 0 && minimumElementSize > 0 && qint64(count) > left / minimumElementSize) {
        stream.setStatus(QDataStream::ReadPastEnd);
        return 0;
    }
    return count;
}
