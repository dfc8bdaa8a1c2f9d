#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A fresh storage folder for one test: points KORVEX_STORAGE at a temporary
// folder for the lifetime of the object and restores the old value after.
class TemporaryStorage
{
public:
    TemporaryStorage();
    // The folder of an earlier run instead of a fresh one (it is not
    // removed): a second program start on the same storage.
    explicit TemporaryStorage(const QString& existingFolder);
    ~TemporaryStorage();

    TemporaryStorage(const TemporaryStorage&) = delete;
    TemporaryStorage& operator=(const TemporaryStorage&) = delete;

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_path; }

private:
    QTemporaryDir m_dir;
    QString m_path;
    QByteArray m_previous;
    bool m_hadPrevious = false;
};
