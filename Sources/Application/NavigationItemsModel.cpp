#include "Application/NavigationItemsModel.h"

#include "Data/RoleLookup.h"

NavigationItemsModel::NavigationItemsModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

void NavigationItemsModel::setDataList(QList<NavigationItem>* items)
{
    beginResetModel();
    m_items = items;
    endResetModel();
}

void NavigationItemsModel::appendItems(QList<NavigationItem> items)
{
    // An empty insertion (last row before first) is not a valid model change.
    if (m_items == nullptr || items.isEmpty())
        return;
    const int first = m_items->size();
    beginInsertRows(QModelIndex(), first, first + items.size() - 1);
    m_items->append(items);
    endInsertRows();
}

void NavigationItemsModel::removeLast()
{
    if (m_items == nullptr || m_items->isEmpty())
        return;
    const int last = m_items->size() - 1;
    beginRemoveRows(QModelIndex(), last, last);
    m_items->removeLast();
    endRemoveRows();
}

int NavigationItemsModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || m_items == nullptr)
        return 0;
    return m_items->size();
}

int NavigationItemsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : roleNames().size();
}

QVariant NavigationItemsModel::data(const QModelIndex& index, int role) const
{
    if (m_items == nullptr || !index.isValid() || index.row() < 0 || index.row() >= m_items->size())
        return QVariant();
    const NavigationItem& item = m_items->at(index.row());
    switch (role) {
    case DisplayNameRole:
        return item.getDisplayName();
    case PageSourceRole:
        return item.getPath();
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> NavigationItemsModel::roleNames() const
{
    return {
        { DisplayNameRole, QByteArrayLiteral("DisplayName") },
        { PageSourceRole, QByteArrayLiteral("PageSource") },
    };
}

QVariant NavigationItemsModel::valueAt(int row, const QString& roleName) const
{
    return RoleLookup::value(*this, row, roleName);
}
