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
    ~TemporaryStorage();

    TemporaryStorage(const TemporaryStorage&) = delete;
    TemporaryStorage& operator=(const TemporaryStorage&) = delete;

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QByteArray m_previous;
    bool m_hadPrevious = false;
};
