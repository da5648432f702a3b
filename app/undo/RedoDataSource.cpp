#include "app/undo/RedoDataSource.h"

#include "app/undo/RedoItem.h"

UndoItem *RedoDataSource::rootItem() const
{
    return RedoItem::rootItem(undoManager());
}

void RedoDataSource::resetRoot() const
{
    RedoItem::reset();
}
