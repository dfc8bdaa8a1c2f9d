#include "Application/AppsModel.h"

AppsModel::AppsModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

void AppsModel::setDataList(QList<App>* apps)
{
    beginResetModel();
    m_apps = apps;
    endResetModel();
}

int AppsModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || m_apps == nullptr)
        return 0;
    return m_apps->size();
}

int AppsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : roleNames().size();
}

QVariant AppsModel::data(const QModelIndex& index, int role) const
{
    if (m_apps == nullptr || !index.isValid() || index.row() < 0 || index.row() >= m_apps->size())
        return QVariant();
    const App& app = m_apps->at(index.row());
    switch (role) {
    case DisplayNameRole:
        return app.getDisplayName();
    case BasePathRole:
        return app.getBasePath();
    case IconPathRole:
        return app.getIconPath();
    default:
        return QVariant();
    }
}

QVariant AppsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == Qt::DisplayRole) {
        switch (section) {
        case 0:
            return QStringLiteral("Name");
        case 1:
            return QStringLiteral("Path");
        case 2:
            return QStringLiteral("Icon");
        default:
            break;
        }
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

QHash<int, QByteArray> AppsModel::roleNames() const
{
    return {
        { DisplayNameRole, QByteArrayLiteral("DisplayName") },
        { BasePathRole, QByteArrayLiteral("BasePath") },
        { IconPathRole, QByteArrayLiteral("IconPath") },
    };
}
