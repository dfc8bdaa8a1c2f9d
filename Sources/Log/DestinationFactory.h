#pragma once

#include "Log/Destination.h"

#include <memory>

namespace QsLogging {

using DestinationPtr = std::unique_ptr<Destination>;

// Creates destinations; the caller owns what it gets and deletes it after the
// last log statement.
class DestinationFactory
{
public:
    static DestinationPtr MakeFileDestination(const QString& filePath);
    static DestinationPtr MakeDebugOutputDestination();
};

} // namespace QsLogging
