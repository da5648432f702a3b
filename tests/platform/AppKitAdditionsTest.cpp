#include "common/ScopedEnvironment.h"
#include "platform/ColorPanel.h"
#include "platform/ImageResources.h"
#include "platform/MenuAdditions.h"
#include "platform/OutlineViewAdditions.h"
#include "platform/TagEnablingAdditions.h"

#include <QAction>
#include <QColorDialog>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTreeView>
#include <QTreeWidget>

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

TEST(TagEnablingAdditions, MatchingContainerIsHiddenAloneButPassesEnabling)
{
    QWidget root;
    auto *container = new QWidget(&root);
    auto *button = new QPushButton("b", container);
    auto *label = new QLabel("l", container);
    auto *other = new QPushButton("o", &root);
    TagEnablingAdditions::setTag(container, 7);
    TagEnablingAdditions::setTag(button, 7);
    TagEnablingAdditions::setTag(other, 7);

    TagEnablingAdditions::setSubviewsWithTag(&root, 7, true);
    EXPECT_TRUE(container->isHidden());
    EXPECT_FALSE(button->isHidden()); // left alone below a matching view
    EXPECT_FALSE(label->isHidden());
    EXPECT_TRUE(other->isHidden());

    TagEnablingAdditions::setSubviewsWithTagEnabled(&root, 7, false);
    EXPECT_TRUE(container->isEnabled()); // a container cannot be enabled on its own
    EXPECT_FALSE(button->isEnabled());
    EXPECT_FALSE(other->isEnabled());
    EXPECT_TRUE(label->isEnabled());
}

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

TEST(ImageResources, FindsImagesInTheResourcesFolder)
{
    QTemporaryDir bundle;
    QDir(bundle.path()).mkdir("Images");
    QImage image(4, 4, QImage::Format_ARGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(bundle.path() + "/Images/dial.png"));
    const qnt::test::ScopedEnvironmentVariable bundleFolder("QNT_BUNDLE_DIR",
                                                            bundle.path().toStdString());
    EXPECT_EQ(ImageResources::pathForImageResource("dial"), bundle.path() + "/Images/dial.png");
    EXPECT_EQ(ImageResources::pathForImageResource("dial.png"), bundle.path() + "/Images/dial.png");
    EXPECT_FALSE(ImageResources::imageNamed("dial").isNull());
    EXPECT_TRUE(ImageResources::imageNamed("missing").isNull());
    EXPECT_TRUE(ImageResources::pathForImageResource("../etc/passwd").isEmpty());
}

TEST(ColorPanel, SendsPickedColoursToItsTargetOnly)
{
    ColorPanel &panel = ColorPanel::sharedColorPanel();
    panel.setShowsAlpha(true);
    EXPECT_TRUE(panel.dialog()->testOption(QColorDialog::ShowAlphaChannel));
    QList<QColor> received;
    {
        QObject target;
        panel.setTarget(&target, [&](const QColor &c) { received << c; });
        panel.setColor(Qt::blue); // shown, not sent
        EXPECT_TRUE(received.isEmpty());
        panel.dialog()->setCurrentColor(QColor(10, 20, 30, 40)); // as the user picks
        ASSERT_FALSE(received.isEmpty());
        EXPECT_EQ(received.last(), QColor(10, 20, 30, 40));
        EXPECT_EQ(panel.color(), QColor(10, 20, 30, 40));
    }
    const qsizetype before = received.size();
    panel.dialog()->setCurrentColor(Qt::green); // the target is gone
    EXPECT_EQ(received.size(), before);
    EXPECT_EQ(panel.target(), nullptr);
}
