#include "app/common/VKOutlineView.h"

#include <QApplication>
#include <QMouseEvent>
#include <QStandardItemModel>
#include <QStyle>

#include <gtest/gtest.h>

TEST(VKOutlineView, CheckBoxTogglesInPlaceWithoutSelecting)
{
    QStandardItemModel model;
    auto *item = new QStandardItem("row");
    item->setCheckable(true);
    item->setCheckState(Qt::Unchecked);
    model.appendRow(item);
    model.appendRow(new QStandardItem("other"));
    VKOutlineView view;
    view.setModel(&model);
    view.resize(300, 200);
    view.show();
    view.selectionModel()->select(model.index(1, 0), QItemSelectionModel::ClearAndSelect);

    QStyleOptionViewItem option;
    option.initFrom(&view);
    option.rect = view.visualRect(model.index(0, 0));
    option.features |= QStyleOptionViewItem::HasCheckIndicator;
    const QPoint box = view.style()
                           ->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, &view)
                           .center();
    QMouseEvent press(QEvent::MouseButtonPress, box, view.viewport()->mapToGlobal(box),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &press);
    EXPECT_EQ(item->checkState(), Qt::Checked);
    EXPECT_TRUE(view.selectionModel()->isRowSelected(1, {}));
    EXPECT_FALSE(view.selectionModel()->isRowSelected(0, {}));
    EXPECT_NEAR(VKOutlineView::gridColor().alphaF(), 0.15, 0.001);
    EXPECT_NEAR(VKOutlineView::gridColor().blueF(), 0.92, 0.001);
}
