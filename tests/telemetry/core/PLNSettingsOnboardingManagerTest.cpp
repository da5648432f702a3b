#include "telemetry/core/PLNSettingsOnboardingManager.h"

#include "NetTestServer.h"
#include "common/ScopedEnvironment.h"
#include "common/TestEnvironment.h"
#include "common/WaitUntil.h"
#include "telemetry/core/PLNApplicationIdentiferModel.h"
#include "telemetry/core/PLNApplicationInfo.h"
#include "telemetry/core/PLNNetworkClient.h"
#include "telemetry/platform/AppInfo.h"
#include "telemetry/platform/NotificationBus.h"
#include "telemetry/ScopedAppInfo.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace qnt::test;
namespace fs = std::filesystem;

namespace {

const char *const kSettingsPath = "/spi/v2/platforms/mac/apps/com.quintora.test_app/settings";

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// A PNG header of a 512 x 512 picture: all the icon reader looks at.
std::string tinyPNG()
{
    std::string png("\x89PNG\r\n\x1a\n", 8);
    png += std::string("\0\0\0\x0dIHDR", 8);
    png += std::string("\0\0\x02\0\0\0\x02\0\x08\x06\0\0\0", 13);
    png += std::string(4, '\0');
    return png;
}

class PLNSettingsOnboardingManagerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        certificates = makeTestCertificates(isolatedHome() + "/certs", "settings");
        PLNCertificatePinner::setPinnedCertificatesForTesting(
            std::vector<PLNCertificate>{certificates.caDER});
        server = std::make_unique<NetTestServer>(certificates);
        server->on("GET", kSettingsPath,
                   [this](const RecordedRequest &, httplib::Response &response) {
                       std::lock_guard lock(mutex);
                       response.status = settingsStatus;
                       response.set_content(settingsBody, "application/json");
                   });
        server->on("POST", "/spi/v1/platforms/mac/apps",
                   [this](const RecordedRequest &, httplib::Response &response) {
                       std::lock_guard lock(mutex);
                       settingsBody = R"({"app":{"status":"activated"}})";
                       response.set_content("{}", "application/json");
                   });
        server->on("PUT", "/spi/v1/platforms/mac/apps/com.quintora.test_app",
                   [](const RecordedRequest &, httplib::Response &response) {
                       response.set_content("{}", "application/json");
                   });
        server->start();
        settingsEndpoint.emplace("SettingsEndpoint", server->baseURL());
        configureEndpoint.emplace("ConfigureEndpoint", server->baseURL());

        appInfo.emplace();
        bundle = isolatedHome() + "/bundle";
        fs::create_directories(bundle);
        tel::AppInfo::setBundleFolder(bundle);
        setInfo(false);
        model =
            PLNApplicationIdentiferModel::initWithInstallID("11111111-2222-3333-4444-555555555555");
        ASSERT_TRUE(model);
        token = tel::NotificationBus::defaultBus().addObserver(
            PLNSettingsAvailableNotification, nullptr,
            [this](const tel::TelemetryNotification &) { ++notifications; });
    }
    void TearDown() override
    {
        token.reset();
        manager.reset();
        server.reset();
        appInfo.reset();
        configureEndpoint.reset();
        settingsEndpoint.reset();
        PLNCertificatePinner::setPinnedCertificatesForTesting(std::nullopt);
    }

    void setInfo(bool withIcon)
    {
        tel::PlistValue::Dictionary info{{"CFBundleIdentifier", "com.quintora.test/app"},
                                         {"CFBundleVersion", "42"},
                                         {"CFBundleShortVersionString", "1.2.3"},
                                         {"CFBundleName", "Quintora Test"}};
        if (withIcon) {
            std::ofstream(bundle + "/AppIcon.png", std::ios::binary) << tinyPNG();
            info["CFBundleIconFile"] = "AppIcon";
        }
        tel::AppInfo::setInfoDictionary(tel::PlistValue(info));
    }
    void setSettings(int status, std::string body)
    {
        std::lock_guard lock(mutex);
        settingsStatus = status;
        settingsBody = std::move(body);
    }
    void run()
    {
        manager = PLNSettingsOnboardingManager::create(model.get());
        manager->beginSettingsAndOnboardingOperations(std::string("key-123"),
                                                      {{"io.faultline.mac", "3.9.3"}});
        // The chain ends by invalidating the client.
        ASSERT_TRUE(
            waitUntil([&] { return manager->networkClient()->session()->isInvalidated(); }));
    }

    TestCertificates certificates;
    std::unique_ptr<NetTestServer> server;
    std::optional<ScopedEnvironmentVariable> settingsEndpoint;
    std::optional<ScopedEnvironmentVariable> configureEndpoint;
    std::optional<ScopedAppInfo> appInfo;
    std::string bundle;
    std::unique_ptr<PLNApplicationIdentiferModel> model;
    std::shared_ptr<PLNSettingsOnboardingManager> manager;
    tel::NotificationToken token;
    std::atomic<int> notifications{0};
    std::mutex mutex;
    int settingsStatus = 200;
    std::string settingsBody =
        R"({"app":{"status":"activated"},"features":{"collect_reports":true}})";
};

} // namespace

TEST_F(PLNSettingsOnboardingManagerTest, DownloadsSettingsWithTheRequestFieldsAndAnnouncesThemOnce)
{
    run();
    const auto requests = server->requests();
    ASSERT_EQ(requests.size(), 1u);
    const RecordedRequest &get = requests[0];
    EXPECT_EQ(get.method, "GET");
    EXPECT_EQ(get.target, std::string(kSettingsPath) + "?build_version=42&display_version=1.2.3"
                              + "&instance=" + model->instanceIdentifier()
                              + "&source=" + std::to_string(PLNApplicationInstallSource()));
    EXPECT_EQ(get.header("User-Agent"), "io.plinth.sdk.mac/1.7.2 (66)");
    EXPECT_EQ(get.header("Accept"), "application/json");
    EXPECT_EQ(get.header("Accept-Charset"), "utf-8");
    EXPECT_FALSE(get.header("Accept-Language").empty());
    EXPECT_EQ(get.header("Content-Language"), get.header("Accept-Language"));
    EXPECT_EQ(get.header("X-Faultline-Developer-Token"),
              "3c9e1a7b5d2f4086ae1b7c3d9f5e2a4b6c8d0e1f");
    EXPECT_EQ(get.header("X-Faultline-API-Client-Id"), "io.plinth.sdk.mac");
    EXPECT_EQ(get.header("X-Faultline-API-Client-Display-Version"), "1.7.2");
    EXPECT_EQ(get.header("X-Faultline-API-Client-Build-Version"), "66");
    EXPECT_EQ(get.header("X-Faultline-API-Client-Version"), "1.7.2");
    EXPECT_EQ(get.header("X-Faultline-API-Key"), "key-123");
    EXPECT_EQ(get.header("X-Faultline-Installation-ID"), "11111111-2222-3333-4444-555555555555");
    EXPECT_EQ(get.header("X-Faultline-OS-Display-Version"), PLNOperatingSystemDisplayVersion());
    EXPECT_FALSE(get.hasHeader("X-Faultline-Advertising-Token"));

    EXPECT_EQ(readFile(manager->settingsPath()), settingsBody);
    EXPECT_EQ(manager->settingsPath(), isolatedHome()
                                           + "/.cache/io.plinth.sdk.mac.data/com.quintora.test/app/"
                                             "settings.json");
    ASSERT_TRUE(manager->settingsModel().settingsDictionary());
    EXPECT_EQ((*manager->settingsModel().settingsDictionary())["features"]["collect_reports"],
              true);
    EXPECT_FALSE(manager->hasAttemptedAppConfigure());
    EXPECT_EQ(notifications.load(), 1);
}

TEST_F(PLNSettingsOnboardingManagerTest, ServerOutsideThePinnedSetLeavesTheCacheUntouched)
{
    const std::string previous = R"({"old":true})";
    fs::create_directories(PLNSettingsOnboardingManager::settingsDirectoryPath());
    std::ofstream(PLNSettingsOnboardingManager::settingsDirectoryPath() + "/settings.json")
        << previous;

    const TestCertificates rogue = makeTestCertificates(isolatedHome() + "/certs", "rogue");
    NetTestServer rogueServer(rogue);
    rogueServer.on("GET", kSettingsPath, [](const RecordedRequest &, httplib::Response &response) {
        response.set_content(R"({"new":true})", "application/json");
    });
    rogueServer.start();
    const ScopedEnvironmentVariable rogueEndpoint("SettingsEndpoint", rogueServer.baseURL());

    run();
    EXPECT_EQ(rogueServer.requestCount(), 0u);
    EXPECT_EQ(readFile(manager->settingsPath()), previous);
    EXPECT_EQ(notifications.load(), 0);
}

TEST_F(PLNSettingsOnboardingManagerTest, BadBodyKeepsThePreviousCache)
{
    const std::string previous = R"({"old":true})";
    fs::create_directories(PLNSettingsOnboardingManager::settingsDirectoryPath());
    std::ofstream(PLNSettingsOnboardingManager::settingsDirectoryPath() + "/settings.json")
        << previous;
    for (const std::string body : {"<html>proxy login</html>", "", "[1,2]"}) {
        setSettings(200, body);
        run();
        EXPECT_EQ(readFile(manager->settingsPath()), previous) << body;
        EXPECT_EQ(notifications.load(), 0);
    }
}

TEST_F(PLNSettingsOnboardingManagerTest, NewAppIsCreatedWithTheFormFieldsInOrderThenSettingsAgain)
{
    setInfo(true);
    setSettings(200, R"({"app":{"status":"new"}})");
    run();
    const auto requests = server->requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_NE(requests[0].target.find("&icon_hash=" + PLNSHA1HexString(tinyPNG()) + "&source="),
              std::string::npos);
    const RecordedRequest &post = requests[1];
    EXPECT_EQ(post.method, "POST");
    EXPECT_EQ(post.target, "/spi/v1/platforms/mac/apps");
    EXPECT_EQ(post.header("X-Faultline-API-Key"), "key-123");
    EXPECT_FALSE(post.hasHeader("Accept"));
    EXPECT_EQ(post.header("Content-Type").rfind("multipart/form-data; boundary=", 0), 0u);
    ASSERT_TRUE(post.partsParsed);
    std::vector<std::string> names;
    for (const FormPart &part : post.parts)
        names.push_back(part.name);
    const std::vector<std::string> expected = {"app[identifier]",
                                               "app[instance_identifier]",
                                               "app[name]",
                                               "app[build_version]",
                                               "app[display_version]",
                                               "app[source]",
                                               "app[minimum_sdk_version]",
                                               "app[built_sdk_version]",
                                               "app[build][libraries][io.faultline.mac]",
                                               "app[slices][][arch]",
                                               "app[slices][][uuid]",
                                               "app[icon][hash]",
                                               "app[icon][prerendered]",
                                               "app[icon][width]",
                                               "app[icon][height]",
                                               "app[icon][data]"};
    ASSERT_EQ(names, expected);
    EXPECT_EQ(post.parts[0].content, "com.quintora.test_app");
    EXPECT_EQ(post.parts[1].content, model->instanceIdentifier());
    EXPECT_EQ(post.parts[3].content, "42");
    EXPECT_EQ(post.parts[8].content, "3.9.3");
    EXPECT_EQ(post.parts[9].content, PLNApplicationIdentiferModel::currentArchitectureName());
    EXPECT_EQ(post.parts[10].content, model->architectureUUIDMap().begin()->second);
    EXPECT_EQ(post.parts[12].content, "true");
    EXPECT_EQ(post.parts[13].content, "512");
    EXPECT_EQ(post.parts[15].filename, "icon.png");
    EXPECT_EQ(post.parts[15].contentType, "image/png");
    EXPECT_EQ(post.parts[15].content, tinyPNG());
    EXPECT_EQ(requests[2].method, "GET");
    EXPECT_TRUE(manager->hasAttemptedAppConfigure());
    EXPECT_EQ(notifications.load(), 1);
}

TEST_F(PLNSettingsOnboardingManagerTest, UpdateRequiredAnnouncesThenPutsTheApp)
{
    setSettings(200, R"({"app":{"status":"activated","update_required":true}})");
    std::atomic<size_t> requestsAtNotification{0};
    auto early = tel::NotificationBus::defaultBus().addObserver(
        PLNSettingsAvailableNotification, nullptr, [&](const tel::TelemetryNotification &) {
            requestsAtNotification = server->requestCount();
        });
    run();
    const auto requests = server->requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].method, "PUT");
    EXPECT_EQ(requests[1].target, "/spi/v1/platforms/mac/apps/com.quintora.test_app");
    ASSERT_TRUE(requests[1].partsParsed);
    EXPECT_EQ(requests[1].parts.front().name, "app[identifier]");
    EXPECT_EQ(requestsAtNotification.load(), 1u);
    EXPECT_EQ(notifications.load(), 1);
}

TEST_F(PLNSettingsOnboardingManagerTest, AppNullCountsAsNoAppSection)
{
    setSettings(200, R"({"app":null})");
    run();
    EXPECT_EQ(server->requestCount(), 1u);
    EXPECT_FALSE(manager->settingsModel().appSettings());
    EXPECT_EQ(notifications.load(), 1);
}

TEST(PLNSettings, FileThatIsNotJSONIsDeletedAndReadsAsNothing)
{
    const std::string path = isolatedHome() + "/broken-settings.json";
    std::ofstream(path) << "{not json";
    PLNSettings settings(path);
    EXPECT_FALSE(settings.settingsDictionary());
    EXPECT_FALSE(fs::exists(path));
    EXPECT_FALSE(settings.appNeedsOnboarding());
    EXPECT_FALSE(settings.appUpdateRequired());
}

TEST(PLNSettings, URLLeavesOutMissingValues)
{
    EXPECT_EQ(PLNSettings::settingsURLForEndpoint("https://h", std::nullopt, std::nullopt)
                  .find("icon_hash"),
              std::string::npos);
}

TEST(PLNSettingsOnboardingManagerConfiguration, EnvironmentWinsOverConfigurationAndDefaults)
{
    {
        const ScopedAppInfo appInfo;
        const ScopedEnvironmentVariable unset("SettingsEndpoint", std::nullopt);
        tel::AppInfo::setInfoDictionary(tel::PlistValue(tel::PlistValue::Dictionary{
            {"Faultline",
             tel::PlistValue::Dictionary{{"SettingsEndpoint", "https://from-plist"}}}}));
        EXPECT_EQ(PLNSettingsOnboardingManager::valueForConfigurationKey("SettingsEndpoint"),
                  "https://from-plist");
        const ScopedEnvironmentVariable set("SettingsEndpoint", "https://from-env");
        EXPECT_EQ(PLNSettingsOnboardingManager::valueForConfigurationKey("SettingsEndpoint"),
                  "https://from-env");
    }
    const ScopedAppInfo appInfo;
    tel::AppInfo::setInfoDictionary(std::nullopt);
    const ScopedEnvironmentVariable unset("SettingsEndpoint", std::nullopt);
    EXPECT_EQ(PLNSettingsOnboardingManager::valueForConfigurationKey("ConfigureEndpoint")
                  ->rfind("https://", 0),
              0u);
    EXPECT_FALSE(PLNSettingsOnboardingManager::valueForConfigurationKey("Nothing"));
}
