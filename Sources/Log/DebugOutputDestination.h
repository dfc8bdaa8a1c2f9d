#pragma once

#include "Log/Destination.h"

namespace QsLogging {

// Hands every line to the Qt debug message stream as one quoted text value.
class DebugOutputDestination : public Destination
{
public:
    void write(const QString& message) override;
};

} // namespace QsLogging
