#pragma once

#include <QString>

namespace QsLogging {

// Somewhere a finished log line goes. The logger never owns destinations.
class Destination
{
public:
    virtual ~Destination() = default;
    virtual void write(const QString& message) = 0;
};

} // namespace QsLogging
