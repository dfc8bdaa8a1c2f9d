#include "Data/Store.h"

#include "Application/Helper.h"
#include "Log/LogCategories.h"

#include <QDataStream>
#include <QDebug>
#include <QFile>
#include <QMutexLocker>

Store* Store::m_Instance = nullptr;
QMutex Store::s_createMutex;
QMutex Store::s_dropMutex;

Store* Store::instance()
{
    if (m_Instance == nullptr) {
        QMutexLocker locker(&s_createMutex);
        if (m_Instance == nullptr)
            m_Instance = new Store();
    }
    return m_Instance;
}

void Store::drop()
{
    QMutexLocker locker(&s_dropMutex);
    delete m_Instance;
    m_Instance = nullptr;
}

namespace {

const char kLogSeparator[] = "||||";
const int kFlushIntervalMs = 1000;

} // namespace

Store::Store()
{
    // Until a debug file is opened, what is written to debug() goes nowhere.
    m_debugStream.setString(&m_discardedDebugText, QIODevice::WriteOnly);
    m_flushTimer.setInterval(kFlushIntervalMs);
    connect(&m_flushTimer, &QTimer::timeout, this, &Store::flushCommLogs);
}

Store::~Store()
{
    qCDebug(lcData) << "In Store destructor.";
    m_debugStream.flush();
    m_debugStream.setDevice(nullptr);
    if (m_debugFile != nullptr) {
        m_debugFile->close();
        delete m_debugFile;
        m_debugFile = nullptr;
    }
    closeLogs(m_commLogsIn);
    closeLogs(m_commLogsOut);
    qCDebug(lcData) << "Store destructor done.";
}

void Store::InitDebug(QString fileName)
{
    auto* file = new QFile(fileName);
    if (!file->open(QIODevice::ReadWrite | QIODevice::Truncate | QIODevice::Text | QIODevice::Unbuffered)) {
        qCDebug(lcData) << "Could not open debug file, abort";
        delete file;
        return;
    }
    m_debugStream.flush();
    m_debugStream.setDevice(file);
    if (m_debugFile != nullptr) {
        m_debugFile->close();
        delete m_debugFile;
    }
    m_debugFile = file;
}

QTextStream& Store::debug()
{
    m_debugStream.flush();
    m_discardedDebugText.clear();
    return m_debugStream;
}

QDataStream* Store::commLogIn(QString linkName)
{
    if (!m_commLogsIn.contains(linkName))
        initCommLogIn(linkName);
    return m_commLogsIn.value(linkName).stream;
}

QDataStream* Store::commLogOut(QString linkName)
{
    if (!m_commLogsOut.contains(linkName))
        initCommLogOut(linkName);
    return m_commLogsOut.value(linkName).stream;
}

QString Store::commLogPath(const QString& prefix, const QString& linkName)
{
    QString name = linkName;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    name.replace(QLatin1Char('\\'), QLatin1Char('_'));
    name.replace(QChar(0), QLatin1Char('_'));
    return Helper::getBasePath() + QStringLiteral("/commlogs/") + prefix + name + QStringLiteral(".dat");
}

void Store::initCommLogIn(const QString& linkName)
{
    initCommLog(m_commLogsIn, QStringLiteral("CommLogIn "), linkName);
}

void Store::initCommLogOut(const QString& linkName)
{
    initCommLog(m_commLogsOut, QStringLiteral("CommLogOut "), linkName);
}

void Store::initCommLog(QMap<QString, LogFile>& logs, const QString& prefix, const QString& linkName)
{
    Helper::AssureDirectoryExists(Helper::getBasePath() + QStringLiteral("/commlogs/"));
    const QString path = commLogPath(prefix, linkName);
    auto* file = new QFile(path);
    // Truncated once per run; a link that comes back under its old name
    // goes on with the log it had.
    const bool started = m_startedLogs.contains(path);
    const QIODevice::OpenMode mode = started ? QIODevice::WriteOnly | QIODevice::Append
                                             : QIODevice::WriteOnly | QIODevice::Truncate;
    if (!file->open(mode)) {
        qCDebug(lcData) << "Could not open comm log file, abort";
        delete file;
        // Remembered as unavailable: the link is not asked again on every poll.
        logs.insert(linkName, LogFile());
        return;
    }
    m_startedLogs.insert(path);
    LogFile log;
    log.file = file;
    log.stream = new QDataStream(file);
    log.size = file->size();
    const auto previous = logs.find(linkName);
    if (previous != logs.end())
        closeLog(previous.value());
    logs.insert(linkName, log);
    if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

void Store::logIncoming(const QString& linkName, const QByteArray& chunk)
{
    if (!m_commLogsIn.contains(linkName))
        initCommLogIn(linkName);
    appendToLog(m_commLogsIn, QStringLiteral("CommLogIn "), linkName, chunk);
}

void Store::logOutgoing(const QString& linkName, const QByteArray& chunk)
{
    if (!m_commLogsOut.contains(linkName))
        initCommLogOut(linkName);
    appendToLog(m_commLogsOut, QStringLiteral("CommLogOut "), linkName, chunk);
}

void Store::appendToLog(QMap<QString, LogFile>& logs, const QString& prefix, const QString& linkName,
                        const QByteArray& chunk)
{
    const auto it = logs.find(linkName);
    if (it == logs.end() || it->stream == nullptr)
        return; // could not be opened: that traffic is not logged
    LogFile& log = it.value();
    log.stream->writeRawData(chunk.constData(), chunk.size());
    log.stream->writeRawData(kLogSeparator, int(sizeof(kLogSeparator)) - 1);
    log.size += chunk.size() + qint64(sizeof(kLogSeparator)) - 1;
    if (log.size < m_commLogLimit)
        return;

    // Full: this part becomes the one older part kept, and the log starts afresh.
    const QString path = commLogPath(prefix, linkName);
    const QString older = path + QStringLiteral(".1");
    closeLog(log);
    logs.erase(it);
    QFile::remove(older);
    if (!QFile::rename(path, older))
        qCDebug(lcData) << "Could not keep the older part of the comm log " << path;
    m_startedLogs.remove(path);
    initCommLog(logs, prefix, linkName);
}

void Store::flushCommLogs()
{
    for (QMap<QString, LogFile>* logs : {&m_commLogsIn, &m_commLogsOut}) {
        for (LogFile& log : *logs) {
            if (log.file != nullptr)
                log.file->flush();
        }
    }
}

void Store::closeCommLogs(const QString& linkName)
{
    for (QMap<QString, LogFile>* logs : {&m_commLogsIn, &m_commLogsOut}) {
        const auto it = logs->find(linkName);
        if (it == logs->end())
            continue;
        closeLog(it.value());
        logs->erase(it);
    }
    if (m_commLogsIn.isEmpty() && m_commLogsOut.isEmpty())
        m_flushTimer.stop();
}

int Store::openCommLogCount() const
{
    int count = 0;
    for (const QMap<QString, LogFile>* logs : {&m_commLogsIn, &m_commLogsOut}) {
        for (const LogFile& log : *logs)
            count += log.file != nullptr ? 1 : 0;
    }
    return count;
}

void Store::closeLog(LogFile& log)
{
    delete log.stream;
    log.stream = nullptr;
    if (log.file != nullptr)
        log.file->close(); // writes out the buffer
    delete log.file;
    log.file = nullptr;
}

void Store::closeLogs(QMap<QString, LogFile>& logs)
{
    for (LogFile& log : logs)
        closeLog(log);
    logs.clear();
}
