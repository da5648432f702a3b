#include "telemetry/TallyKit/TLYEventFilter.h"

#include "telemetry/TallyKit/TLYCustomEvent.h"
#include "telemetry/TallyKit/TLYLifecycleEvent.h"
#include "telemetry/TallyKit/TLYPredefinedEvent.h"

#include <gtest/gtest.h>

namespace {

TEST(TLYEventFilterTest, JavaHashOverUTF16Units)
{
    EXPECT_EQ(TLYEventFilter::javaHashCodeForString(""), 0u);
    EXPECT_EQ(TLYEventFilter::javaHashCodeForString("abc"), 96354u);
    // "Hello" as Java hashes it, and a text outside the basic plane (a surrogate pair).
    EXPECT_EQ(static_cast<std::int32_t>(TLYEventFilter::javaHashCodeForString("Hello")), 69609650);
    EXPECT_EQ(TLYEventFilter::javaHashCodeForString("\xF0\x9F\x98\x80"), 0xD83Du * 31u + 0xDE00u);
}

TEST(TLYEventFilterTest, SamplingKeepsAllOrNothingPerInstallation)
{
    const TLYEventFilter filter;
    // "b" hashes to 98 (even), "a" to 97 (odd); a negative hash keeps its sign in the remainder.
    std::string negative = "polygenelubricants"; // Java's hash is INT_MIN
    ASSERT_EQ(static_cast<std::int32_t>(TLYEventFilter::javaHashCodeForString(negative)),
              std::numeric_limits<std::int32_t>::min());
    struct Case {
        std::optional<std::string> installation;
        std::int64_t factor;
        bool discarded;
    };
    const Case cases[] = {
        {"a", 2, true},           {"b", 2, false},      {"a", 1, false},     {"a", 0, false},
        {std::nullopt, 2, false}, {negative, 2, false}, {negative, 3, true},
    };
    for (const Case &c : cases)
        EXPECT_EQ(filter.shouldDiscardEventWithInstallationID(c.installation, c.factor),
                  c.discarded)
            << c.installation.value_or("(none)") << " / " << c.factor;

    const auto launched = TLYLifecycleEvent::appLaunchedEvent();
    const auto installed = TLYLifecycleEvent::installEvent();
    const TLYCustomEvent custom("c", {});
    const auto predefined = TLYPredefinedEvent::searchEventWithQuery("q", {});
    EXPECT_TRUE(filter.shouldDiscardEvent(launched.get(), std::nullopt, "a", 2));
    EXPECT_FALSE(filter.shouldDiscardEvent(launched.get(), "x", "a", 2));
    EXPECT_FALSE(filter.shouldDiscardEvent(installed.get(), std::nullopt, "a", 2));
    EXPECT_FALSE(filter.shouldDiscardEvent(&custom, std::nullopt, "a", 2));
    EXPECT_FALSE(filter.shouldDiscardEvent(predefined.get(), std::nullopt, "a", 2));
    EXPECT_TRUE(filter.shouldDiscardEvent(nullptr, std::nullopt, "a", 1));
    for (const char *name : {"app_launched", "app_terminated", "app_crashed", "app_memory_warning",
                             "app_entered_background", "app_entered_foreground",
                             "app_became_inactive", "app_became_active"})
        EXPECT_TRUE(filter.samplingEnabledForEventType(name)) << name;
}

} // namespace
