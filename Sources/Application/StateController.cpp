#include "Application/StateController.h"

#include "Log/LogCategories.h"

#include <QDebug>

StateController::StateController(QObject* parent)
    : QObject(parent)
{
}

void StateController::selectUser(QString UserName)
{
    m_user = UserName;
    qCDebug(lcApp) << " StateController: User was selected: " << UserName;
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
