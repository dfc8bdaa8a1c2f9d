#include "Application/StateController.h"

#include "Log/LogCategories.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

StateController::StateController(QObject* parent)
    : QObject(parent)
{
}

void StateController::selectUser(QString UserName)
{
    qCDebug(lcApp) << " StateController: User was selected: " << UserName;
    if (UserName == m_user)
        return;
    m_user = UserName;
    if (!m_selectionFile.isEmpty()) {
        QDir().mkpath(QFileInfo(m_selectionFile).absolutePath());
        QSaveFile file(m_selectionFile);
        if (!file.open(QIODevice::WriteOnly) || file.write(UserName.toUtf8()) < 0 || !file.commit())
            qCWarning(lcApp) << "The selected athlete could not be kept in" << m_selectionFile;
    }
    Q_EMIT selectedUserChanged();
}

QString StateController::storedUser() const
{
    QFile file(m_selectionFile);
    if (m_selectionFile.isEmpty() || !file.open(QIODevice::ReadOnly))
        return {};
    // A name, not a document: anything long or on several lines is not ours.
    const QString name = QString::fromUtf8(file.read(1024)).trimmed();
    return name.contains(QLatin1Char('\n')) ? QString() : name;
}

void StateController::selectApp(QString AppName)
{
    m_app = AppName;
    qCDebug(lcApp) << " StateController: app was selected: " << AppName;
}

void StateController::selectSetup(QString SetupName)
{
    m_setup = SetupName;
    qCDebug(lcApp) << " StateController: Setup was selected: " << SetupName;
}

void StateController::SetupTasksChanged(int number)
{
    m_setupTasks = number;
    Q_EMIT numberOfMessagesChanged();
}

void StateController::DataTasksChanged(int number)
{
    qCDebug(lcApp) << " DataTasks changed: " << number;
    m_dataTasks = number;
    Q_EMIT numberOfMessagesChanged();
}
