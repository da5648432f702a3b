#include "telemetry/core/Plinth.h"

#include "NetTestServer.h"
#include "common/ScopedEnvironment.h"
#include "common/TestEnvironment.h"
#include "common/WaitUntil.h"
#include "telemetry/core/PLNSettingsOnboardingManager.h"
#include "telemetry/platform/AppInfo.h"
#include "telemetry/platform/NotificationBus.h"
#include "telemetry/ScopedAppInfo.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

using namespace qnt::test;

// The start of the client hands over to the settings manager, whose settings then answer
// Plinth::settings(). The client starts once per process, so this test needs a process of its
// own (as each test gets under ctest); the shuffled repeat of the test command leaves it out.
TEST(PLNSettingsFromPlinth, StartDownloadsTheSettingsOnce)
{
    const TestCertificates certificates = makeTestCertificates(isolatedHome() + "/certs", "start");
    const ScopedPinnedCertificates pinned({certificates.caDER});
    NetTestServer server(certificates);
    server.on("GET", "/spi/v2/platforms/mac/apps/com.quintora.start/settings",
              [](const RecordedRequest &, httplib::Response &response) {
                  response.set_content(R"({"features":{"collect_reports":false}})",
                                       "application/json; charset=utf-8");
              });
    server.start();
    const ScopedEnvironmentVariable endpoint("SettingsEndpoint", server.baseURL());
    const ScopedAppInfo appInfo;
    const std::string bundle = isolatedHome() + "/start-bundle";
    std::filesystem::create_directories(bundle);
    tel::AppInfo::setBundleFolder(bundle);
    tel::AppInfo::setInfoDictionary(tel::PlistValue(tel::PlistValue::Dictionary{
        {"CFBundleIdentifier", "com.quintora.start"},
        {"CFBundleVersion", "3"},
        {"CFBundleShortVersionString", "0.3"},
        {"Plinth", tel::PlistValue::Dictionary{{"APIKey", "start-key"}}}}));
    std::atomic<int> notifications{0};
    auto token = tel::NotificationBus::defaultBus().addObserver(
        PLNSettingsAvailableNotification, nullptr,
        [&](const tel::TelemetryNotification &) { ++notifications; });

    EXPECT_FALSE(Plinth::sharedSDK().settings());
    Plinth::with({});
    ASSERT_TRUE(waitUntil([&] { return notifications == 1; }));
    ASSERT_EQ(server.requestCount(), 1u);
    EXPECT_EQ(server.requests()[0].header("X-Faultline-API-Key"), "start-key");
    const auto settings = Plinth::sharedSDK().settings();
    ASSERT_TRUE(settings);
    EXPECT_EQ((*settings)["features"]["collect_reports"], false);
}
