// A report folder read back at a later launch: identifier, facts from the metadata, whether it
// holds a crash or anything to send.

#include "telemetry/crash/FLTInternalReport.h"

#include "ReportStoreFixture.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using qnt::test::TemporaryStore;
using qnt::test::writeFile;

namespace {

TEST(InternalReport, ReadsItsFactsFromTheMetadata)
{
    TemporaryStore store;
    const fs::path folder =
        store.addReport(store.manager()->activePath(), "abc123",
                        {{"signal.fltrecord", "{\"signal\":{\"number\":11,\"time\":1767225700}}\n"},
                         {"mach_exception.fltrecord",
                          "{\"mach_exception\":{\"exception\":1,\"time\":1767225650}}\n"}});
    const auto report = FLTInternalReport::reportWithPath(folder.string());
    ASSERT_TRUE(report);
    EXPECT_EQ(report->identifier(), "abc123");
    EXPECT_EQ(report->directoryName(), "abc123");
    EXPECT_EQ(report->APIKey(), "k");
    EXPECT_EQ(report->bundleVersion(), "7");
    EXPECT_EQ(report->bundleShortVersionString(), "1.7");
    EXPECT_EQ(report->OSVersion(), "6.1.0");
    EXPECT_EQ(report->OSBuildVersion(), "#1 SMP");
    EXPECT_EQ(report->dateCreated(), 1767225600);
    EXPECT_TRUE(report->isCrash());
    // The Mach exception's time wins over the signal's.
    EXPECT_EQ(report->crashedOnDate(), 1767225650);
    fs::remove(folder / "mach_exception.fltrecord");
    EXPECT_EQ(report->crashedOnDate(), 1767225700);
    fs::remove(folder / "signal.fltrecord");
    writeFile(folder / "exception.fltrecord",
              "{\"exception\":{\"type\":\"c++\",\"time\":1767225800}}\n");
    EXPECT_EQ(report->crashedOnDate(), 1767225800);
}

TEST(InternalReport, WithoutSessionIdentifierItCannotBeOpened)
{
    TemporaryStore store;
    const fs::path folder = store.addReport(store.manager()->activePath(), "nosession", {}, false);
    writeFile(folder / "metadata.fltrecord", qnt::test::metadataRecord(""));
    EXPECT_FALSE(FLTInternalReport::reportWithPath(folder.string()));
    fs::remove(folder / "metadata.fltrecord");
    EXPECT_FALSE(FLTInternalReport::reportWithPath(folder.string()));
    EXPECT_FALSE(FLTInternalReport::reportWithPath(folder.string(), ""));
    EXPECT_TRUE(FLTInternalReport::reportWithPath(folder.string(), "id"));
}

TEST(InternalReport, WhatNeedsToBeSubmitted)
{
    struct Case {
        const char *file;
        bool submit;
        bool crash;
    };
    const Case cases[] = {
        {"signal.fltrecord", true, true},
        {"exception.fltrecord", true, true},
        {"mach_exception.fltrecord", true, true},
        {"custom_exception_a.fltrecord", true, false},
        {"custom_exception_b.fltrecord", true, false},
        {"errors_a.fltrecord", true, false},
        {"errors_b.fltrecord", true, false},
        {"user_incremental_kv.fltrecord", false, false},
        {"internal_compacted_kv.fltrecord", false, false},
        {"log_a.fltrecord", false, false},
    };
    TemporaryStore store;
    for (const Case &c : cases) {
        const fs::path folder = store.addReport(store.manager()->activePath(),
                                                std::string("r-") + c.file, {{c.file, "{}\n"}});
        const auto report = FLTInternalReport::reportWithPath(folder.string());
        ASSERT_TRUE(report);
        EXPECT_EQ(report->needsToBeSubmitted(), c.submit) << c.file;
        EXPECT_EQ(report->isCrash(), c.crash) << c.file;
    }
}

TEST(InternalReport, ReadsNothingThroughALink)
{
    TemporaryStore store;
    const fs::path outside = qnt::test::makeTemporaryFolder("flt-outside");
    writeFile(outside / "metadata.fltrecord", qnt::test::metadataRecord("stolen"));
    const fs::path folder = store.addReport(store.manager()->activePath(), "linked", {}, false);
    fs::create_symlink(outside / "metadata.fltrecord", folder / "metadata.fltrecord");
    fs::create_symlink(outside / "metadata.fltrecord", folder / "signal.fltrecord");
    EXPECT_FALSE(FLTInternalReport::reportWithPath(folder.string()));
    const auto report = FLTInternalReport::reportWithPath(folder.string(), "linked");
    EXPECT_FALSE(report->isCrash());
    EXPECT_FALSE(report->needsToBeSubmitted());
    EXPECT_FALSE(FLTInternalReport::readFLTFileAtPath((folder / "signal.fltrecord").string()));
    fs::remove_all(outside);
}

// The writer writes integers of at most 64 bits: any other number is damage, and the line that
// holds it is refused as a whole, never cast into a date.
TEST(InternalReport, RefusesNumbersTheWriterNeverWrites)
{
    struct Case {
        const char *number;
        bool lineRefused; // false: a 64-bit number the writer may write, but no date
    };
    const Case cases[] = {{"1e300", true},        {"-1e300", true},
                          {"1.5", true},          {"18446744073709551616", true},
                          {"1767225600.0", true}, {"9223372036854775808", false}};
    for (const auto &[number, lineRefused] : cases) {
        SCOPED_TRACE(number);
        TemporaryStore store;
        const fs::path folder = store.addReport(
            store.manager()->activePath(), "damaged",
            {{"signal.fltrecord",
              std::string("{\"signal\":{\"number\":11,\"time\":") + number + "}}\n"}},
            false);
        writeFile(folder / "metadata.fltrecord",
                  std::string("{\"identity\":{\"session_id\":\"damaged\",\"started_at\":") + number
                      + "}}\n");
        const auto report = FLTInternalReport::reportWithPath(folder.string(), "damaged");
        ASSERT_TRUE(report);
        EXPECT_EQ(report->dateCreated(), std::nullopt);
        EXPECT_EQ(report->crashedOnDate(), std::nullopt);
        // The damaged line carries the identifier too: the folder cannot be opened by it.
        EXPECT_EQ(FLTInternalReport::reportWithPath(folder.string()) == nullptr, lineRefused);
    }
}

} // namespace
