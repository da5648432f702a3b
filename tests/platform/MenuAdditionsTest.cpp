#include "platform/MenuAdditions.h"

#include "common/PopUpChoice.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QComboBox>
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

TEST(MenuAdditions, PopUpItemsAreRemovedFromTheLastToTheFirst)
{
    QComboBox popUp;
    popUp.addItems({"PDF", "TIFF", "JPEG"});
    popUp.setCurrentIndex(2);
    QList<int> removed;
    QObject::connect(popUp.model(), &QAbstractItemModel::rowsAboutToBeRemoved,
                     [&](const QModelIndex &, int first, int) { removed << first; });
    MenuAdditions::removeAllItems(&popUp);
    EXPECT_EQ(removed, QList<int>({2, 1, 0}));
    EXPECT_EQ(popUp.count(), 0);
    MenuAdditions::removeAllItems(&popUp); // an empty pop-up stays empty
    EXPECT_EQ(popUp.count(), 0);
}

TEST(MenuAdditions, PopUpShowsACopyOverTheViewAndWaitsForTheChoice)
{
    QWidget view;
    view.setGeometry(100, 100, 120, 24);
    view.show();
    QMenu menu(QStringLiteral("Sizes"));
    menu.addAction("10");
    QAction *twelve = menu.addAction("12");
    QList<QAction *> reported;
    QObject::connect(&menu, &QMenu::triggered, [&](QAction *item) { reported << item; });

    for (const bool pullsDown : {false, true}) {
        SCOPED_TRACE(pullsDown);
        reported.clear();
        qnt::test::PopUpChoice choice(QStringLiteral("12"));
        EXPECT_EQ(MenuAdditions::popUpMenu(&menu, &view, pullsDown), twelve);
        ASSERT_TRUE(choice.opened());
        EXPECT_EQ(choice.menu(), nullptr); // the copy is gone with the choice
        EXPECT_EQ(choice.title(), "Sizes");
        EXPECT_EQ(choice.actions(), menu.actions());
        EXPECT_FALSE(choice.anyActive());
        EXPECT_EQ(choice.position(), MenuAdditions::popUpPosition(&view, pullsDown));
        EXPECT_EQ(reported, QList<QAction *>({twelve})); // the given menu reports the item
    }
    qnt::test::PopUpChoice dismissed(QStringLiteral("no such size"));
    EXPECT_EQ(MenuAdditions::popUpMenu(&menu, &view, false), nullptr);
    EXPECT_TRUE(dismissed.opened());
}
