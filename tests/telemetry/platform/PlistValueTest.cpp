#include "telemetry/platform/PlistValue.h"

#include "common/TestEnvironment.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

TEST(TelemetryPlist, ValuesKeepTheirTypesThroughXml)
{
    const tel::PlistValue::Dictionary dict{
        {"bool", true},
        {"int", std::int64_t(14)},
        {"real", 14.0},
        {"string", "text <&> ü"},
        {"data", tel::PlistValue::Data{0, 1, 255}},
        {"array", tel::PlistValue::Array{1, "two", tel::PlistValue::Array{}}},
        {"nested", tel::PlistValue::Dictionary{{"k", "v"}}},
    };
    const std::string path = (fs::path(qnt::test::isolatedHome()) / "types.plist").string();
    ASSERT_TRUE(tel::PlistValue(dict).writeFileAtomically(path));
    const auto read = tel::PlistValue::readFile(path);
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, tel::PlistValue(dict));
    EXPECT_TRUE(read->find("int")->isNumber());
    EXPECT_EQ(read->find("real")->type(), tel::PlistValue::Type::Real);
    EXPECT_FALSE(tel::PlistValue::fromBytes("not a plist"));
    EXPECT_FALSE(tel::PlistValue::readFile(path + ".missing"));
    EXPECT_EQ(tel::PlistValue("YES").toBool(), true);
    EXPECT_EQ(tel::PlistValue("0").toBool(), false);
    EXPECT_EQ(tel::PlistValue(std::int64_t(42)).description(), "42");
}

// libplist aborts the process when it copies out a key or string that holds a NUL character;
// such lists are refused instead. The binary ones were written by Python's plistlib.

TEST(TelemetryPlist, NulCharactersInKeysAndStringsAreRefused)
{
    const std::string utf16Key(
        "\x62\x70\x6c\x69\x73\x74\x30\x30\xd1\x01\x02\x63\x00\x61\x00\x00\x00\xe9\x52\x78"
        "\x79\x08\x0b\x12\x00\x00\x00\x00\x00\x00\x01\x01\x00\x00\x00\x00\x00\x00\x00\x03"
        "\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x15",
        56);
    const std::string utf16String(
        "\x62\x70\x6c\x69\x73\x74\x30\x30\xd1\x01\x02\x51\x61\x63\x00\x78\x00\x00\x00\xe9"
        "\x08\x0b\x0d\x00\x00\x00\x00\x00\x00\x01\x01\x00\x00\x00\x00\x00\x00\x00\x03\x00"
        "\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x14",
        55);
    const std::string xml = std::string("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
                                        "<key>a</key><string>x")
                            + '\0' + "y</string></dict></plist>";
    for (const std::string &bytes : {utf16Key, utf16String, xml})
        EXPECT_FALSE(tel::PlistValue::fromBytes(bytes).has_value());
    // The same lists without the NUL still read.
    std::string clean = utf16String;
    clean[17] = 'z'; // the second UTF-16 unit, U+0000, becomes U+007A
    const auto value = tel::PlistValue::fromBytes(clean);
    ASSERT_TRUE(value.has_value());
    ASSERT_NE(value->find("a"), nullptr);
    EXPECT_EQ(value->find("a")->toString(), "xz\u00e9");
}
