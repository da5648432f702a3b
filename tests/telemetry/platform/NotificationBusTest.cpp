#include "telemetry/platform/NotificationBus.h"

#include <gtest/gtest.h>

TEST(TelemetryNotificationBus, FiltersByNameAndObjectAndTokensRemoveObservers)
{
    tel::NotificationBus bus;
    int a = 0, any = 0, forObject = 0;
    const int sender = 0;
    auto tokenA = bus.addObserver("A", nullptr, [&](const tel::TelemetryNotification &n) {
        ++a;
        EXPECT_EQ(std::any_cast<int>(n.userInfo.at("value")), 5);
    });
    auto tokenAny =
        bus.addObserver("", nullptr, [&](const tel::TelemetryNotification &) { ++any; });
    auto tokenObject =
        bus.addObserver("A", &sender, [&](const tel::TelemetryNotification &) { ++forObject; });
    bus.post("A", nullptr, {{"value", 5}});
    bus.post("A", &sender, {{"value", 5}});
    bus.post("B");
    EXPECT_EQ(a, 2);
    EXPECT_EQ(any, 3);
    EXPECT_EQ(forObject, 1);
    tokenA.reset();
    {
        auto moved = std::move(tokenAny);
    }
    bus.post("A", &sender, {{"value", 5}});
    EXPECT_EQ(a, 2);
    EXPECT_EQ(any, 3);
    EXPECT_EQ(forObject, 2);
}
