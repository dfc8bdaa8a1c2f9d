#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// Small file helpers for tests that prepare or inspect a storage folder.
namespace StorageFiles {

// The whole file, or "<missing>" when it cannot be read.
QByteArray read(const QString& path);
// Writes the bytes, creating the folder; false when that fails.
bool write(const QString& path, const QByteArray& bytes);
bool setModified(const QString& path, const QDateTime& time);

} // namespace StorageFiles
