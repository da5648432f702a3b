#include "style/QntFlippedView.h"

#include <QScrollArea>
#include <QScrollBar>

#include <gtest/gtest.h>

namespace {

TEST(QntFlippedView, ItsFirstRowStaysAtTheTopOfATallerScroller)
{
    QScrollArea scroller;
    scroller.resize(300, 300);
    auto *view = new QntFlippedView;
    EXPECT_TRUE(view->isFlipped());
    view->resize(100, 40);
    auto *firstRow = new QWidget(view);
    firstRow->setGeometry(0, 0, 100, 20);
    scroller.setWidget(view);
    scroller.show();
    EXPECT_EQ(firstRow->mapTo(scroller.viewport(), QPoint(0, 0)), QPoint(0, 0));
    // A view taller than the scroller also starts with its first row in sight.
    view->resize(100, 900);
    EXPECT_EQ(scroller.verticalScrollBar()->value(), 0);
    EXPECT_EQ(firstRow->mapTo(scroller.viewport(), QPoint(0, 0)), QPoint(0, 0));
}

} // namespace
