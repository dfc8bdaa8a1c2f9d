#pragma once

#include <QMap>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QTextStream>

class QDataStream;
class QFile;

// Owns the debug text file and the raw communication logs, two per link
// ("CommLogIn <link>.dat", "CommLogOut <link>.dat"). One instance per run,
// created on first use and dropped by the application root.
class Store : public QObject
{
    Q_OBJECT
public:
    static Store* instance();
    static void drop();

    void InitDebug(QString fileName);
    QTextStream& debug();

    // The log stream of a link and direction, opened (and truncated) on first
    // use; null when its file cannot be opened.
    QDataStream* commLogIn(QString linkName);
    QDataStream* commLogOut(QString linkName);

    // The file a link's log goes to. Link names may be device paths; their
    // folder separators become "_" so that every name gives a file directly
    // in the log folder.
    static QString commLogPath(const QString& prefix, const QString& linkName);

private:
    struct LogFile {
        QFile* file = nullptr;
        QDataStream* stream = nullptr;
    };

    Store();
    ~Store() override;

    void initCommLogIn(const QString& linkName);
    void initCommLogOut(const QString& linkName);
    void initCommLog(QMap<QString, LogFile>& logs, const QString& prefix, const QString& linkName);
    static void closeLogs(QMap<QString, LogFile>& logs);

    static Store* m_Instance;
    static QMutex s_createMutex;
    static QMutex s_dropMutex;

    QFile* m_debugFile = nullptr;
    QTextStream m_debugStream;
    QString m_discardedDebugText;
    QMap<QString, LogFile> m_commLogsIn;
    QMap<QString, LogFile> m_commLogsOut;
};
