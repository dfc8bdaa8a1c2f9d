#include "Log/Logger.h"

#include <QDateTime>
#include <QMutexLocker>

#include <exception>

namespace QsLogging {

const char* const TraceString = "TRACE";
const char* const DebugString = "DEBUG";
const char* const InfoString = "INFO";
const char* const WarnString = "WARN";
const char* const ErrorString = "ERROR";
const char* const FatalString = "FATAL";
const char* const fmtDateTime = "yyyy-MM-ddThh:mm:ss.zzz";

namespace {

const char* levelToText(Level level)
{
    switch (level) {
    case TraceLevel: return TraceString;
    case DebugLevel: return DebugString;
    case InfoLevel: return InfoString;
    case WarnLevel: return WarnString;
    case ErrorLevel: return ErrorString;
    case FatalLevel: return FatalString;
    }
    Q_ASSERT_X(false, "levelToText", "bad log level");
    return InfoString;
}

} // namespace

Logger& Logger::instance()
{
    static Logger s_instance;
    return s_instance;
}

void Logger::setLoggingLevel(Level newLevel)
{
    m_level = newLevel;
}

Level Logger::loggingLevel() const
{
    return m_level;
}

void Logger::addDestination(Destination* destination)
{
    Q_ASSERT(destination);
    m_destinations.push_back(destination);
}

void Logger::write(const QString& message)
{
    for (Destination* destination : qAsConst(m_destinations)) {
        Q_ASSERT_X(destination, "Logger::write", "null log destination");
        destination->write(message);
    }
}

Logger::Helper::Helper(Level logLevel)
    : m_level(logLevel)
    , m_qtDebug(&m_buffer)
{
}

Logger::Helper::~Helper()
{
    try {
        writeToLog();
    } catch (std::exception&) {
        Q_ASSERT_X(false, "Logger::Helper::~Helper", "exception in logger helper destructor");
    }
}

void Logger::Helper::writeToLog()
{
    const char* const levelName = levelToText(m_level);
    const QString completeMessage = QString::fromLatin1("%1 %2 %3")
                                        .arg(QString::fromLatin1(levelName), 5)
                                        .arg(QDateTime::currentDateTime().toString(QString::fromLatin1(fmtDateTime)))
                                        .arg(m_buffer);

    Logger& logger = Logger::instance();
    QMutexLocker lock(&logger.m_logMutex);
    logger.write(completeMessage);
}

} // namespace QsLogging
