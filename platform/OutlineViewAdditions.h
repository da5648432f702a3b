#pragma once

#include <QList>
#include <QModelIndexList>

class QTreeView;
class QTreeWidget;
class QTreeWidgetItem;

// The selected items of an outline, in ascending row order (as shown, top to bottom).
class OutlineViewAdditions
{
public:
    static QList<QTreeWidgetItem *> selectedItems(const QTreeWidget *outline);
    // One index (column 0) per selected row.
    static QModelIndexList selectedItems(const QTreeView *outline);
};
