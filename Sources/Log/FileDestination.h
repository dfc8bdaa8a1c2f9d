#pragma once

#include "Log/Destination.h"

#include <QFile>
#include <QTextStream>

namespace QsLogging {

// Writes every line to a file that it truncates when it is created.
class FileDestination : public Destination
{
public:
    explicit FileDestination(const QString& filePath);
    void write(const QString& message) override;

private:
    QFile m_file;
    QTextStream m_stream;
};

} // namespace QsLogging
