#include "Log/DestinationFactory.h"

#include "Log/DebugOutputDestination.h"
#include "Log/FileDestination.h"

namespace QsLogging {

DestinationPtr DestinationFactory::MakeFileDestination(const QString& filePath)
{
    return std::make_unique<FileDestination>(filePath);
}

DestinationPtr DestinationFactory::MakeDebugOutputDestination()
{
    return std::make_unique<DebugOutputDestination>();
}

} // namespace QsLogging
