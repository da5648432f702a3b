// Log lines, custom keys, recorded errors and custom exceptions: limits, rotation, compaction.

#include "telemetry/crash/FLTContext.h"
#include "telemetry/crash/FLTExceptionHandler.h"
#include "telemetry/crash/FLTFile.h"
#include "telemetry/crash/FLTSDKLog.h"
#include "telemetry/crash/FLTUserLogging.h"
#include "telemetry/platform/SystemLog.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

std::vector<json> lines(const fs::path &path)
{
    return FLTFileReadSections(path.c_str(), false).value_or(std::vector<json>{});
}

class UserLogging : public ::testing::Test
{
protected:
    void start(const FLTContextInitData &limits)
    {
        std::string pattern = (fs::temp_directory_path() / "flt-logging-XXXXXX").string();
        m_folder = mkdtemp(pattern.data());
        FLTContextInitData data = limits;
        data.reportPath = m_folder.c_str();
        data.sessionIdentifier = "session";
        ASSERT_TRUE(FLTContextInitializeWithoutHandlers(&data));
        ASSERT_TRUE(FLTContextIsInitialized());
    }
    void TearDown() override { fs::remove_all(m_folder); }
    fs::path m_folder;
};

TEST_F(UserLogging, LogMessageOfExactlyTheMaximumIsKeptAndLongerOnesAreCut)
{
    FLTContextInitData data;
    data.logBufferSize = 16;
    start(data);
    // Every message in both files; none may exceed the maximum.
    auto messages = [this] {
        std::vector<std::string> all;
        for (const char *file : {"log_a.fltrecord", "log_b.fltrecord"})
            for (const auto &line : lines(m_folder / file)) {
                all.push_back(FLTFileHexDecodeString(line["log"]["msg"].get<std::string>()));
                EXPECT_LE(all.back().size(), 16u);
            }
        return all;
    };
    auto contains = [&](const std::string &message) {
        const auto all = messages();
        return std::find(all.begin(), all.end(), message) != all.end();
    };
    FLTUserLoggingRecordLogMessage(std::string(16, 'a'));
    EXPECT_TRUE(contains(std::string(16, 'a')));
    FLTUserLoggingRecordLogMessage(std::string(17, 'b'));
    EXPECT_TRUE(contains(std::string(16, 'b')));
    FLTUserLoggingRecordLogMessage(std::string(5000, 'c'));
    EXPECT_TRUE(contains(std::string(16, 'c')));
}

TEST_F(UserLogging, LogLinesCarryMillisecondTimesAndRotateBySize)
{
    FLTContextInitData data;
    data.logBufferSize = 300;
    start(data);
    for (int i = 0; i < 40; ++i)
        FLTLog("line %d of the log", i);
    const auto a = lines(m_folder / "log_a.fltrecord");
    const auto b = lines(m_folder / "log_b.fltrecord");
    // At most the previous file and the active one exist, neither far beyond the limit.
    EXPECT_FALSE(a.empty() && b.empty());
    EXPECT_LE(fs::file_size(m_folder / "log_a.fltrecord"), 300u + 200u);
    EXPECT_LT(a.size() + b.size(), 40u);
    const auto &last =
        b.empty() ? a.back() : (a.empty() ? b.back() : (a.size() < b.size() ? a.back() : b.back()));
    EXPECT_GT(last["log"]["time"].get<uint64_t>(), 1'600'000'000'000ull);
}

TEST_F(UserLogging, ZeroLimitWritesNothing)
{
    FLTContextInitData data;
    data.logBufferSize = 0;
    data.errorReportingEnabled = false;
    start(data);
    FLTLog("nothing");
    FLTUserLoggingRecordError({"domain", 1, {}}, {});
    EXPECT_FALSE(fs::exists(m_folder / "log_a.fltrecord"));
    EXPECT_FALSE(fs::exists(m_folder / "errors_a.fltrecord"));
}

TEST_F(UserLogging, ErrorsRotateByCount)
{
    FLTContextInitData data;
    data.maxCustomExceptions = 3;
    start(data);
    for (int i = 0; i < 7; ++i)
        FLTUserLoggingRecordError(
            {"org.quintora.test", -i, {{"key", "value " + std::to_string(i)}}}, {{"extra", "x"}});
    // 0-2 filled A, 3-5 filled B (A kept as the previous file), then A was deleted for 6.
    const auto a = lines(m_folder / "errors_a.fltrecord");
    const auto b = lines(m_folder / "errors_b.fltrecord");
    ASSERT_EQ(a.size(), 1u);
    ASSERT_EQ(b.size(), 3u);
    const json &error = a[0]["error"];
    EXPECT_EQ(FLTFileHexDecodeString(error["domain"]), "org.quintora.test");
    EXPECT_EQ(error["code"], -6);
    EXPECT_FALSE(error["stacktrace"].empty());
    ASSERT_EQ(error["info"].size(), 1u);
    EXPECT_EQ(FLTFileHexDecodeString(error["info"][0][1]), "value 6");
    EXPECT_EQ(FLTFileHexDecodeString(error["extra_info"][0][0]), "extra");
}

TEST_F(UserLogging, CustomExceptionsGoToTheirOwnRotatingFiles)
{
    FLTContextInitData data;
    data.maxCustomExceptions = 2;
    start(data);
    FLTExceptionRecord(FLTExceptionKindCustom, "MyError", "it went wrong",
                       {{0x1234, "f", 4, "lib", "", 0}}, false);
    const auto a = lines(m_folder / "custom_exception_a.fltrecord");
    ASSERT_EQ(a.size(), 1u);
    EXPECT_EQ(a[0]["exception"]["type"], "custom");
    EXPECT_EQ(FLTFileHexDecodeString(a[0]["exception"]["reason"]), "it went wrong");
    EXPECT_EQ(a[0]["exception"]["frames"][0]["pc"], 0x1234);
    EXPECT_FALSE(fs::exists(m_folder / "exception.fltrecord"));
}

TEST_F(UserLogging, SixtyFourthKeyCompactsAndNoValueRemovesTheKey)
{
    FLTContextInitData data;
    data.maxCustomKeys = 64;
    start(data);
    FLTContext *context = FLTContextGet();
    for (int i = 0; i < 63; ++i)
        FLTUserLoggingRecordUserKeyValue("key" + std::to_string(i % 10),
                                         "value" + std::to_string(i));
    EXPECT_TRUE(fs::exists(m_folder / "user_incremental_kv.fltrecord"));
    EXPECT_EQ(lines(m_folder / "user_incremental_kv.fltrecord").size(), 63u);
    FLTUserLoggingRecordUserKeyValue("key3", std::nullopt); // the 64th entry removes key3
    EXPECT_FALSE(fs::exists(m_folder / "user_incremental_kv.fltrecord"));
    EXPECT_EQ(*context->userKVStore.incrementalCount, 0u);
    const auto compacted = lines(m_folder / "user_compacted_kv.fltrecord");
    EXPECT_EQ(compacted.size(), 9u);
    const auto entries = FLTUserLoggingGetCompactedKVEntries(&context->userKVStore, true);
    EXPECT_EQ(entries.size(), 9u);
    EXPECT_EQ(entries.count("key3"), 0u);
    EXPECT_EQ(entries.at("key9"), "value59");
    EXPECT_EQ(entries.at("key2"), "value62");

    // Later sets apply over the compacted file.
    FLTUserLoggingRecordUserKeyValue("key2", "again");
    FLTUserLoggingRecordUserKeyValue("key9", std::nullopt);
    const auto later = FLTUserLoggingGetCompactedKVEntries(&context->userKVStore, true);
    EXPECT_EQ(later.at("key2"), "again");
    EXPECT_EQ(later.count("key9"), 0u);
}

TEST_F(UserLogging, CompactionKeepsAtMostTheMaximumNumberOfKeys)
{
    FLTContextInitData data;
    data.maxCustomKeys = 5;
    start(data);
    for (int i = 0; i < 64; ++i)
        FLTUserLoggingRecordUserKeyValue("k" + std::to_string(i), "v");
    EXPECT_EQ(lines(m_folder / "user_compacted_kv.fltrecord").size(), 5u);
    // The kit's own keys are limited to 32 and kept apart.
    FLTUserLoggingRecordInternalKeyValue("com.faultline.user-id", "someone");
    const auto internal =
        FLTUserLoggingGetCompactedKVEntries(&FLTContextGet()->internalKVStore, true);
    EXPECT_EQ(internal.at("com.faultline.user-id"), "someone");
    EXPECT_EQ(FLTContextGet()->internalKVStore.maxKeys, 32u);
}

TEST_F(UserLogging, SystemLogVariantAlsoRecordsAndForeignTerminateHandlersAreReported)
{
    FLTContextInitData data;
    start(data);
    std::vector<std::string> system;
    tel::SystemLog::setSink([&](const std::string &line) { system.push_back(line); });
    FLTNSLog("hello %d", 5);
    FLTExceptionCheckHandlers(); // this test program keeps the default terminate handler
    tel::SystemLog::setSink({});
    ASSERT_EQ(system.size(), 2u);
    EXPECT_EQ(system[0], "hello 5");
    EXPECT_NE(system[1].find("[Faultline:Crash] Warning: std::get_terminate is '"),
              std::string::npos);
    const auto logLines = lines(m_folder / "log_a.fltrecord");
    ASSERT_EQ(logLines.size(), 1u);
    EXPECT_EQ(FLTFileHexDecodeString(logLines[0]["log"]["msg"].get<std::string>()), "hello 5");
}

// The kit log goes into every report: detail lines stop at one limit, warnings at a second, and
// each stop is said once.
TEST_F(UserLogging, SDKLogStaysWithinItsLimitsAndSaysWhereItStopped)
{
    start({});
    const fs::path log = m_folder / "sdk.log";
    for (int i = 0; i < 1000; ++i)
        FLTSDKLog(FLTLogLevelDebug, "DEBUG [%s:%d] detail line %d\n", "op", 1, i);
    const auto size = [&] { return fs::exists(log) ? fs::file_size(log) : 0; };
    EXPECT_LE(size(), kFLTSDKLogDetailLimit + 200);
    EXPECT_GT(size(), kFLTSDKLogDetailLimit - 100);
    for (int i = 0; i < 1000; ++i)
        FLTSDKLog(FLTLogLevelWarn, "WARN  [%s:%d] warning line %d\n", "op", 2, i);
    FLTSDKLog(FLTLogLevelError, "ERROR [%s:%d] one more\n", "op", 3);
    EXPECT_LE(size(), kFLTSDKLogLimit + 200);

    std::ifstream in(log);
    std::vector<std::string> text;
    for (std::string line; std::getline(in, line);)
        text.push_back(line);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.front(), "DEBUG [op:1] detail line 0");
    const auto count = [&](const std::string &part) {
        return std::count_if(text.begin(), text.end(), [&](const std::string &line) {
            return line.find(part) != std::string::npos;
        });
    };
    EXPECT_EQ(count("DEBUG and INFO lines are no longer written"), 1);
    EXPECT_EQ(count("no further lines are written"), 1);
    EXPECT_GT(count("warning line"), 100);
    EXPECT_EQ(text.back(), "WARN  [FLTSDKLog:0] Log size limit reached: no further lines are "
                           "written");
}

TEST(SDKLog, FormatsOnlyItsOwnConversions)
{
    char line[128];
    FLTSDKLogFormat(line, sizeof line, "WARN  [%s:%d] %p %u %x %zu %s\n", "op", -12,
                    reinterpret_cast<void *>(0xbeef), 7u, 255u, nullptr);
    // "%zu" is written literally and consumes no argument, so the last "%s" takes the null.
    EXPECT_STREQ(line, "WARN  [op:-12] 0xbeef 7 ff %zu (null)\n");
    char tiny[8];
    EXPECT_EQ(FLTSDKLogFormat(tiny, sizeof tiny, "a long line that does not fit"), 7u);
    EXPECT_STREQ(tiny, "a long ");
}

} // namespace
