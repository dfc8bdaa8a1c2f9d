#include "TemporaryStorage.h"

TemporaryStorage::TemporaryStorage()
    : TemporaryStorage(QString())
{
}

TemporaryStorage::TemporaryStorage(const QString& existingFolder)
    : m_hadPrevious(qEnvironmentVariableIsSet("KORVEX_STORAGE"))
{
    if (existingFolder.isEmpty()) {
        m_path = m_dir.path();
    } else {
        m_dir.remove();
        m_path = existingFolder;
    }
    m_previous = qgetenv("KORVEX_STORAGE");
    qputenv("KORVEX_STORAGE", m_path.toLocal8Bit());
}

TemporaryStorage::~TemporaryStorage()
{
    if (m_hadPrevious)
        qputenv("KORVEX_STORAGE", m_previous);
    else
        qunsetenv("KORVEX_STORAGE");
}
