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

    // The listed user of that name (trimmed, any case), or null.
    User* findUser(const QString& name) const;

public Q_SLOTS:
    // The new user's id; 0 when the name is empty or already listed (the
    // user is told why).
    qulonglong addNewUser(QString UserName);
    void addUser(User* user);
    // Gives a listed user a new name, refused like addNewUser. Measurements
    // keep the name they were recorded with.
    bool renameUser(QString oldName, QString newName);
    // Takes the user off the list and deletes their record.
    bool deleteUser(QString name);

private:
    // Whether `name` may be given to a user other than `except`; tells the
    // user when not.
    bool acceptName(const QString& name, const User* except) const;

    UserModel* m_userModel = nullptr;
};
