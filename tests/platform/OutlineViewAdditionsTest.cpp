#include "platform/OutlineViewAdditions.h"

#include <QStandardItemModel>
#include <QTreeView>
#include <QTreeWidget>

#include <gtest/gtest.h>

TEST(OutlineViewAdditions, SelectedItemsComeInRowOrder)
{
    QTreeWidget outline;
    auto *top = new QTreeWidgetItem(&outline, {"top"});
    auto *child = new QTreeWidgetItem(top, {"child"});
    auto *second = new QTreeWidgetItem(&outline, {"second"});
    outline.expandAll();
    outline.setSelectionMode(QAbstractItemView::MultiSelection);
    EXPECT_TRUE(OutlineViewAdditions::selectedItems(&outline).isEmpty());
    second->setSelected(true);
    top->setSelected(true);
    child->setSelected(true);
    EXPECT_EQ(OutlineViewAdditions::selectedItems(&outline),
              (QList<QTreeWidgetItem *>{top, child, second}));

    QStandardItemModel model;
    model.appendRow(new QStandardItem("a"));
    model.appendRow(new QStandardItem("b"));
    model.appendRow(new QStandardItem("c"));
    QTreeView view;
    view.setModel(&model);
    view.setSelectionMode(QAbstractItemView::MultiSelection);
    view.selectionModel()->select(model.index(2, 0),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
    view.selectionModel()->select(model.index(0, 0),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const QModelIndexList rows = OutlineViewAdditions::selectedItems(&view);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].row(), 0);
    EXPECT_EQ(rows[1].row(), 2);
}
