#include "telemetry/TallyKit/TLYSettings.h"

#include <gtest/gtest.h>

namespace {

TEST(TLYSettingsTest, DefaultsWithoutDictionaryOrKeys)
{
    for (const auto &settings : {TLYSettings(), TLYSettings(nlohmann::json::object()),
                                 TLYSettings(nlohmann::json{{"analytics", "not an object"}})}) {
        EXPECT_TRUE(settings.shouldCollectAnalytics());
        EXPECT_FALSE(settings.shouldForwardToHearthAnalytics());
        EXPECT_FALSE(settings.shouldIncludePurchaseEventsInForwardedHearthEvents());
        EXPECT_EQ(settings.maximumPayloadSize(), 8000);
        EXPECT_EQ(settings.maxPendingSendFiles(), 100);
        EXPECT_EQ(settings.flushInterval(), 0.0);
        EXPECT_EQ(settings.samplingRate(), 1);
        EXPECT_EQ(settings.defaultUploadTimeout(), 21600.0);
        EXPECT_EQ(settings.lowPowerUploadTimeout(), 3600.0);
        EXPECT_NE(settings.tallyURL().find("/spi/v2/events"), std::string::npos);
    }
    EXPECT_FALSE(TLYSettings().valid());
    EXPECT_TRUE(TLYSettings(nlohmann::json::object()).valid());
}

TEST(TLYSettingsTest, ReadsEveryKeyAndTheMasterSwitch)
{
    const nlohmann::json dictionary = nlohmann::json::parse(R"({
        "features": {"collect_analytics": false},
        "analytics": {"url": "https://127.0.0.1:9/spi/v2/events", "forward_to_beacon_analytics": true,
                      "include_purchase_events_in_forwarded_events": true,
                      "max_byte_size_per_file": 500, "max_pending_send_file_count": 3,
                      "flush_interval_secs": 600, "sampling_rate": 4, "upload_timeout_secs": 10,
                      "low_power_upload_timeout_secs": 5}})");
    const TLYSettings settings(dictionary);
    EXPECT_FALSE(settings.shouldCollectAnalytics());
    EXPECT_TRUE(settings.shouldForwardToHearthAnalytics());
    EXPECT_TRUE(settings.shouldIncludePurchaseEventsInForwardedHearthEvents());
    EXPECT_EQ(settings.maximumPayloadSize(), 500);
    EXPECT_EQ(settings.maxPendingSendFiles(), 3);
    EXPECT_EQ(settings.flushInterval(), 600.0);
    EXPECT_EQ(settings.samplingRate(), 4);
    EXPECT_EQ(settings.defaultUploadTimeout(), 10.0);
    EXPECT_EQ(settings.lowPowerUploadTimeout(), 5.0);
    EXPECT_EQ(settings.tallyURL(), "https://127.0.0.1:9/spi/v2/events");
    // Values of the wrong kind count as absent.
    const TLYSettings odd(nlohmann::json{{"analytics", {{"sampling_rate", "four"}, {"url", 3}}}});
    EXPECT_EQ(odd.samplingRate(), 1);
    EXPECT_NE(odd.tallyURL().find("/spi/v2/events"), std::string::npos);
}

} // namespace
