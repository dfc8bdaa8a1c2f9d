#pragma once

#include <QMutex>
#include <QObject>
#include <QString>

// The process-wide channel through which the workflows send status texts
// and progress to the scene.
class NotificationHub : public QObject
{
    Q_OBJECT
public:
    static NotificationHub* instance();

    // The scene tells what it showed the user, so that the log holds every
    // note beside the program's own lines.
    Q_INVOKABLE void logShown(const QString& kind, const QString& text);

public Q_SLOTS:
    void sendInfo(QString InfoString);
    void sendWarning(QString InfoString);
    void sendError(QString InfoString);
    void sendProgressConfig(QString InfoString, double Progress);

Q_SIGNALS:
    void info(QString InfoString);
    void warning(QString InfoString);
    void error(QString InfoString);
    // Progress is a fraction from 0 to 1.
    void progressConfig(QString InfoString, double Progress);

private:
    NotificationHub() = default;

    static NotificationHub* s_instance;
    static QMutex s_mutex;
};
