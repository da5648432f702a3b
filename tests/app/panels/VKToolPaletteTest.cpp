#include "app/panels/VKToolPalette.h"
#include "framework/styles/VRStyle.h"
#include "framework/styles/VRStyleRegistry.h"
#include "framework/view/VRObjectCreationTool.h"
#include "framework/view/VRToolRegistry.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QToolButton>

#include <gtest/gtest.h>

TEST(VKToolPalette, ToolNamesAndButtonTitles)
{
    EXPECT_EQ(VKToolPalette::toolName2ButtonTitle(QStringLiteral("Oval")),
              QStringLiteral("Circle Tool"));
    EXPECT_EQ(VKToolPalette::toolName2ButtonTitle(QStringLiteral("Round Rectangle")),
              QStringLiteral("Rounded Rectangle Tool"));
    EXPECT_EQ(VKToolPalette::toolName2ButtonTitle(QStringLiteral("Select")),
              QStringLiteral("Select"));
    EXPECT_EQ(VKToolPalette::buttonTitle2ToolName(QStringLiteral("Text Tool")),
              QStringLiteral("Text"));
}

TEST(VKToolPalette, FollowsTheToolAndOffersLibraryStyles)
{
    // The shared registry registers the standard tools when it is first made.
    ASSERT_NE(VRToolRegistry::sharedToolRegistry().drawingToolWithName(QStringLiteral("Oval")),
              nullptr);
    VRStyleRegistry::resetRegistry();
    for (const VRStyleRef &style : VRStyleRegistry::standardStyles())
        VRStyleRegistry::registerStyle(style);
    VRObjectCreationTool::setStyleForCreatedObjects(nullptr);

    VKToolPalette palette;
    palette.window();
    Notification changed;
    changed.userInfo.insert(QStringLiteral("name"), QStringLiteral("Oval"));
    palette.toolChangedNotification(changed);
    ASSERT_NE(palette.selectedButton(), nullptr);
    EXPECT_EQ(palette.selectedButton()->property("title").toString(),
              QStringLiteral("Circle Tool"));
    // Without a chosen style the preview shows the tool's own prototype.
    EXPECT_FALSE(palette.stylePreviewView()->pixmap().isNull());

    palette.toolChangedNotification(Notification{});
    EXPECT_EQ(palette.selectedButton()->property("title").toString(), QStringLiteral("Select"));
    palette.selectToolWithName(QStringLiteral("No Such Tool"));
    EXPECT_EQ(palette.selectedButton(), palette.toolButtons().first());

    // Choosing a library style makes it the style of new objects, with a check mark.
    auto firstItem = [](QMenu *menu, const QString &key) {
        QAction *found = nullptr;
        std::function<void(QMenu *)> find = [&](QMenu *m) {
            for (QAction *a : m->actions()) {
                if (a->menu())
                    find(a->menu());
                else if (!found && a->data().isValid()
                         && (key.isEmpty() || a->data().toString() == key))
                    found = a;
            }
        };
        find(menu);
        return found;
    };
    ASSERT_NE(palette.stylePopUpButton()->menu(), nullptr);
    QAction *item = firstItem(palette.stylePopUpButton()->menu(), QString());
    ASSERT_NE(item, nullptr);
    const QString key = item->data().toString();
    palette.libraryItemAction(item);
    ASSERT_NE(VRObjectCreationTool::styleForCreatedObjects(), nullptr);
    EXPECT_EQ(VRObjectCreationTool::styleForCreatedObjects()->uniqueKey(), key);
    palette.validateMenuItems();
    QAction *shown = firstItem(palette.stylePopUpButton()->menu(), key);
    ASSERT_NE(shown, nullptr);
    EXPECT_TRUE(shown->isChecked());
    VRObjectCreationTool::setStyleForCreatedObjects(nullptr);
}
