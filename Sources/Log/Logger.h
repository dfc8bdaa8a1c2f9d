#pragma once

#include "Log/Destination.h"
#include "Log/Level.h"

#include <QDebug>
#include <QList>
#include <QMutex>
#include <QString>

namespace QsLogging {

// Process-wide leveled logger. Formats one line per statement and hands it to
// every destination in the order they were added.
class Logger
{
public:
    static Logger& instance();

    void setLoggingLevel(Level newLevel);
    Level loggingLevel() const;

    // The logger does not take ownership.
    void addDestination(Destination* destination);

    // One log statement in progress; the line is written when it goes out of scope.
    class Helper
    {
    public:
        explicit Helper(Level logLevel);
        ~Helper();
        QDebug& stream() { return m_qtDebug; }

    private:
        void writeToLog();

        Level m_level;
        QString m_buffer;
        QDebug m_qtDebug;
    };

private:
    Logger() = default;
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    friend class Helper;
    void write(const QString& message);

    QMutex m_logMutex;
    Level m_level = InfoLevel;
    QList<Destination*> m_destinations;
};

} // namespace QsLogging

// Statements below the current level cost one comparison and evaluate nothing.
#define QLOG_AT(lvl)                                                         \
    if (QsLogging::Logger::instance().loggingLevel() > (lvl)) {}             \
    else QsLogging::Logger::Helper(lvl).stream() << __FILE__ << '@' << __LINE__

#define QLOG_TRACE() QLOG_AT(QsLogging::TraceLevel)
#define QLOG_DEBUG() QLOG_AT(QsLogging::DebugLevel)
#define QLOG_INFO()  QLOG_AT(QsLogging::InfoLevel)
#define QLOG_WARN()  QLOG_AT(QsLogging::WarnLevel)
#define QLOG_ERROR() QLOG_AT(QsLogging::ErrorLevel)
#define QLOG_FATAL() QLOG_AT(QsLogging::FatalLevel)
