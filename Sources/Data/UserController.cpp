#include "Data/UserController.h"

#include "Application/Helper.h"
#include "Data/User.h"
#include "Application/NotificationHub.h"
#include "Data/UserModel.h"

#include <QFile>

UserController::UserController(QObject* parent)
    : QObject(parent)
    , m_userModel(new UserModel(this))
{
}

qulonglong UserController::addNewUser(QString UserName)
{
    UserName = UserName.trimmed();
    if (!acceptName(UserName, nullptr))
        return 0;
    const quint64 id = Helper::generateFreeId64Bit([this](quint64 candidate) { return isUserIdTaken(candidate); });
    auto* user = new User(UserName, id);
    user->saveToDisk();
    addUser(user);
    return user->getUserID();
}

bool UserController::isUserIdTaken(quint64 id) const
{
    const auto shown = static_cast<quint32>(id);
    if (shown == 0)
        return true;
    for (Storable* item : m_userModel->getDataList()) {
        const auto* user = qobject_cast<User*>(item);
        if (user != nullptr && (user->getFullUserId() == id || user->getUserID() == shown))
            return true;
    }
    return Helper::recordWithIdExists(Helper::getUserPath(), id, QStringLiteral("ktu"));
}

void UserController::addUser(User* user)
{
    if (user == nullptr)
        return;
    if (user->parent() == nullptr)
        user->setParent(this);
    m_userModel->prependItem(user);
}

User* UserController::findUser(const QString& name) const
{
    const QString wanted = name.trimmed();
    for (Storable* item : m_userModel->getDataList()) {
        auto* user = qobject_cast<User*>(item);
        if (user != nullptr && user->getUserName().trimmed().compare(wanted, Qt::CaseInsensitive) == 0)
            return user;
    }
    return nullptr;
}

bool UserController::acceptName(const QString& name, const User* except) const
{
    if (name.trimmed().isEmpty()) {
        NotificationHub::instance()->sendError(tr("An athlete needs a name."));
        return false;
    }
    const User* other = findUser(name);
    if (other != nullptr && other != except) {
        NotificationHub::instance()->sendError(tr("An athlete called %1 is already on the list.").arg(name.trimmed()));
        return false;
    }
    return true;
}

bool UserController::renameUser(QString oldName, QString newName)
{
    User* user = findUser(oldName);
    newName = newName.trimmed();
    if (user == nullptr || !acceptName(newName, user))
        return false;
    if (user->getUserName() == newName)
        return true;
    // The file is named after the user: the new one is written before the
    // old one goes, so a failure keeps the user under the old name.
    const QString oldFile = user->fullPath();
    user->setUserName(newName);
    if (!user->saveToDisk()) {
        user->setUserName(oldName);
        NotificationHub::instance()->sendError(tr("%1 could not be renamed: the athlete's file could not be written.").arg(oldName));
        return false;
    }
    if (oldFile != user->fullPath())
        QFile::remove(oldFile);
    m_userModel->ItemChanged(user);
    return true;
}

bool UserController::deleteUser(QString name)
{
    User* user = findUser(name);
    const int row = user == nullptr ? -1 : m_userModel->getDataList().indexOf(user);
    if (row < 0 || !m_userModel->removeRows(row, 1))
        return false;
    user->deleteLater();
    return true;
}
