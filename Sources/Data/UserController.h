#pragma once

#include <QObject>

class User;
class UserModel;

// Keeps the users and their list model. Users it is given become its
// children, so they live as long as the controller.
class UserController : public QObject
{
    Q_OBJECT
public:
    explicit UserController(QObject* parent = nullptr);

    UserModel* getUserModel() const { return m_userModel; }

    // An id in use: one whose low half (what the scene shows and
    // addNewUser returns) is 0 or is that of a listed user, or one that a
    // stored user record carries.
    bool isUserIdTaken(quint64 id) const;

public Q_SLOTS:
    qulonglong addNewUser(QString UserName);
    void addUser(User* user);

private:
    UserModel* m_userModel = nullptr;
};
