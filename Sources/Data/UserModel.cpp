#include "Data/UserModel.h"

#include "Data/User.h"

UserModel::UserModel(QObject* parent)
    : StandardModel(parent)
{
}

QVariant UserModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_items.size())
        return QVariant();
    const auto* user = qobject_cast<const User*>(m_items.at(index.row()));
    if (user == nullptr)
        return QVariant();
    switch (role) {
    case UserIDRole:
        return QString::number(user->getUserID());
    case UserNameRole:
        return user->getUserName();
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> UserModel::roleNames() const
{
    return {
        { UserIDRole, QByteArrayLiteral("UserID") },
        { UserNameRole, QByteArrayLiteral("UserName") },
    };
}
