#include "Data/StandardModel.h"

#include "Data/RoleLookup.h"

#include "Data/Storable.h"

StandardModel::StandardModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

void StandardModel::prependItem(Storable* item)
{
    if (item == nullptr)
        return;
    const bool known = m_items.contains(item);
    beginInsertRows(QModelIndex(), 0, 0);
    m_items.prepend(item);
    endInsertRows();
    connect(item, &Storable::persistentChanged, this, &StandardModel::ItemChanged, Qt::UniqueConnection);
    connect(item, &Storable::persistentChanged, this, &StandardModel::updateOnDisk, Qt::UniqueConnection);
    connect(item, &Storable::volatileChanged, this, &StandardModel::ItemChanged, Qt::UniqueConnection);
    // The model does not own its items; one that is deleted elsewhere must
    // not stay behind as a dangling row.
    if (!known)
        connect(item, &QObject::destroyed, this, [this, item]() { forgetDestroyedItem(item); });
}

bool StandardModel::removeRows(int row, int count, const QModelIndex& parent)
{
    Q_UNUSED(count)
    Q_UNUSED(parent)
    if (row < 0 || row >= m_items.size())
        return false;
    beginRemoveRows(QModelIndex(), row, row);
    Storable* item = m_items.at(row);
    if (m_eraseFileOnRemove)
        item->eraseFromDisk();
    m_items.removeAt(row);
    endRemoveRows();
    // A removed item that later reports a change must not write its erased
    // file back.
    if (!m_items.contains(item))
        disconnectItem(item);
    return true;
}

int StandardModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_items.size();
}

int StandardModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : roleNames().size();
}

void StandardModel::ItemChanged(Storable* item)
{
    const int row = m_items.indexOf(item);
    if (row < 0)
        return;
    const QModelIndex cell = index(row, 0);
    Q_EMIT dataChanged(cell, cell, QVector<int>());
}

void StandardModel::updateOnDisk(Storable* item)
{
    if (m_updateFileOnChange && item != nullptr)
        item->saveToDisk();
}

void StandardModel::forgetDestroyedItem(Storable* item)
{
    // Only the pointer is compared: the object is already half destroyed.
    for (int row = m_items.size() - 1; row >= 0; --row) {
        if (m_items.at(row) != item)
            continue;
        beginRemoveRows(QModelIndex(), row, row);
        m_items.removeAt(row);
        endRemoveRows();
    }
}

void StandardModel::disconnectItem(Storable* item)
{
    disconnect(item, nullptr, this, nullptr);
}

QVariant StandardModel::valueAt(int row, const QString& roleName) const
{
    return RoleLookup::value(*this, row, roleName);
}
