#include "app/RedoDataSource.h"

#include "app/RedoItem.h"

UndoItem *RedoDataSource::rootItem() const
{
    return RedoItem::rootItem(undoManager());
}

void RedoDataSource::resetRoot() const
{
    RedoItem::reset();
}
