#include "telemetry/TallyKit/TLYWriteEventOperation.h"

#include "telemetry/TallyKit/TLYCustomEvent.h"
#include "telemetry/TallyKit/TLYLifecycleEvent.h"
#include "telemetry/TallyKit/TLYRotateCrashMetadataOperation.h"

#include "TallyTestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

using namespace qnt::test;
using json = nlohmann::ordered_json;

std::shared_ptr<const TLYMetadata> metadata()
{
    return std::make_shared<TLYMetadata>(testMetadataFields(), "2:beta");
}

TEST(TLYWriteEventOperationTest, ANewLogOpensWithItsMetadataRecord)
{
    const std::string log = makeFolder("write") + "/A.log";
    auto first = std::make_shared<TLYCustomEvent>("größe", json{{"wert", "ä€😀"}});
    TLYWriteEventOperation one(first, metadata(), log);
    one.main();
    TLYWriteEventOperation two(TLYLifecycleEvent::appLaunchedEvent(), metadata(), log);
    two.main();
    EXPECT_TRUE(one.success());
    EXPECT_TRUE(two.success());

    const auto lines = parseLog(readFile(log));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].name, "metadata");
    EXPECT_EQ(lines[1].name, "custom");
    EXPECT_EQ(lines[2].name, "app_launched");
    EXPECT_EQ(lines[0].timestamp, lines[1].timestamp);
    for (const LogLine &line : lines) {
        // Field 3 counts the UTF-8 bytes of the JSON text.
        EXPECT_EQ(line.declaredLength, line.payloadText.size());
        EXPECT_FALSE(line.payload.is_discarded());
    }
    const json record = json::parse(lines[0].payloadText);
    EXPECT_EQ(record["generator"], "Tally Mac SDK/1.3.7");
    EXPECT_EQ(record["model"], record["machine"]);
    EXPECT_EQ(record["beta_tester_token"], "beta");
    EXPECT_EQ(record["started_at"], lines[0].timestamp / 1000);
    EXPECT_EQ(record["platform"], "Mac");
    EXPECT_FALSE(record.contains("advertising_id"));
    EXPECT_EQ(lines[1].payload["custom_attributes"]["wert"], "ä€😀");
}

TEST(TLYWriteEventOperationTest, WritesNothingIntoAFolderOrWithoutMetadata)
{
    const std::string folder = makeFolder("write-folder");
    TLYWriteEventOperation intoFolder(TLYLifecycleEvent::appLaunchedEvent(), metadata(), folder);
    intoFolder.main();
    EXPECT_FALSE(intoFolder.success());

    // A record that cannot be built: the event is not written and no file is left.
    auto none = std::make_shared<TLYCrashMetadata>(std::nullopt);
    const std::string log = folder + "/B.log";
    TLYWriteEventOperation withoutRecord(TLYLifecycleEvent::appLaunchedEvent(), none, log);
    withoutRecord.main();
    EXPECT_FALSE(withoutRecord.success());
    struct stat info {
    };
    EXPECT_NE(::stat(log.c_str(), &info), 0);
}

TEST(TLYWriteEventOperationTest, CrashMetadataPassesFromLaunchToLaunch)
{
    const std::string path = makeFolder("crash-metadata") + "/crash_metadata";
    const TLYMetadata current(testMetadataFields(), std::nullopt);

    TLYRotateCrashMetadataOperation first(path, current);
    first.main();
    EXPECT_EQ(first.crashMetadata()->rawMetadataDictionary()->size(), 0u);

    TLYRotateCrashMetadataOperation second(path, current);
    second.main();
    const auto previous = second.crashMetadata()->rawMetadataDictionary();
    ASSERT_TRUE(previous);
    EXPECT_EQ((*previous)["session_id"], "0123456789abcdef0123456789abcdef");

    // A damaged file counts as an empty record, so the crash event still gets written.
    writeFile(path, "{not json");
    TLYRotateCrashMetadataOperation third(path, current);
    third.main();
    ASSERT_TRUE(third.crashMetadata()->rawMetadataDictionary());
    EXPECT_TRUE(third.crashMetadata()->rawMetadataDictionary()->empty());
    EXPECT_TRUE(TLYCrashMetadata::readSerializedDictionaryFromURL(path));
}

} // namespace
