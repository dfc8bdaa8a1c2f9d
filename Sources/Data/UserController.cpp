#include "Data/UserController.h"

#include "Application/Helper.h"
#include "Data/User.h"
#include "Data/UserModel.h"

UserController::UserController(QObject* parent)
    : QObject(parent)
    , m_userModel(new UserModel(this))
{
}

qulonglong UserController::addNewUser(QString UserName)
{
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
