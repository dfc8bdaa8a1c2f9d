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

Store::Store()
{
    // Until a debug file is opened, what is written to debug() goes nowhere.
    m_debugStream.setString(&m_discardedDebugText, QIODevice::WriteOnly);
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
    auto* file = new QFile(commLogPath(prefix, linkName));
    if (!file->open(QIODevice::ReadWrite | QIODevice::Truncate | QIODevice::Unbuffered)) {
        qCDebug(lcData) << "Could not open comm log file, abort";
        delete file;
        return;
    }
    LogFile log;
    log.file = file;
    log.stream = new QDataStream(file);
    const auto previous = logs.constFind(linkName);
    if (previous != logs.constEnd()) {
        LogFile old = previous.value();
        delete old.stream;
        delete old.file;
    }
    logs.insert(linkName, log);
}

void Store::closeLogs(QMap<QString, LogFile>& logs)
{
    for (LogFile& log : logs) {
        delete log.stream;
        if (log.file != nullptr)
            log.file->close();
        delete log.file;
    }
    logs.clear();
}
