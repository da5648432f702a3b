// Symbolication of a report folder at a later launch: the ".symbolicated" companion of each crash
// file, and what a damaged or hostile crash file does.

#include "telemetry/crash/FLTProcessReportOperation.h"
#include "telemetry/crash/FLTThreadArrayOperation.h"

#include "RecordedImages.h"
#include "ReportStoreFixture.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;
using nlohmann::json;
using qnt::test::RecordedImages;
using qnt::test::TemporaryStore;

namespace flt_process_probe {

struct Outer {
    template <typename T> __attribute__((noinline)) static T twice(T value)
    {
        asm volatile("" ::: "memory");
        return value * 2;
    }
};
template long Outer::twice<long>(long);

} // namespace flt_process_probe

namespace {

json symbolicated(const fs::path &file)
{
    return json::parse(qnt::test::readWholeFile(file), nullptr, false);
}

TEST(ProcessReportOperation, WritesResolvedDemangledFramesBesideEachCrashFile)
{
    TemporaryStore store;
    const fs::path folder = store.addReport(store.manager()->processingPath(), "r1", {});
    RecordedImages images(folder);
    const void *probe = reinterpret_cast<const void *>(&flt_process_probe::Outer::twice<long>);
    const std::string stack = "[" + std::to_string(images.recorded(probe)) + ","
                              + std::to_string(images.recorded(probe) + 2) + ","
                              + std::to_string(qnt::test::kRecordedBase - 0x100000 + 8) + ",0]";
    qnt::test::writeFile(folder / "signal.fltrecord",
                         "{\"signal\":{\"number\":11}}\n{\"threads\":[{\"stacktrace\":" + stack
                             + ",\"crashed\":true},{\"stacktrace\":[]},{\"registers\":{}}]}\n");
    FLTProcessReportOperation operation(FLTInternalReport::reportWithPath(folder.string()),
                                        std::make_shared<FLTSymbolResolver>());
    operation.start();

    EXPECT_FALSE(fs::exists(folder / "exception.fltrecord.symbolicated"));
    const json result = symbolicated(folder / "signal.fltrecord.symbolicated");
    ASSERT_TRUE(result.contains("threads")) << result;
    const json &threads = result["threads"];
    ASSERT_EQ(threads.size(), 3u);
    ASSERT_EQ(threads[0].size(), 4u);
    const std::string name = "long flt_process_probe::Outer::twice<long>(long)";
    EXPECT_EQ(threads[0][0]["symbol"], name);
    EXPECT_EQ(threads[0][0]["raw_symbol"], "_ZN17flt_process_probe5Outer5twiceIlEET_S2_");
    EXPECT_EQ(threads[0][0]["offset"], 0);
    EXPECT_EQ(threads[0][1]["symbol"], name);
    EXPECT_EQ(threads[0][1]["offset"], 2);
    EXPECT_EQ(threads[0][0]["library"], fs::path(images.main.path).filename().string());
    // A frame in an image that is not loaded now, and a zero address.
    for (int i : {2, 3})
        EXPECT_EQ(threads[0][i], json::parse(R"({"symbol":null,"offset":0,"library":null})"));
    EXPECT_TRUE(threads[1].empty());
    EXPECT_TRUE(threads[2].empty());
}

TEST(ProcessReportOperation, WithoutImagesOrThreadsNothingIsWritten)
{
    TemporaryStore store;
    const fs::path folder =
        store.addReport(store.manager()->processingPath(), "r2",
                        {{"signal.fltrecord", "{\"threads\":[{\"stacktrace\":[1,2,3]}]}\n"},
                         {"exception.fltrecord", "{\"exception\":{}}\n"}});
    auto report = FLTInternalReport::reportWithPath(folder.string());
    FLTProcessReportOperation withoutImages(report, std::make_shared<FLTSymbolResolver>());
    withoutImages.start();
    EXPECT_FALSE(fs::exists(folder / "signal.fltrecord.symbolicated"));
    RecordedImages images(folder);
    FLTProcessReportOperation withImages(report, std::make_shared<FLTSymbolResolver>());
    withImages.start();
    EXPECT_TRUE(fs::exists(folder / "signal.fltrecord.symbolicated"));
    EXPECT_FALSE(fs::exists(folder / "exception.fltrecord.symbolicated"));
}

TEST(ProcessReportOperation, HostileCrashFilesStayBounded)
{
    TemporaryStore store;
    const fs::path folder = store.addReport(store.manager()->processingPath(), "r3", {});
    RecordedImages images(folder);
    // Far more threads and frames than any process records.
    std::string many = "{\"threads\":[";
    for (std::size_t t = 0; t < FLTProcessReportOperation::kMaxThreads + 10; ++t)
        many += std::string(t ? "," : "") + "{\"stacktrace\":[1]}";
    many += ",{\"stacktrace\":[";
    for (std::size_t f = 0; f < FLTProcessReportOperation::kMaxFramesPerThread + 10; ++f)
        many += std::string(f ? "," : "") + "7";
    many += "]}]}\n";
    const auto threads = FLTProcessReportOperation::threadArrayFromFile(
        (qnt::test::writeFile(folder / "signal.fltrecord", many), folder / "signal.fltrecord")
            .string());
    ASSERT_TRUE(threads);
    EXPECT_EQ(threads->size(), FLTProcessReportOperation::kMaxThreads);

    struct Case {
        const char *name;
        std::string content;
    };
    const Case cases[] = {
        {"deep nesting",
         "{\"threads\":" + std::string(200000, '[') + std::string(200000, ']') + "}\n"},
        {"wrong types", R"({"threads":{"stacktrace":"x"}})"
                        "\n"
                        R"({"threads":[{"stacktrace":[-1,"a",null,1.5]}]})"
                        "\n"},
        {"truncated", "{\"threads\":[{\"stacktrace\":[1,2"},
        {"empty", ""},
        {"binary", std::string("\0\xff\x01{\"threads\"", 13)},
    };
    for (const Case &c : cases) {
        qnt::test::writeFile(folder / "signal.fltrecord", c.content);
        fs::remove(folder / "signal.fltrecord.symbolicated");
        FLTProcessReportOperation operation(FLTInternalReport::reportWithPath(folder.string()),
                                            std::make_shared<FLTSymbolResolver>());
        operation.start();
        const fs::path output = folder / "signal.fltrecord.symbolicated";
        if (fs::exists(output)) {
            EXPECT_FALSE(symbolicated(output).is_discarded()) << c.name;
        }
    }
}

TEST(ProcessReportOperation, CompanionFileIsNeverWrittenThroughALink)
{
    TemporaryStore store;
    const fs::path folder =
        store.addReport(store.manager()->processingPath(), "r4",
                        {{"signal.fltrecord", "{\"threads\":[{\"stacktrace\":[1]}]}\n"}});
    RecordedImages images(folder);
    const fs::path outside = qnt::test::makeTemporaryFolder("flt-outside");
    qnt::test::writeFile(outside / "victim", "precious");
    fs::create_symlink(outside / "victim", folder / "signal.fltrecord.symbolicated");
    FLTProcessReportOperation operation(FLTInternalReport::reportWithPath(folder.string()),
                                        std::make_shared<FLTSymbolResolver>());
    operation.start();
    EXPECT_EQ(qnt::test::readWholeFile(outside / "victim"), "precious");
    fs::remove_all(outside);
}

TEST(SerializeSymbolicatedFramesOperation, AwkwardNamesStillGiveOneParseableLine)
{
    const fs::path folder = qnt::test::makeTemporaryFolder("flt-serialize");
    auto threads = std::make_shared<FLTThreadArray>();
    FLTStackFrame quoted =
        FLTStackFrame::stackFrameWithSymbol("operator\"\" _km(unsigned long long)");
    quoted.rawSymbol = "_Zli3_kmy";
    quoted.library = "lib\"odd\\name.so";
    quoted.offset = 12;
    threads->push_back({quoted, FLTStackFrame::stackFrameWithSymbol("plain")});
    FLTSerializeSymbolicatedFramesOperation operation(threads, (folder / "out").string());
    operation.start();
    const std::string text = qnt::test::readWholeFile(folder / "out");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
    const json parsed = json::parse(text, nullptr, false);
    ASSERT_FALSE(parsed.is_discarded()) << text;
    EXPECT_EQ(parsed["threads"][0][0]["symbol"], *quoted.symbol);
    EXPECT_EQ(parsed["threads"][0][0]["raw_symbol"], "_Zli3_kmy");
    EXPECT_EQ(parsed["threads"][0][0]["library"], "lib\"odd\\name.so");
    EXPECT_EQ(parsed["threads"][0][0]["offset"], 12);
    EXPECT_FALSE(parsed["threads"][0][1].contains("raw_symbol"));
    fs::remove_all(folder);
}

} // namespace
