#include "telemetry/TallyKit/TLYHearthAnalyticsBridge.h"

#include "telemetry/TallyKit/TLYCustomEvent.h"
#include "telemetry/TallyKit/TLYLifecycleEvent.h"
#include "telemetry/TallyKit/TLYPredefinedEvent.h"

#include "TLYFakeHearthAnalytics.h"

#include <gtest/gtest.h>

namespace {

using json = nlohmann::ordered_json;
using qnt::test::TLYFakeHearthAnalytics;

class TLYHearthAnalyticsBridgeTest : public ::testing::Test
{
protected:
    std::shared_ptr<TLYFakeHearthAnalytics> sink = std::make_shared<TLYFakeHearthAnalytics>();
    TLYHearthAnalyticsBridge bridge{sink};
};

TEST_F(TLYHearthAnalyticsBridgeTest, FailedLoginGoesOutWithCustomParametersOnly)
{
    bridge.logEvent(
        *TLYPredefinedEvent::loginEventWithMethod("mail", false, json{{"from", "menu"}}));
    bridge.logEvent(*TLYPredefinedEvent::loginEventWithMethod("mail", true, json::object()));
    const auto calls = sink->calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].origin, "fab");
    EXPECT_EQ(calls[0].name, "failed_login");
    EXPECT_EQ(calls[0].parameters.dump(), R"({"from":"menu"})");
    EXPECT_EQ(calls[1].name, "login");
    EXPECT_EQ(calls[1].parameters.dump(), R"({"method":"mail"})");
}

TEST_F(TLYHearthAnalyticsBridgeTest, PredefinedParametersAreMappedAndConverted)
{
    bridge.logEvent(*TLYPredefinedEvent::addToCartEventWithPrice(
        TLYDecimal::fromString("9.99"), "EUR", "Pen", "tools", "p1", json{{"item_id", "custom"}}));
    bridge.logEvent(*TLYPredefinedEvent::levelEndEventWithLevelName("one", 42, true, {}));
    bridge.logEvent(*TLYPredefinedEvent::startCheckoutEventWithPrice(TLYDecimal::fromString("12"),
                                                                     "USD", 3, {}));
    const auto calls = sink->calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].name, "add_to_cart");
    const json &cart = calls[0].parameters;
    EXPECT_DOUBLE_EQ(cart["price"].get<double>(), 9.99);
    EXPECT_DOUBLE_EQ(cart["value"].get<double>(), 9.99);
    EXPECT_EQ(cart["quantity"], 1);
    EXPECT_EQ(cart["item_category"], "tools");
    EXPECT_EQ(cart["item_id"], "p1"); // the predefined parameter wins
    EXPECT_EQ(calls[1].name, "level_end");
    EXPECT_EQ(calls[2].name, "post_score");
    EXPECT_EQ(calls[1].parameters, calls[2].parameters);
    EXPECT_EQ(calls[1].parameters["success"], 1);
    EXPECT_EQ(calls[1].parameters["score"], 42);
    EXPECT_EQ(calls[3].name, "begin_checkout");
    EXPECT_DOUBLE_EQ(calls[3].parameters["value"].get<double>(), 12.0);
    EXPECT_EQ(calls[3].parameters["quantity"], 3);
}

TEST_F(TLYHearthAnalyticsBridgeTest, CustomEventsAreSanitised)
{
    bridge.logEvent(
        TLYCustomEvent("1st try!", json{{"beacon_id", 1}, {"screen_view", 2}, {"ok", 3}}));
    bridge.logEvent(TLYCustomEvent("", json::object()));
    bridge.logEvent(*TLYLifecycleEvent::appLaunchedEvent()); // not forwarded
    const auto calls = sink->calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].name, "plinth_1st_try_");
    EXPECT_EQ(calls[0].parameters.dump(),
              R"({"plinth_beacon_id":1,"plinth_screen_view":2,"ok":3})");
    EXPECT_EQ(calls[1].name, "plinth_unnamed_event");
}

TEST(TLYHearthAnalyticsBridgeNames, Sanitising)
{
    struct Case {
        const char *name;
        const char *sanitised;
    };
    const Case cases[] = {
        {"hello world", "hello_world"},
        {"a--b..c", "a_b_c"},
        {"_x", "plinth__x"},
        {"hearth_x", "plinth_hearth_x"},
        {"ga_x", "plinth_ga_x"},
        {"error", "plinth_error"},
        {"größe", "größe"},
        // A combining mark is neither a letter nor a digit.
        {"\xCC\x81"
         "acute",
         "plinth__acute"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(TLYHearthAnalyticsBridge::sanitizeKeyName(c.name), c.sanitised) << c.name;
    EXPECT_EQ(TLYHearthAnalyticsBridge::sanitizeEventName(std::string(50, 'e')),
              std::string(40, 'e'));
    EXPECT_EQ(TLYHearthAnalyticsBridge::sanitizeAttributeName(""), "plinth_unnamed_parameter");
    EXPECT_EQ(TLYHearthAnalyticsBridge::hearthReservedKeys().size(), 26u);
}

TEST(TLYHearthAnalyticsBridgeNames, WithoutALibraryNothingHappens)
{
    const TLYHearthAnalyticsBridge bridge(nullptr);
    EXPECT_FALSE(bridge.hasHearthAnalytics());
    bridge.logEvent(TLYCustomEvent("x", {}));
}

} // namespace
