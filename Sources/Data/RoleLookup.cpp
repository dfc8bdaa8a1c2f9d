#include "Data/RoleLookup.h"

#include <QAbstractItemModel>

namespace RoleLookup {

QVariant value(const QAbstractItemModel& model, int row, const QString& roleName)
{
    if (row < 0 || row >= model.rowCount())
        return {};
    const QByteArray name = roleName.toUtf8();
    const QHash<int, QByteArray> roles = model.roleNames();
    for (auto it = roles.cbegin(); it != roles.cend(); ++it) {
        if (it.value() == name)
            return model.data(model.index(row, 0), it.key());
    }
    return {};
}

} // namespace RoleLookup
