// An earlier launch's report as an application's delegate would see it.

#include "telemetry/crash/FLTReport.h"

#include "ReportStoreFixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace fs = std::filesystem;
using qnt::test::TemporaryStore;

namespace {

TEST(Report, ReadsItsValuesAndCustomKeysBack)
{
    TemporaryStore store;
    // Keys and values are stored as hexadecimal: "a" = 61, "b" = 62, "1" = 31, "2" = 32.
    const fs::path folder = store.addReport(
        store.manager()->activePath(), "rep",
        {{"signal.fltrecord", "{\"signal\":{\"time\":1767225700}}\n"},
         {"user_compacted_kv.fltrecord", "{\"kv\":{\"key\":\"61\",\"value\":\"31\"}}\n{\"kv\":{"
                                         "\"key\":\"62\",\"value\":\"31\"}}\n"},
         {"user_incremental_kv.fltrecord",
          "{\"kv\":{\"key\":\"61\",\"value\":\"32\"}}\n{\"kv\":{\"key\":\"62\",\"value\":null}}\n"
          "{\"kv\":{\"key\":\"63\"\n"}});
    for (bool prefetch : {false, true}) {
        FLTReport report(FLTInternalReport::reportWithPath(folder.string()), prefetch);
        EXPECT_EQ(report.readOnly(), prefetch);
        EXPECT_EQ(report.identifier(), "rep");
        EXPECT_EQ(report.bundleVersion(), "7");
        EXPECT_EQ(report.bundleShortVersionString(), "1.7");
        EXPECT_EQ(report.OSVersion(), "6.1.0");
        EXPECT_EQ(report.dateCreated(), 1767225600);
        EXPECT_TRUE(report.isCrash());
        EXPECT_EQ(report.crashedOnDate(), 1767225700);
        EXPECT_EQ(report.customKeys(), (std::map<std::string, std::string>{{"a", "2"}}));
        EXPECT_FALSE(report.userIdentifier());
    }
}

TEST(Report, AReadOnlyReportRecordsNothing)
{
    TemporaryStore store;
    const fs::path folder = store.addReport(store.manager()->activePath(), "ro", {});
    FLTReport report(FLTInternalReport::reportWithPath(folder.string()), true);
    EXPECT_FALSE(report.canRecordNewValues());
    report.setObjectValue(std::string("v"), "k");
    report.setUserEmail(std::string("someone@example.invalid"));
    EXPECT_FALSE(fs::exists(folder / "user_incremental_kv.fltrecord"));
    EXPECT_FALSE(fs::exists(folder / "internal_incremental_kv.fltrecord"));
    EXPECT_TRUE(report.customKeys().empty());
}

} // namespace
