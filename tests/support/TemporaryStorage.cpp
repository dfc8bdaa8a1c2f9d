#include "TemporaryStorage.h"

TemporaryStorage::TemporaryStorage()
    : m_hadPrevious(qEnvironmentVariableIsSet("KORVEX_STORAGE"))
{
    m_previous = qgetenv("KORVEX_STORAGE");
    qputenv("KORVEX_STORAGE", m_dir.path().toLocal8Bit());
}

TemporaryStorage::~TemporaryStorage()
{
    if (m_hadPrevious)
        qputenv("KORVEX_STORAGE", m_previous);
    else
        qunsetenv("KORVEX_STORAGE");
}
