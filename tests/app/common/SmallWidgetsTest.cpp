#include "app/panels/SnappingWindow.h"
#include "app/common/VKOutlineView.h"
#include "app/common/VXVerticallyCenteredTextFieldCell.h"

#include <QApplication>
#include <QMouseEvent>
#include <QStandardItemModel>
#include <QStyle>

#include <gtest/gtest.h>

TEST(VXVerticallyCenteredTextFieldCell, TallRectangleShrinksToTheTextAroundItsMiddle)
{
    EXPECT_EQ(VXVerticallyCenteredTextFieldCell::drawingRectForBounds(QRect(0, 10, 100, 40), 16),
              QRect(0, 22, 100, 16));
    EXPECT_EQ(VXVerticallyCenteredTextFieldCell::drawingRectForBounds(QRect(0, 10, 100, 12), 16),
              QRect(0, 10, 100, 12));
}

struct SnapCase {
    QRect frame;
    QPoint expected;
};

TEST(SnappingWindow, SnapsToTheEdgesWithinTheTolerance)
{
    const QRect area(0, 0, 1280, 800);
    const SnapCase cases[] = {
        {{30, 300, 200, 100}, {0, 300}},      // near the left edge
        {{60, 300, 200, 100}, {60, 300}},     // not near anything
        {{1050, 300, 200, 100}, {1080, 300}}, // near the right edge
        {{500, 20, 200, 100}, {500, 0}},      // near the top
        {{500, 660, 200, 100}, {500, 700}},   // near the bottom
        {{10, 10, 200, 100}, {0, 0}},         // a corner
    };
    for (const SnapCase &c : cases)
        EXPECT_EQ(SnappingWindow::snappedOrigin(c.frame, area, 50.0, 0.0), c.expected)
            << c.frame.x() << "," << c.frame.y();
    EXPECT_EQ(SnappingWindow::snappedOrigin({30, 300, 200, 100}, area, 50.0, 5.0), QPoint(5, 300));
    // A second screen's area keeps its origin.
    EXPECT_EQ(
        SnappingWindow::snappedOrigin({1300, 300, 200, 100}, QRect(1280, 0, 1280, 800), 50.0, 0.0),
        QPoint(1280, 300));
}

TEST(SnappingWindow, MovingNearTheLeftEdgeSnapsUnlessSwitchedOff)
{
    SnappingWindow window;
    window.resize(200, 100);
    window.move(300, 300);
    window.show();
    const QRect area = window.screen()->availableGeometry();
    window.move(area.x() + 30, area.y() + 300);
    EXPECT_EQ(window.frameGeometry().x(), area.x());
    window.setSnapsToEdges(false);
    window.move(area.x() + 30, area.y() + 300);
    EXPECT_EQ(window.frameGeometry().x(), area.x() + 30);
}

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
