#pragma once

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QString>

// The bytes of every file below a folder: what an export wrote.
inline qint64 folderBytes(const QString& folder)
{
    qint64 bytes = 0;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        bytes += QFileInfo(it.next()).size();
    return bytes;
}
