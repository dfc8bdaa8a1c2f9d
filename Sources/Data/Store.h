#pragma once

#include <QMap>
#include <QMutex>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTextStream>
#include <QTimer>

class QDataStream;
class QFile;

// Owns the debug text file and the raw communication logs, two per link
// ("CommLogIn <link>.dat", "CommLogOut <link>.dat"). One instance per run,
// created on first use and dropped by the application root.
//
// The logs are written through a buffer and flushed once a second, so a
// busy link costs no system call per poll. Each log is capped: when it has
// reached the limit it is renamed to "<file>.1" (replacing an older one) and
// started afresh, so a link never holds more than twice the limit on disk.
class Store : public QObject
{
    Q_OBJECT
public:
    // 16 MiB: a minute of a busy upload, several of them for a sensor that
    // is plugged in all day.
    static constexpr qint64 kDefaultCommLogLimit = 16 * 1024 * 1024;

    static Store* instance();
    static void drop();

    void InitDebug(QString fileName);
    QTextStream& debug();

    // The log stream of a link and direction, opened (and truncated) on first
    // use; null when its file cannot be opened.
    QDataStream* commLogIn(QString linkName);
    QDataStream* commLogOut(QString linkName);

    // One chunk of a link's traffic followed by the "||||" separator. The
    // link manager writes through these, so that the cap is kept.
    void logIncoming(const QString& linkName, const QByteArray& chunk);
    void logOutgoing(const QString& linkName, const QByteArray& chunk);
    // Writes out what the logs hold in their buffers.
    void flushCommLogs();
    // Closes both logs of a link whose link has gone, so that links that
    // come and go under ever new names do not use up the open files. Should
    // the name come back in this run, its logs go on where they stopped.
    void closeCommLogs(const QString& linkName);
    int openCommLogCount() const;

    void setCommLogLimit(qint64 bytes) { m_commLogLimit = qMax<qint64>(1, bytes); }
    qint64 commLogLimit() const { return m_commLogLimit; }

    // The file a link's log goes to. Link names may be device paths; their
    // folder separators become "_" so that every name gives a file directly
    // in the log folder.
    static QString commLogPath(const QString& prefix, const QString& linkName);

private:
    struct LogFile {
        QFile* file = nullptr;
        QDataStream* stream = nullptr;
        qint64 size = 0;
    };

    Store();
    ~Store() override;

    void initCommLogIn(const QString& linkName);
    void initCommLogOut(const QString& linkName);
    void initCommLog(QMap<QString, LogFile>& logs, const QString& prefix, const QString& linkName);
    void appendToLog(QMap<QString, LogFile>& logs, const QString& prefix, const QString& linkName,
                     const QByteArray& chunk);
    static void closeLog(LogFile& log);
    static void closeLogs(QMap<QString, LogFile>& logs);

    static Store* m_Instance;
    static QMutex s_createMutex;
    static QMutex s_dropMutex;

    QFile* m_debugFile = nullptr;
    QTextStream m_debugStream;
    QString m_discardedDebugText;
    QMap<QString, LogFile> m_commLogsIn;
    QMap<QString, LogFile> m_commLogsOut;
    // Log files already started in this run: opened again, they are appended to.
    QSet<QString> m_startedLogs;
    qint64 m_commLogLimit = kDefaultCommLogLimit;
    QTimer m_flushTimer;
};
