#pragma once

#include "Application/NavigationItem.h"

#include <QAbstractTableModel>
#include <QList>

// The scene's navigation entries. The list belongs to the app manager and is
// changed only through this model, so that attached views follow every row.
class NavigationItemsModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Roles {
        DisplayNameRole = Qt::UserRole + 1,
        PageSourceRole
    };

    explicit NavigationItemsModel(QObject* parent = nullptr);

    void setDataList(QList<NavigationItem>* items);
    void appendItems(QList<NavigationItem> items);
    void removeLast();

    // A cell by its role's name, for the scene.
    Q_INVOKABLE QVariant valueAt(int row, const QString& roleName) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    QList<NavigationItem>* m_items = nullptr;
};
