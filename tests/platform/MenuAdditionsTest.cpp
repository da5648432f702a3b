#include "platform/MenuAdditions.h"

#include <QAction>
#include <QMenu>

#include <gtest/gtest.h>

TEST(MenuAdditions, TagsDisableUncheckAndRemove)
{
    QMenu menu;
    QAction *a = menu.addAction("a");
    QAction *b = menu.addAction("b");
    QAction *c = menu.addAction("c");
    MenuAdditions::setTag(a, 3);
    MenuAdditions::setTag(c, 3);
    for (QAction *item : {a, b, c}) {
        item->setCheckable(true);
        item->setChecked(true);
    }
    MenuAdditions::disableItemsWithTag(&menu, 3);
    EXPECT_FALSE(a->isEnabled());
    EXPECT_TRUE(b->isEnabled());
    EXPECT_FALSE(c->isEnabled());
    MenuAdditions::uncheckAllItems(&menu);
    EXPECT_FALSE(a->isChecked() || b->isChecked() || c->isChecked());
    MenuAdditions::removeAllItems(&menu);
    EXPECT_TRUE(menu.actions().isEmpty());
    MenuAdditions::removeAllItems(&menu); // an empty menu stays empty
    EXPECT_TRUE(menu.actions().isEmpty());
}

TEST(MenuAdditions, PullDownShowsEveryItemBelowTheView)
{
    QWidget view;
    view.setGeometry(100, 100, 120, 24);
    QMenu menu;
    QAction *first = menu.addAction("First");
    menu.addAction("Second");
    std::unique_ptr<QMenu> copy(MenuAdditions::menuForPopUp(&menu, &view));
    EXPECT_EQ(copy->actions(), menu.actions());
    EXPECT_EQ(MenuAdditions::popUpPosition(&view, true), view.mapToGlobal(QPoint(0, 24)));
    EXPECT_EQ(MenuAdditions::popUpPosition(&view, false), view.mapToGlobal(QPoint(0, 0)));
    int triggered = 0;
    QObject::connect(first, &QAction::triggered, [&] { ++triggered; });
    copy->actions().first()->trigger();
    EXPECT_EQ(triggered, 1);
}
