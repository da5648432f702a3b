#include "app/window/QntDocumentConstants.h"
#include "app/undo/QntUndoInspector.h"
#include "app/panels/QntInfoPanelController.h"
#include "app/panels/VKObjectInspector.h"
#include "app/panels/VKToolPalette.h"
#include "app/launch/VOReruRerAppDelegate.h"
#include "platform/UserDefaults.h"
#include "common/ScopeExit.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QWidget>

#include <gtest/gtest.h>

TEST(SharedPanels, TheDelegateMakesEachPanelOnceAndTheToolPaletteRemembersItIsOpen)
{
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    // Whether the palette was open is remembered for the next launch: the next test's.
    const qnt::test::ScopeExit forget(
        [&defaults] { defaults.removeObjectForKey(kQntToolPaletteIsVisible); });
    VOReruRerAppDelegate delegate;
    defaults.setBool(false, kQntToolPaletteIsVisible);
    delegate.showToolPalette();
    VKToolPalette *palette = delegate.toolPalette();
    ASSERT_NE(palette, nullptr);
    EXPECT_TRUE(defaults.boolForKey(kQntToolPaletteIsVisible));
    delegate.showToolPalette();
    EXPECT_EQ(delegate.toolPalette(), palette);

    // Closing it while the application runs records it as closed; while quitting it does not.
    delegate.setIsTerminating(true);
    palette->window()->close();
    EXPECT_TRUE(defaults.boolForKey(kQntToolPaletteIsVisible));
    delegate.setIsTerminating(false);
    palette->window()->show();
    palette->window()->close();
    EXPECT_FALSE(defaults.boolForKey(kQntToolPaletteIsVisible));

    delegate.showObjectInspector();
    delegate.showUndoInspector();
    ASSERT_NE(delegate.objectInspector(), nullptr);
    ASSERT_NE(delegate.undoInspector(), nullptr);
    EXPECT_TRUE(delegate.undoInspector()->window()->isVisible());
    QCoreApplication::processEvents();
}

TEST(SharedPanels, TheHintPanelKeepsClearOfTheTextBarItExplains)
{
    const QRect screen(0, 0, 1600, 1000);
    const QRect window(100, 100, 1200, 880);
    const QRect panel = QntInfoPanelController::finalFrame(window, 420, 30, 12);
    struct Case {
        const char *name;
        QRect bar;
    } cases[] = {
        {"bar at the bottom, under the panel", QRect(480, 880, 400, 110)},
        {"bar at the bottom of a short screen", QRect(500, 900, 300, 90)},
        {"bar as tall as the window", QRect(450, 140, 500, 850)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(panel.intersects(c.bar));
        const QRect placed = QntInfoPanelController::frameAvoiding(panel, window, c.bar, screen);
        EXPECT_FALSE(placed.intersects(c.bar));
        EXPECT_TRUE(screen.contains(placed));
        EXPECT_EQ(placed.size(), panel.size());
    }
    // Clear of the bar already: where it always stands.
    EXPECT_EQ(QntInfoPanelController::frameAvoiding(panel, window, QRect(0, 0, 50, 50), screen),
              panel);
}
