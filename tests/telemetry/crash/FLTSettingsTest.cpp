#include "telemetry/crash/FLTSettings.h"

#include "common/ScopedEnvironment.h"
#include "common/TestEnvironment.h"
#include "telemetry/ScopedAppInfo.h"
#include "telemetry/platform/AppInfo.h"
#include "telemetry/platform/SystemLog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

TEST(FLTSettings, DefaultsWithoutDownloadedSettings)
{
    const FLTSettings settings(std::nullopt);
    EXPECT_TRUE(settings.crashReportingEnabled());
    EXPECT_TRUE(settings.errorReportingEnabled());
    EXPECT_TRUE(settings.customExceptionsEnabled());
    EXPECT_FALSE(settings.userPromptEnabled());
    EXPECT_EQ(settings.logBufferSize(), 65536u);
    EXPECT_EQ(settings.errorLogBufferSize(), 65536u);
    EXPECT_EQ(settings.maxCustomExceptions(), 16u);
    EXPECT_EQ(settings.maxCustomKeys(), 16u);
    EXPECT_EQ(settings.betaSuspendDuration(), 3600.0);
    EXPECT_EQ(settings.interactivePromptTitle(), "Send Crash Report?");
    EXPECT_EQ(settings.interactivePromptCancelTitle(), "Don't Send");
    EXPECT_EQ(settings.interactivePromptAlwaysSendTitle(), "Always Send");
}

TEST(FLTSettings, ServerValuesWin)
{
    const FLTSettings settings(nlohmann::json::parse(R"({
        "features": {"collect_reports": false, "collect_logged_exceptions": false,
                     "prompt_enabled": true},
        "session": {"log_buffer_size": 1024, "max_custom_exception_events": 4,
                    "max_custom_key_value_pairs": 64},
        "prompt": {"title": "Oops", "send_button_title": null},
        "beta": {"update_suspend_duration": 60.5}})"));
    EXPECT_FALSE(settings.crashReportingEnabled());
    EXPECT_FALSE(settings.customExceptionsEnabled());
    EXPECT_TRUE(settings.userPromptEnabled());
    EXPECT_EQ(settings.logBufferSize(), 1024u);
    EXPECT_EQ(settings.maxCustomExceptions(), 4u);
    EXPECT_EQ(settings.maxCustomKeys(), 64u);
    EXPECT_EQ(settings.betaSuspendDuration(), 60.5);
    // Without a translation in the application the server's title is shown.
    EXPECT_EQ(settings.interactivePromptTitle(), "Oops");
    EXPECT_EQ(settings.interactivePromptSendTitle(), "Send");
}

TEST(FLTSettings, ApplicationTranslationWins)
{
    const qnt::test::ScopedAppInfo appInfo;
    const std::string bundle = qnt::test::isolatedHome() + "/bundle";
    std::filesystem::create_directories(bundle);
    tel::AppInfo::setBundleFolder(bundle);
    ASSERT_TRUE(tel::PlistValue(tel::PlistValue::Dictionary{{"FaultlineCrashSubmissionPromptTitle",
                                                             "Absturzbericht senden?"}})
                    .writeFileAtomically(bundle + "/Faultline.strings"));
    const FLTSettings settings(nlohmann::json::parse(R"({"prompt": {"title": "Oops"}})"));
    EXPECT_EQ(settings.interactivePromptTitle(), "Absturzbericht senden?");
    EXPECT_EQ(settings.interactivePromptMessage(),
              "Looks like we crashed! Please help us fix the problem by sending a crash report.");
}

TEST(FLTSettings, EnvironmentOverridesConfigurationAndIsLoggedEachRead)
{
    const qnt::test::ScopedAppInfo appInfo;
    std::vector<std::string> lines;
    tel::SystemLog::setSink([&](const std::string &line) { lines.push_back(line); });
    tel::AppInfo::setInfoDictionary(tel::PlistValue(tel::PlistValue::Dictionary{
        {"Faultline", tel::PlistValue::Dictionary{{"ReportsEndpoint", "https://from-plist"},
                                                  {"SubmitReports", false}}}}));
    EXPECT_EQ(FLTSettings::reportsEndpoint(), "https://from-plist");
    EXPECT_FALSE(FLTSettings::shouldSubmitReports());
    EXPECT_TRUE(FLTSettings::shouldPackageReports());
    EXPECT_EQ(FLTSettings::betaEndpoint().rfind("https://", 0), 0u);
    EXPECT_TRUE(lines.empty());

    {
        const qnt::test::ScopedEnvironmentVariable endpoint("FaultlineReportsEndpoint",
                                                            "https://127.0.0.1:9");
        const qnt::test::ScopedEnvironmentVariable urgent("FaultlineUrgentReports", "NO");
        EXPECT_EQ(FLTSettings::reportsEndpoint(), "https://127.0.0.1:9");
        EXPECT_EQ(FLTSettings::reportsEndpoint(), "https://127.0.0.1:9");
        EXPECT_FALSE(FLTSettings::canProcessUrgentReports());
    }
    tel::SystemLog::setSink({});
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "[Faultline:Crash] override: 'ReportsEndpoint' => 'https://127.0.0.1:9'");
}

TEST(FLTSettings, BoolValueReadsLikeThePlatform)
{
    for (const char *yes : {"YES", "yes", "true", "1", "  2", "007", "+1", "T"})
        EXPECT_TRUE(FLTSettings::boolValue(yes)) << yes;
    for (const char *no : {"NO", "no", "false", "0", "", "000", "x"})
        EXPECT_FALSE(FLTSettings::boolValue(no)) << no;
}
