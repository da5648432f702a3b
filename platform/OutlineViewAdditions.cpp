#include "platform/OutlineViewAdditions.h"

#include <QItemSelectionModel>
#include <QTreeView>
#include <QTreeWidget>

#include <algorithm>

QList<QTreeWidgetItem *> OutlineViewAdditions::selectedItems(const QTreeWidget *outline)
{
    QList<QTreeWidgetItem *> items;
    if (!outline)
        return items;
    // Walking the visible order gives the rows top to bottom.
    for (QTreeWidgetItem *item = outline->topLevelItem(0); item; item = outline->itemBelow(item)) {
        if (item->isSelected())
            items.append(item);
    }
    return items;
}

QModelIndexList OutlineViewAdditions::selectedItems(const QTreeView *outline)
{
    QModelIndexList rows;
    if (!outline || !outline->selectionModel() || !outline->model())
        return rows;
    for (QModelIndex index = outline->model()->index(0, 0, outline->rootIndex()); index.isValid();
         index = outline->indexBelow(index)) {
        if (outline->selectionModel()->isRowSelected(index.row(), index.parent()))
            rows.append(index);
    }
    return rows;
}
