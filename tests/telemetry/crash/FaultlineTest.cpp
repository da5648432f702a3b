// The kit's public operations that need no running crash context: the debug switch, write-only
// values, starting by key after the Hearth start, script errors without a message, and events
// handed to usage analytics.

#include "telemetry/crash/Faultline.h"

#include "ReportStoreFixture.h"
#include "common/ScopeExit.h"
#include "telemetry/TallyKit/TLYTallyController.h"
#include "telemetry/TallyKit/Tally.h"
#include "telemetry/core/Plinth.h"
#include "telemetry/platform/SystemLog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class FaultlineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_debug = Plinth::sharedSDK().debug();
        m_mode = Plinth::sharedSDK().installationMode();
        tel::SystemLog::setSink([this](const std::string &line) {
            std::lock_guard lock(m_mutex);
            m_lines.push_back(line);
        });
    }
    void TearDown() override
    {
        tel::SystemLog::setSink({});
        Plinth::sharedSDK().setDebug(m_debug);
        Plinth::sharedSDK().setInstallationMode(m_mode);
    }
    bool logged(const std::string &text)
    {
        std::lock_guard lock(m_mutex);
        for (const auto &line : m_lines)
            if (line.find(text) != std::string::npos)
                return true;
        return false;
    }

    bool m_debug = false;
    std::uint64_t m_mode = 0;
    std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

TEST_F(FaultlineTest, SettingDebugModeOffStillTurnsItOn)
{
    Plinth::sharedSDK().setDebug(false);
    Faultline::sharedInstance().setDebugMode(false);
    EXPECT_TRUE(Faultline::sharedInstance().debugMode());
}

TEST_F(FaultlineTest, DevelopmentPlatformValuesAreWriteOnly)
{
    Faultline &kit = Faultline::sharedInstance();
    EXPECT_FALSE(kit.developmentPlatformName());
    EXPECT_FALSE(kit.developmentPlatformVersion());
    EXPECT_TRUE(logged("[Faultline] developmentPlatformName is write-only"));
    EXPECT_TRUE(logged("[Faultline] developmentPlatformVersion is write-only"));
}

TEST_F(FaultlineTest, StartingByKeyAfterTheHearthStartStartsNothing)
{
    Plinth::sharedSDK().setInstallationMode(2);
    Faultline::startWithAPIKey("0123456789abcdef0123456789abcdef01234567", 5.0);
    EXPECT_TRUE(logged("[Faultline] Warning, startWithAPIKey:afterDelay: is deprecated."));
    EXPECT_TRUE(logged("after [HRTApp configure] or HearthApp.configure() is not supported"));
    EXPECT_FALSE(Faultline::sharedInstance().isFaultlineStarted());
    EXPECT_EQ(Plinth::sharedSDK().installationMode(), 1u);
}

TEST_F(FaultlineTest, AScriptErrorWithoutAMessageIsNotRecorded)
{
    EXPECT_FALSE(Faultline::sharedInstance().recordJavaScriptErrorMessage({{"url", "x.js"}}));
    EXPECT_TRUE(logged("[Faultline] Unable to record exception from WKWebView"));
}

TEST_F(FaultlineTest, EventsGoToUsageAnalyticsAsCustomEvents)
{
    const fs::path root = qnt::test::makeTemporaryFolder("flt-events");
    TLYTallyController::Context context;
    TLYMetadata::Fields fields;
    fields.APIKey = "events-key";
    fields.sessionId = "events-session";
    fields.installationId = "events-install";
    context.metadataFields = fields;
    context.firstInstall = false;
    context.settingsProvider = [] { return std::optional<nlohmann::json>(); };
    auto previous = Tally::sharedInstance().setTallyController(
        TLYTallyController::create(std::nullopt, root.string(), context));
    const qnt::test::ScopeExit restore([&] {
        Tally::sharedInstance().setTallyController(previous);
        fs::remove_all(root);
    });

    Faultline::logEvent("diagram_exported");
    Faultline::sharedInstance().logEvent("diagram_printed", {{"format", "pdf"}});
    Tally::waitUntilRecorded();

    std::string logs;
    for (const auto &entry :
         fs::directory_iterator(TLYTallyController::eventDirectoryForRootDirectory(root.string())))
        if (entry.path().extension() == ".log")
            logs += qnt::test::readWholeFile(entry.path());
    for (const char *text : {"\"diagram_exported\"", "\"diagram_printed\"", "\"pdf\""})
        EXPECT_NE(logs.find(text), std::string::npos) << text << " in " << logs;
}

} // namespace
