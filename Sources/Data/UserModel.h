#pragma once

#include "Data/StandardModel.h"

// The users as the scene lists them, most recently added first.
class UserModel : public StandardModel
{
    Q_OBJECT
public:
    enum Roles { UserIDRole = Qt::UserRole + 1, UserNameRole };

    explicit UserModel(QObject* parent = nullptr);

    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;
};
