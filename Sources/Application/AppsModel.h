#pragma once

#include "Application/App.h"

#include <QAbstractTableModel>
#include <QList>

// The apps found at start-up, as the scene lists them. The list belongs to
// the app manager; the model only looks at it.
class AppsModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Roles {
        DisplayNameRole = Qt::UserRole + 1,
        BasePathRole,
        IconPathRole
    };

    explicit AppsModel(QObject* parent = nullptr);

    void setDataList(QList<App>* apps);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    QList<App>* m_apps = nullptr;
};
