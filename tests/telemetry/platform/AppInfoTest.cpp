#include "telemetry/platform/AppInfo.h"

#include "common/TestEnvironment.h"
#include "telemetry/platform/PlistValue.h"
#include "telemetry/ScopedAppInfo.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

TEST(TelemetryAppInfo, ReadsTheBundleConfigurationAndResources)
{
    const qnt::test::ScopedAppInfo appInfo;
    const fs::path bundle = fs::path(qnt::test::isolatedHome()) / "bundle";
    fs::create_directories(bundle);
    ASSERT_TRUE(
        tel::PlistValue(tel::PlistValue::Dictionary{{"CFBundleIdentifier", "com.example/app"},
                                                    {"Plinth", tel::PlistValue::Dictionary{}}})
            .writeFileAtomically((bundle / "Info.plist").string()));
    std::ofstream(bundle / "BeaconService-Info.plist") << "x";
    tel::AppInfo::setBundleFolder(bundle.string());
    EXPECT_EQ(tel::AppInfo::bundleIdentifier(), "com.example/app");
    EXPECT_TRUE(tel::AppInfo::objectForInfoDictionaryKey("Plinth"));
    EXPECT_FALSE(tel::AppInfo::objectForInfoDictionaryKey("Missing"));
    EXPECT_EQ(*tel::AppInfo::pathForResource("BeaconService-Info", "plist"),
              (bundle / "BeaconService-Info.plist").string());
    EXPECT_FALSE(tel::AppInfo::pathForResource("Nothing", "plist"));
    tel::AppInfo::setInfoDictionary(std::nullopt);
    EXPECT_FALSE(tel::AppInfo::infoDictionary());
    tel::AppInfo::setBundleFolder((bundle / "none").string());
    EXPECT_FALSE(tel::AppInfo::infoDictionary());
    EXPECT_NE(tel::AppInfo::executablePath().find("telemetry_platform_tests"), std::string::npos);
}
