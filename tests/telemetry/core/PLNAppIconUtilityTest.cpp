// The application's icon as onboarding sends it: the PNG the configuration names, its size from
// the PNG header and the SHA-1 of its bytes; the shipped bundle names one.

#include "telemetry/core/PLNAppIconUtility.h"
#include "telemetry/core/PLNApplicationInfo.h"
#include "telemetry/platform/AppInfo.h"
#include "telemetry/platform/PlistValue.h"
#include "tests/telemetry/ScopedAppInfo.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace fs = std::filesystem;

namespace {

const fs::path kShippedBundle = fs::path(QNT_TEST_DATA_DIR) / ".." / ".." / "resources" / "bundle";

std::string readAll(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

TEST(PLNAppIconUtility, TheShippedBundleNamesItsIconAndOnboardingGetsIt)
{
    const qnt::test::ScopedAppInfo keep;
    tel::AppInfo::setBundleFolder(kShippedBundle.string());
    const std::string png = readAll(kShippedBundle / "quintora.png");
    ASSERT_FALSE(png.empty());

    EXPECT_EQ(PLNAppIconUtility::mainAppIcon(), png);
    PLNAppIconUtility utility;
    const auto icon = utility.applicationIcon();
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->data(), png);
    EXPECT_EQ(icon->dataHash(), PLNSHA1HexString(png));
    EXPECT_EQ(icon->width(), 256);
    EXPECT_EQ(icon->height(), 256);
    EXPECT_EQ(icon->surfaceArea(), 256.0 * 256.0);
    EXPECT_TRUE(icon->prerendered());
    // Fetched once: a later change of the configuration does not reach this utility.
    tel::AppInfo::setInfoDictionary(tel::PlistValue(tel::PlistValue::Dictionary{}));
    EXPECT_EQ(utility.applicationIcon()->dataHash(), icon->dataHash());
    EXPECT_FALSE(PLNAppIconUtility::fetchApplicationIcon());
}

TEST(PLNAppIconUtility, NamesThatFindNoPNGGiveNoIcon)
{
    const qnt::test::ScopedAppInfo keep;
    tel::AppInfo::setBundleFolder(kShippedBundle.string());
    for (const tel::PlistValue &name :
         {tel::PlistValue(std::string("quintora.png")), tel::PlistValue(std::string("missing")),
          tel::PlistValue(std::string()), tel::PlistValue(std::int64_t(3))}) {
        tel::AppInfo::setInfoDictionary(
            tel::PlistValue(tel::PlistValue::Dictionary{{"CFBundleIconFile", name}}));
        const bool found = name.isString() && name.toString().rfind("quintora", 0) == 0;
        EXPECT_EQ(PLNAppIconUtility::fetchApplicationIcon().has_value(), found);
    }
}

TEST(PLNAppIconUtility, OnlyPNGBytesMakeAnIcon)
{
    std::string header("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x30\0\0\0\x10", 24);
    const auto icon = PLNAppIconUtility::iconWithPNGData(header);
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->width(), 48);
    EXPECT_EQ(icon->height(), 16);
    for (const std::string &bad : {std::string(), header.substr(0, 23), std::string(24, 'x'),
                                   std::string(header).replace(12, 4, "IDAT")})
        EXPECT_FALSE(PLNAppIconUtility::iconWithPNGData(bad)) << bad.size();
}
