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
    auto* user = new User(UserName, Helper::generateId64Bit());
    user->saveToDisk();
    addUser(user);
    return user->getUserID();
}

void UserController::addUser(User* user)
{
    if (user == nullptr)
        return;
    if (user->parent() == nullptr)
        user->setParent(this);
    m_userModel->prependItem(user);
}
