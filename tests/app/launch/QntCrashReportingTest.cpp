// Help ▸ Crash Reporting offers only what the crash kit does in the current state: hidden while
// the kit does not run, each command disabled with a tooltip that says why while it would store
// nothing or a test crash would go unrecorded.

#include "app/launch/QntCrashReporting.h"

#include <QAction>
#include <QMenu>

#include <gtest/gtest.h>

#include <memory>

namespace {

using Availability = QntCrashReporting::Availability;

QAction *command(QMenu *menu, const char *name)
{
    for (QAction *action : menu->actions())
        if (action->objectName() == QLatin1String(name))
            return action;
    return nullptr;
}

TEST(QntCrashReporting, OffersOnlyTheCommandsThatWorkNow)
{
    const char *const kValues[] = {"setUserIdentifierAction", "setCustomKeyAction"};
    const char *const kCrashes[] = {"testCrashAction", "testExceptionAction",
                                    "testWorkerCrashAction"};
    struct Case {
        const char *name;
        Availability state;
        bool visible, values, errors, crashes, events;
    };
    const Case cases[] = {
        {"no kit", {}, false, false, false, false, false},
        {"everything", {true, true, true, true, true}, true, true, true, true, true},
        // The settings switched crash reporting off: nothing is stored, no crash recorded.
        {"reporting off", {true, false, false, false, true}, true, false, false, false, true},
        // Recording needs the launch's folder, whatever else is on.
        {"no folder", {true, false, true, true, true}, true, false, false, false, true},
        {"errors off", {true, true, false, true, true}, true, true, false, true, true},
        // A debugger is attached: the handlers are not in.
        {"no handlers", {true, true, true, false, true}, true, true, true, false, true},
        {"no analytics", {true, true, true, true, false}, true, true, true, true, false},
    };
    const std::unique_ptr<QMenu> menu(QntCrashReporting::makeMenu(nullptr));
    EXPECT_TRUE(menu->toolTipsVisible());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QntCrashReporting::updateMenu(menu.get(), c.state);
        EXPECT_EQ(menu->menuAction()->isVisible(), c.visible);
        const auto expect = [&menu](const char *name, bool enabled) {
            QAction *action = command(menu.get(), name);
            ASSERT_TRUE(action) << name;
            EXPECT_EQ(action->isEnabled(), enabled) << name;
            // A disabled command says why; an enabled one shows its own text.
            if (enabled)
                EXPECT_TRUE(action->toolTip().startsWith(action->text().left(8))) << name;
            else
                EXPECT_TRUE(action->toolTip().contains(QLatin1String("off"))
                            || action->toolTip().contains(QLatin1String("not")))
                    << name << ": " << action->toolTip().toStdString();
        };
        for (const char *name : kValues)
            expect(name, c.values);
        expect("recordTestErrorAction", c.errors);
        expect("logTestEventAction", c.events);
        for (const char *name : kCrashes)
            expect(name, c.crashes);
    }
}

TEST(QntCrashReporting, WithoutARunningKitTheSubmenuIsHidden)
{
    // In the test program no API key is configured: the kit never starts.
    const std::unique_ptr<QMenu> menu(QntCrashReporting::makeMenu(nullptr));
    QntCrashReporting::updateMenu(menu.get());
    EXPECT_FALSE(menu->menuAction()->isVisible());
}

} // namespace
