#pragma once

namespace QsLogging {

enum Level {
    TraceLevel = 0,
    DebugLevel,
    InfoLevel,
    WarnLevel,
    ErrorLevel,
    FatalLevel
};

// The texts a log line starts with, one per level.
extern const char* const TraceString;
extern const char* const DebugString;
extern const char* const InfoString;
extern const char* const WarnString;
extern const char* const ErrorString;
extern const char* const FatalString;

// Local time, 'T' between date and time, milliseconds with three digits.
extern const char* const fmtDateTime;

} // namespace QsLogging
