#include "Log/DebugOutputDestination.h"

#include <QDebug>

namespace QsLogging {

void DebugOutputDestination::write(const QString& message)
{
    qDebug() << message;
}

} // namespace QsLogging
