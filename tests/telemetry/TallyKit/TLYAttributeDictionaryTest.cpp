#include "telemetry/TallyKit/TLYAttributeDictionary.h"

#include "telemetry/TallyKit/TLYCrashEvent.h"
#include "telemetry/TallyKit/TLYCustomEvent.h"
#include "telemetry/TallyKit/TLYLifecycleEvent.h"
#include "telemetry/TallyKit/TLYPredefinedEvent.h"
#include "common/LogCapture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using json = nlohmann::ordered_json;

using qnt::test::LogCapture;

TEST(TLYAttributeDictionaryTest, KeepsTwentyOneEntriesAndDropsTheNextEvenForAKnownKey)
{
    LogCapture log;
    json given = json::object();
    for (int i = 0; i < 22; ++i)
        given["key" + std::to_string(i)] = i;
    TLYAttributeDictionary dictionary(given);
    EXPECT_EQ(dictionary.dictionaryRepresentation().size(), 21u);
    EXPECT_FALSE(dictionary.dictionaryRepresentation().contains("key21"));
    EXPECT_TRUE(log.contains("[Tally] Maximum number of Event attributes exceeded. Ignoring entry "
                             "key21:21"));
    dictionary.addAttribute("changed", "key0");
    EXPECT_EQ(dictionary.dictionaryRepresentation()["key0"], 0);
}

TEST(TLYAttributeDictionaryTest, NormalisesKeysAndValues)
{
    LogCapture log;
    TLYAttributeDictionary dictionary;
    const std::string longKey(150, 'k');
    dictionary.addAttribute("v", longKey);
    dictionary.addAttribute(std::string(101, 'v'), "long");
    dictionary.addAttribute(nullptr, "null value");
    dictionary.addAttribute(json::array({1}), "array");
    dictionary.addAttribute("x", 7);
    dictionary.addAttribute(std::nan(""), "nan");
    dictionary.addAttribute(1.5, "number");
    dictionary.addBooleanAttribute(false, "flag");
    dictionary.addBooleanAttribute(std::nullopt, "absent");
    // A surrogate pair straddling the limit is dropped whole, never split.
    dictionary.addAttribute(std::string(99, 'a') + "\xF0\x9F\x98\x80", "emoji");

    const json &stored = dictionary.dictionaryRepresentation();
    EXPECT_TRUE(stored.contains(std::string(100, 'k')));
    EXPECT_EQ(stored["long"], std::string(100, 'v'));
    EXPECT_EQ(stored["number"], 1.5);
    EXPECT_EQ(stored["flag"], "false");
    EXPECT_EQ(stored["emoji"], std::string(99, 'a'));
    for (const char *absent : {"null value", "array", "nan", "absent"})
        EXPECT_FALSE(stored.contains(absent)) << absent;
    EXPECT_EQ(stored.size(), 5u);
    EXPECT_TRUE(log.contains("Truncating to 100 characters."));
    EXPECT_TRUE(log.contains("keys must be of type NSString"));
    EXPECT_TRUE(log.contains("values must be of type NSString or NSNumber"));
}

TEST(TLYAttributeDictionaryTest, NotANumberRemovesAnEarlierEntry)
{
    TLYAttributeDictionary dictionary;
    dictionary.addAttribute(3, "n");
    dictionary.addAttribute(std::nan(""), "n");
    EXPECT_FALSE(dictionary.dictionaryRepresentation().contains("n"));
}

TEST(TLYAttributeDictionaryTest, PricesAreStoredInMicroUnits)
{
    struct Case {
        const char *price;
        json stored;
    };
    const Case cases[] = {
        {"9.99", 9990000},
        {"0.000001", 1},
        {"-2.5", -2500000},
        {"1e30", 1e36},
    };
    for (const Case &c : cases) {
        TLYAttributeDictionary dictionary;
        dictionary.addPriceAttribute(TLYDecimal::fromString(c.price), "item_price");
        EXPECT_EQ(dictionary.dictionaryRepresentation()["item_price"], c.stored) << c.price;
    }
    LogCapture log;
    TLYAttributeDictionary dictionary;
    dictionary.addPriceAttribute(std::nullopt, "none");
    dictionary.addPriceAttribute(TLYDecimal::fromString("1e160"), "huge");
    dictionary.addPriceAttribute(TLYDecimal::maximumDecimalNumber().multipliedByPowerOf10(-6),
                                 "limit");
    EXPECT_FALSE(dictionary.dictionaryRepresentation().contains("none"));
    EXPECT_FALSE(dictionary.dictionaryRepresentation().contains("huge"));
    EXPECT_TRUE(dictionary.dictionaryRepresentation().contains("limit"));
    EXPECT_TRUE(log.contains("Maximum value for a price attribute exceeded"));
}

TEST(TLYAttributeDictionaryTest, EventsSerialiseAsTheServiceExpects)
{
    const auto purchase = TLYPredefinedEvent::purchaseEventWithPrice(
        TLYDecimal::fromString("9.99"), "EUR", false, "Pen", "tool", "p1", json{{"shop", "web"}});
    const json p = purchase->dictionaryRepresentation();
    EXPECT_EQ(purchase->name(), "predefined");
    EXPECT_EQ(p["eventId"], purchase->identifier());
    EXPECT_EQ(p["predefined_type"], "purchase");
    EXPECT_EQ(
        p["predefined_attributes"].dump(),
        R"({"item_price":9990000,"currency":"EUR","success":"false","item_name":"Pen","item_type":"tool","item_id":"p1"})");
    EXPECT_EQ(p["custom_attributes"].dump(), R"({"shop":"web"})");

    const TLYCustomEvent custom("opened", json{{"kind", std::string(120, 'x')}});
    const json c = custom.dictionaryRepresentation();
    EXPECT_EQ(custom.name(), "custom");
    EXPECT_EQ(c["custom_type"], "opened");
    EXPECT_EQ(c["custom_attributes"]["kind"].get<std::string>().size(), 100u);
    // The caller's own attributes stay as given.
    EXPECT_EQ(custom.customAttributes()["kind"].get<std::string>().size(), 120u);

    const auto when = std::chrono::system_clock::time_point(std::chrono::seconds(1000));
    for (const auto &[state, text] : std::vector<std::pair<std::uint64_t, const char *>>{
             {0, "unknown"}, {1, "foreground"}, {2, "background"}, {7, "unknown"}}) {
        const TLYCrashEvent crash(when, state);
        EXPECT_EQ(crash.dictionaryRepresentation()["crash_state"], text);
        EXPECT_EQ(crash.timestamp(), when);
        EXPECT_EQ(crash.name(), "app_crashed");
    }
    EXPECT_EQ(TLYLifecycleEvent::appLaunchedEvent()->dictionaryRepresentation().size(), 1u);
}

TEST(TLYAttributeDictionaryTest, LifecycleNamesAndFlushes)
{
    struct Case {
        const char *notification;
        const char *name;
        bool flushes;
    };
    const Case cases[] = {
        {"NSApplicationWillTerminateNotification", "app_terminated", false},
        {"NSApplicationWillResignActiveNotification", "app_became_inactive", true},
        {"NSApplicationDidBecomeActiveNotification", "app_became_active", true},
        {"SomethingElse", "unknown-notification", false},
    };
    for (const Case &c : cases) {
        const auto event = TLYLifecycleEvent::eventWithNotification(c.notification);
        EXPECT_EQ(event->name(), c.name);
        EXPECT_EQ(event->triggersFlush(), c.flushes) << c.name;
    }
    EXPECT_TRUE(TLYLifecycleEvent::installEvent()->triggersFlush());
    EXPECT_FALSE(TLYLifecycleEvent::appLaunchedEvent()->triggersFlush());
}

} // namespace
