#include "app/undo/UndoDataSource.h"

#include "app/undo/UndoItem.h"

UndoDataSource::UndoDataSource(QObject *parent)
    : QAbstractItemModel(parent)
{
}

UndoItem *UndoDataSource::rootItem() const
{
    return UndoItem::rootItem(m_undoManager);
}

void UndoDataSource::resetRoot() const
{
    UndoItem::reset();
}

void UndoDataSource::reload()
{
    beginResetModel();
    resetRoot();
    endResetModel();
}

UndoItem *UndoDataSource::itemForIndex(const QModelIndex &index) const
{
    return index.isValid() ? static_cast<UndoItem *>(index.internalPointer()) : nullptr;
}

QModelIndex UndoDataSource::index(int row, int column, const QModelIndex &parent) const
{
    if (column != 0 || row < 0)
        return {};
    if (!parent.isValid())
        return row == 0 ? createIndex(0, 0, rootItem()) : QModelIndex();
    UndoItem *child = itemForIndex(parent)->childAtIndex(row);
    return child ? createIndex(row, 0, child) : QModelIndex();
}

QModelIndex UndoDataSource::parent(const QModelIndex &child) const
{
    UndoItem *item = itemForIndex(child);
    UndoItem *parentItem = item ? item->parent() : nullptr;
    if (!parentItem)
        return {};
    return createIndex(parentItem->indexInParent(), 0, parentItem);
}

int UndoDataSource::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return 1;
    if (parent.column() != 0)
        return 0;
    return std::max(0, itemForIndex(parent)->numberOfChildren());
}

int UndoDataSource::columnCount(const QModelIndex &) const
{
    return 1;
}

bool UndoDataSource::hasChildren(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return true;
    UndoItem *item = itemForIndex(parent);
    return item->numberOfChildren() > 0;
}

QVariant UndoDataSource::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    return itemForIndex(index)->name();
}

QVariant UndoDataSource::headerData(int, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return tr("Action");
    return {};
}

Qt::ItemFlags UndoDataSource::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}
