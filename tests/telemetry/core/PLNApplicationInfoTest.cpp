#include "telemetry/core/PLNApplicationInfo.h"
#include "telemetry/platform/AppInfo.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

namespace {

void useInfo(tel::PlistValue::Dictionary info)
{
    tel::AppInfo::setInfoDictionary(tel::PlistValue(std::move(info)));
}

} // namespace

TEST(PLNApplicationInfo, HexAndDigests)
{
    char out[5] = {'x', 'x', 'x', 'x', 'x'};
    const unsigned char bytes[] = {0x00, 0xff};
    PLNHexEncodeBytes(bytes, 2, out);
    EXPECT_STREQ(out, "00ff");
    PLNHexEncodeBytes(nullptr, 2, out);
    EXPECT_STREQ(out, "");
    PLNHexEncodeBytes(bytes, 2, nullptr); // nothing happens
    EXPECT_EQ(PLNHexStringFromData({}), "");
    EXPECT_EQ(PLNHexStringFromData({0x00, 0xff}), "00ff");
    EXPECT_EQ(PLNSHA1HexString(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(PLNSHA1HexString("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(PLNSHA256HexString("abc"),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(PLNApplicationInfo, UUIDsAreUpperCaseVersion4AndDistinct)
{
    std::set<std::string> seen;
    for (int i = 0; i < 100; ++i) {
        const std::string uuid = PLNGenerateUUIDString();
        EXPECT_TRUE(std::regex_match(
            uuid,
            std::regex("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}")))
            << uuid;
        seen.insert(uuid);
    }
    EXPECT_EQ(seen.size(), 100u);
}

TEST(PLNApplicationInfo, ApplicationValuesComeFromTheConfiguration)
{
    useInfo({{"CFBundleIdentifier", "a/b"},
             {"CFBundleVersion", "42"},
             {"CFBundleShortVersionString", "1.2"}});
    EXPECT_EQ(PLNApplicationEscapedBundleIdentifier(), "a_b");
    EXPECT_EQ(PLNApplicationBuildVersion(), "42");
    EXPECT_EQ(PLNApplicationDisplayVersion(), "1.2");
    EXPECT_EQ(PLNApplicationDisplayName(), "42"); // neither display name nor name
    EXPECT_FALSE(PLNApplicationSignedForDistribution());
    EXPECT_EQ(PLNApplicationInstallSource(), PLNInstallSourceOther);
    EXPECT_TRUE(PLNShouldCollectDeviceIdentifiers(false));

    useInfo({{"CFBundleName", "Name"},
             {"FaultlineSignedForDistribution", true},
             {"FaultlineCollectDeviceIdentifiers", false}});
    EXPECT_EQ(PLNApplicationDisplayName(), "Name");
    EXPECT_EQ(PLNApplicationInstallSource(), PLNInstallSourceSignedForDistribution);
    EXPECT_FALSE(PLNShouldCollectDeviceIdentifiers(false));

    useInfo({{"CFBundleDisplayName", "Shown"},
             {"CFBundleName", "Name"},
             {"FaultlineCollectDeviceIdentifiers", false},
             {"Plinth", tel::PlistValue::Dictionary{{"ReportIdentifiers", true}}}});
    EXPECT_EQ(PLNApplicationDisplayName(), "Shown");
    EXPECT_TRUE(PLNShouldCollectDeviceIdentifiers(false));
    // Hearth mode wins over the configuration.
    EXPECT_FALSE(PLNShouldCollectDeviceIdentifiers(true));
}

TEST(PLNApplicationInfo, OperatingSystemAndHost)
{
    struct Case {
        std::int64_t minor, code;
    } cases[] = {{5, 0},       {6, 1060},    {7, 1070},    {8, 1080},    {9, 1090},
                 {10, 101000}, {11, 101100}, {12, 101200}, {13, 101300}, {14, 0}};
    for (const Case &c : cases)
        EXPECT_EQ(PLNOperatingSystemVersionCodeForMinor(c.minor), c.code) << c.minor;
    const PLNOperatingSystemVersion v = PLNOperatingSystemVersionGet();
    EXPECT_GT(v.major, 0);
    EXPECT_EQ(PLNOperatingSystemDisplayVersion(), std::to_string(v.major) + "."
                                                      + std::to_string(v.minor) + "."
                                                      + std::to_string(v.patch));
    EXPECT_TRUE(PLNSysctlString("hw.machine"));
    EXPECT_TRUE(PLNOperatingSystemBuildVersion());
    EXPECT_TRUE(PLNHostModel());
    EXPECT_FALSE(PLNSysctlString("no.such.name"));
    EXPECT_LE(PLNHostModel()->size(), 127u);
}
