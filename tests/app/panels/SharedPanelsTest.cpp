#include "app/window/QntDocumentConstants.h"
#include "app/undo/QntUndoInspector.h"
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
