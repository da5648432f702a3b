#pragma once

#include <QAbstractItemModel>
#include <QPointer>

class UndoItem;
#include "framework/undo/VRUndoManager.h"

// The model of the undo inspector's undo outline: one top-level row, the stack's root item,
// with the groups newest first below it. Names only; nothing is editable.
class UndoDataSource : public QAbstractItemModel
{
    Q_OBJECT
public:
    explicit UndoDataSource(QObject *parent = nullptr);

    // The undo manager the next rebuild reads.
    void setUndoManager(VRUndoManager *undoManager) { m_undoManager = undoManager; }
    // Drops the tree and builds it again from the stacks.
    void reload();

    // The item of the top-level row.
    virtual UndoItem *rootItem() const;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    bool hasChildren(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    UndoItem *itemForIndex(const QModelIndex &index) const;

protected:
    virtual void resetRoot() const;
    VRUndoManager *undoManager() const { return m_undoManager; }

private:
    QPointer<VRUndoManager> m_undoManager;
};
