#include "Log/FileDestination.h"

namespace QsLogging {

FileDestination::FileDestination(const QString& filePath)
    : m_file(filePath)
{
    // A file that cannot be opened simply swallows the lines written to it.
    m_file.open(QFile::WriteOnly | QFile::Text | QFile::Truncate);
    m_stream.setDevice(&m_file);
}

void FileDestination::write(const QString& message)
{
    m_stream << message << '\n';
    m_stream.flush();
}

} // namespace QsLogging
