#pragma once

#include <QAbstractTableModel>
#include <QList>

class Storable;

// The list model the scene sees for one kind of stored object. It holds the
// items by pointer without owning them, keeps their files up to date when
// they report a persistent change, and erases an item's file when the scene
// removes its row.
class StandardModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit StandardModel(QObject* parent = nullptr);

    void setEraseFileOnRemove(bool erase) { m_eraseFileOnRemove = erase; }
    void setUpdateFileOnChange(bool update) { m_updateFileOnChange = update; }
    const QList<Storable*>& getDataList() const { return m_items; }

    virtual void prependItem(Storable* item);

    // Removes the single item at `row` (the count is not used). The item
    // itself stays alive; its file is erased when the model is set to do so.
    Q_INVOKABLE bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;

    // A cell by its role's name, for the scene.
    Q_INVOKABLE QVariant valueAt(int row, const QString& roleName) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override = 0;
    QHash<int, QByteArray> roleNames() const override = 0;

public Q_SLOTS:
    void ItemChanged(Storable* item);
    void updateOnDisk(Storable* item);

protected:
    QList<Storable*> m_items;

private:
    void forgetDestroyedItem(Storable* item);
    void disconnectItem(Storable* item);

    bool m_eraseFileOnRemove = true;
    bool m_updateFileOnChange = true;
};
