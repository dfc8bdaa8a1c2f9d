#include "Application/NotificationHub.h"

#include "Log/LogCategories.h"

#include <QMutexLocker>

NotificationHub* NotificationHub::s_instance = nullptr;
QMutex NotificationHub::s_mutex;

NotificationHub* NotificationHub::instance()
{
    if (s_instance == nullptr) {
        QMutexLocker locker(&s_mutex);
        // Lives for the whole run; never deleted, so that no signal source
        // disappears under the scene while the process shuts down.
        if (s_instance == nullptr)
            s_instance = new NotificationHub();
    }
    return s_instance;
}

void NotificationHub::sendInfo(QString InfoString)
{
    Q_EMIT info(InfoString);
}

void NotificationHub::sendWarning(QString InfoString)
{
    Q_EMIT warning(InfoString);
}

void NotificationHub::sendError(QString InfoString)
{
    Q_EMIT error(InfoString);
}

void NotificationHub::sendProgressConfig(QString InfoString, double Progress)
{
    Q_EMIT progressConfig(InfoString, Progress);
}

void NotificationHub::logShown(const QString& kind, const QString& text)
{
    if (kind == QLatin1String("error"))
        qCWarning(lcApp).noquote() << "Shown (error):" << text;
    else if (kind == QLatin1String("warning"))
        qCWarning(lcApp).noquote() << "Shown (warning):" << text;
    else
        qCInfo(lcApp).noquote() << "Shown:" << text;
}
