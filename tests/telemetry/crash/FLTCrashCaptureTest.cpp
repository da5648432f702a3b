// Crashes a real child process (the crash helper) in several ways and checks how it ended and
// the record files it left in its launch folder.

#include "common/Bytes.h"
#include "common/ChildProcess.h"

#include "telemetry/core/PLNApplicationInfo.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using nlohmann::json;

using qnt::test::ChildOptions;
using qnt::test::ChildResult;
using qnt::test::runChild;
using qnt::test::runShell;

using qnt::test::hexOf;

namespace {

std::string helperPath(const std::string &variant)
{
    return std::string(QNT_BIN_DIR) + "/flt_crash_helper_" + variant;
}

fs::path makeFolder()
{
    std::string pattern = (fs::temp_directory_path() / "flt-crash-XXXXXX").string();
    const char *made = mkdtemp(pattern.data());
    return made ? fs::path(made) : fs::path();
}

// Runs the crash helper in a mode, with its launch folder; its standard error is kept.
ChildResult runHelper(const std::string &helper, const std::string &mode, const fs::path &folder,
                      const std::vector<std::string> &environment = {})
{
    ChildOptions options;
    options.standardError = ChildOptions::StandardError::Captured;
    options.environment = environment;
    options.timeout = std::chrono::seconds(45);
    return runChild({helper, mode, folder.string()}, options);
}

std::vector<json> readRecord(const fs::path &path)
{
    std::vector<json> lines;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        auto parsed = json::parse(line, nullptr, false);
        if (!parsed.is_discarded())
            lines.push_back(parsed);
    }
    return lines;
}

std::optional<json> section(const std::vector<json> &lines, const std::string &name)
{
    for (const auto &line : lines)
        if (line.contains(name))
            return line[name];
    return std::nullopt;
}

struct Image {
    std::string path;
    uint64_t base = 0;
    uint64_t size = 0;
    std::string buildId;
};

std::vector<Image> loadedImages(const fs::path &folder)
{
    std::vector<Image> images;
    for (const auto &line : readRecord(folder / "binary_images.fltrecord")) {
        if (!line.contains("load"))
            continue;
        const auto &load = line["load"];
        images.push_back({load["path"].get<std::string>(), load["base"].get<uint64_t>(),
                          load["size"].get<uint64_t>(), load.value("build_id", std::string())});
    }
    return images;
}

const Image *imageFor(const std::vector<Image> &images, uint64_t address)
{
    for (const auto &image : images)
        if (address >= image.base && address < image.base + image.size)
            return &image;
    return nullptr;
}

// Function names of the given stack addresses through addr2line; the first frame is the exact
// address of the fault, the others are return addresses (looked up one byte earlier).
std::vector<std::string> functionNames(const std::string &helper, const std::vector<Image> &images,
                                       const json &stack, size_t count, bool firstIsExact = true)
{
    std::vector<std::string> names;
    for (size_t i = 0; i < stack.size() && names.size() < count; ++i) {
        const uint64_t pc = stack[i].get<uint64_t>();
        const Image *image = imageFor(images, pc);
        if (!image || image->path != helper) {
            names.push_back("?");
            continue;
        }
        const uint64_t lookup = pc - image->base - ((i == 0 && firstIsExact) ? 0 : 1);
        char address[32];
        snprintf(address, sizeof address, "0x%llx", static_cast<unsigned long long>(lookup));
        std::string name =
            runShell("addr2line -C -f -e " + helper + " " + address + " | head -1").output;
        while (!name.empty() && (name.back() == '\n' || name.back() == '\r'))
            name.pop_back();
        names.push_back(name);
    }
    return names;
}

std::string readelfBuildId(const std::string &path)
{
    const std::string out = runShell("readelf -n " + path + " 2>/dev/null").output;
    const auto at = out.find("Build ID: ");
    if (at == std::string::npos)
        return {};
    std::string id = out.substr(at + 10);
    return id.substr(0, id.find_first_of(" \n"));
}

const json *crashedThread(const json &threads)
{
    for (const auto &thread : threads)
        if (thread.value("crashed", false))
            return &thread;
    return nullptr;
}

std::string describe(const ChildResult &result)
{
    return "signaled=" + std::to_string(result.signaled)
           + " signal=" + std::to_string(result.signal) + " exited=" + std::to_string(result.exited)
           + " code=" + std::to_string(result.exitCode)
           + " timedOut=" + std::to_string(result.timedOut) + "\nstderr:\n" + result.errors;
}

class CrashCapture : public ::testing::TestWithParam<std::string>
{
protected:
    void SetUp() override
    {
        m_folder = makeFolder();
        ASSERT_FALSE(m_folder.empty());
    }
    void TearDown() override
    {
        if (!HasFailure())
            fs::remove_all(m_folder);
        else
            std::cerr << "kept " << m_folder << "\n";
    }
    fs::path m_folder;
};

TEST_P(CrashCapture, SegmentationFaultIsRecordedWithTheCallerChainAndImages)
{
    const std::string helper = helperPath(GetParam());
    const ChildResult result = runHelper(helper, "segv", m_folder);
    ASSERT_TRUE(result.signaled) << describe(result);
    EXPECT_EQ(result.signal, SIGSEGV) << describe(result);

    const auto lines = readRecord(m_folder / "signal.fltrecord");
    const auto signal = section(lines, "signal");
    ASSERT_TRUE(signal);
    EXPECT_EQ((*signal)["number"], 11);
    EXPECT_EQ((*signal)["name"], "SIGSEGV");
    EXPECT_EQ((*signal)["address"], 0);
    EXPECT_TRUE(signal->contains("time"));
    EXPECT_TRUE(signal->contains("errno"));

    for (const char *name :
         {"threads", "runtime", "dispatch_queue_names", "thread_names", "process_stats", "storage"})
        EXPECT_TRUE(section(lines, name)) << name;

    const auto threads = section(lines, "threads");
    ASSERT_TRUE(threads);
    const json *crashed = crashedThread(*threads);
    ASSERT_NE(crashed, nullptr);
    const auto images = loadedImages(m_folder);
    const auto names = functionNames(helper, images, (*crashed)["stacktrace"], 4);
    ASSERT_EQ(names.size(), 4u);
    EXPECT_NE(names[0].find("leaf"), std::string::npos) << names[0];
    EXPECT_NE(names[1].find("mid"), std::string::npos) << names[1];
    EXPECT_NE(names[2].find("outer"), std::string::npos) << names[2];
    EXPECT_EQ(names[3], "main");

    // The crashed thread's registers are those of the fault, not of the handler.
    EXPECT_EQ((*crashed)["registers"]["rip"], (*crashed)["stacktrace"][0]);

    bool sawHelper = false;
    bool sawLibc = false;
    for (const auto &image : images) {
        if (image.path == helper) {
            sawHelper = true;
            EXPECT_EQ(image.buildId, readelfBuildId(helper));
            EXPECT_FALSE(image.buildId.empty());
        }
        if (image.path.find("libc.so") != std::string::npos) {
            sawLibc = true;
            EXPECT_EQ(image.buildId, readelfBuildId(image.path));
            EXPECT_FALSE(image.buildId.empty());
        }
    }
    EXPECT_TRUE(sawHelper);
    EXPECT_TRUE(sawLibc);

    const auto metadata = readRecord(m_folder / "metadata.fltrecord");
    ASSERT_EQ(metadata.size(), 4u);
    EXPECT_TRUE(metadata[0].contains("identity"));
    EXPECT_TRUE(metadata[3].contains("executable"));
    // One operating-system version for crash reports, settings requests and analytics events.
    const auto host = section(metadata, "host");
    ASSERT_TRUE(host);
    EXPECT_EQ((*host)["os_display_version"], PLNOperatingSystemDisplayVersion());
    EXPECT_EQ((*host)["os_build_version"], PLNOperatingSystemBuildVersion().value_or(""));
}

TEST_P(CrashCapture, BlockedNamedThreadsAreRecordedWithRegistersAndStacks)
{
    const std::string helper = helperPath(GetParam());
    const ChildResult result = runHelper(helper, "threads", m_folder);
    ASSERT_TRUE(result.signaled) << describe(result);
    EXPECT_EQ(result.signal, SIGSEGV);

    const auto lines = readRecord(m_folder / "signal.fltrecord");
    const auto threads = section(lines, "threads");
    const auto names = section(lines, "thread_names");
    ASSERT_TRUE(threads && names);
    ASSERT_EQ(threads->size(), 9u);
    ASSERT_EQ(names->size(), 9u);
    // The crashed thread is written first; no thread goes without its registers.
    EXPECT_TRUE((*threads)[0].value("crashed", false));
    for (const json &thread : *threads) {
        EXPECT_NE(thread["registers"]["rsp"].get<uint64_t>(), 0u);
        EXPECT_FALSE(thread["stacktrace"].empty());
    }
    const auto images = loadedImages(m_folder);
    int blocked = 0;
    for (size_t i = 0; i < names->size(); ++i) {
        const std::string name = (*names)[i];
        if (name.rfind("blocked-", 0) != 0)
            continue;
        ++blocked;
        const int index = std::stoi(name.substr(8));
        const char *expected[] = {"blockInRead", "blockInSleep", "blockInFutex"};
        const json &thread = (*threads)[i];
        EXPECT_NE(thread["registers"]["rsp"].get<uint64_t>(), 0u) << name;
        EXPECT_NE(thread["registers"]["rip"].get<uint64_t>(), 0u) << name;
        const auto frames = functionNames(helper, images, thread["stacktrace"], 12);
        bool found = false;
        for (const auto &frame : frames)
            found = found || frame.find(expected[index % 3]) != std::string::npos;
        EXPECT_TRUE(found) << name << " lacks " << expected[index % 3];
    }
    EXPECT_EQ(blocked, 8);
}

TEST_P(CrashCapture, ThreadsThatBlockSignalsAndSpinnersAreRecordedWithRegistersAndStacks)
{
    // Where tracing is allowed (as here), the capture child stops every thread, whatever it
    // blocks. Where it is refused, the capture signal parks the others: a thread that blocks it
    // is listed without registers or stack, after a short wait.
    struct Case {
        const char *name;
        std::vector<std::string> environment;
        bool deafHasStack;
    };
    const Case cases[] = {{"traced", {}, true}, {"tracing refused", {"FLT_NO_TRACE=1"}, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path folder = m_folder / (c.deafHasStack ? "traced" : "refused");
        fs::create_directories(folder);
        const auto started = std::chrono::steady_clock::now();
        const ChildResult result =
            runHelper(helperPath(GetParam()), "stubborn-threads", folder, c.environment);
        ASSERT_TRUE(result.signaled) << describe(result);
        EXPECT_EQ(result.signal, SIGSEGV);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
        const auto lines = readRecord(folder / "signal.fltrecord");
        const auto threads = section(lines, "threads");
        const auto names = section(lines, "thread_names");
        ASSERT_TRUE(threads && names);
        ASSERT_EQ(threads->size(), 3u);
        for (size_t i = 0; i < names->size(); ++i) {
            const json &thread = (*threads)[i];
            if ((*names)[i] == "spinner") {
                EXPECT_EQ(thread["registers"]["r12"].get<uint64_t>(), 0x5a5a5a5a12121212ull);
                EXPECT_FALSE(thread["stacktrace"].empty());
            } else if ((*names)[i] == "deaf") {
                EXPECT_EQ(thread["stacktrace"].empty(), !c.deafHasStack);
                EXPECT_EQ(thread["registers"]["rsp"].get<uint64_t>() != 0, c.deafHasStack);
            }
        }
        for (const char *name : {"spinner", "deaf"})
            EXPECT_NE(std::find(names->begin(), names->end(), name), names->end()) << name;
    }
}

TEST_P(CrashCapture, AThreadAsleepInTheKernelIsWaitedFor)
{
    // A thread that cannot stop or answer before it leaves the kernel (here it waits for a child
    // that shares its memory) is waited for. One that sleeps on beyond that wait is recorded with
    // the stack and instruction pointers the kernel keeps for it when it is traced, since it
    // stops before it runs again; parked by signal, it is listed without registers.
    enum Outcome { AllRegisters, Pointers, Nothing };
    struct Case {
        const char *name;
        bool traced;
        const char *holdMilliseconds;
        Outcome outcome;
        const char *logged;
    };
    const Case cases[] = {
        {"traced, wakes within the wait", true, "700", AllRegisters, nullptr},
        {"traced, sleeps on", true, "4000", Pointers, "did not stop in time (state D"},
        {"parked, wakes within the wait", false, "700", AllRegisters, nullptr},
        {"parked, sleeps on", false, "4000", Nothing, "unable to get thread state of"},
    };
    const std::string helper = helperPath(GetParam());
    int index = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path folder = m_folder / std::to_string(index++);
        fs::create_directories(folder);
        std::vector<std::string> environment{std::string("FLT_HOLD_MS=") + c.holdMilliseconds};
        if (!c.traced)
            environment.push_back("FLT_NO_TRACE=1");
        const auto started = std::chrono::steady_clock::now();
        const ChildResult result = runHelper(helper, "held-thread", folder, environment);
        ASSERT_TRUE(result.signaled) << describe(result);
        EXPECT_EQ(result.signal, SIGSEGV);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
        const auto lines = readRecord(folder / "signal.fltrecord");
        const auto threads = section(lines, "threads");
        const auto names = section(lines, "thread_names");
        ASSERT_TRUE(threads && names);
        const auto held = std::find(names->begin(), names->end(), "held");
        ASSERT_NE(held, names->end());
        const json &thread = (*threads)[static_cast<size_t>(held - names->begin())];
        std::ifstream logFile(folder / "sdk.log");
        const std::string log((std::istreambuf_iterator<char>(logFile)),
                              std::istreambuf_iterator<char>());
        const json &registers = thread["registers"];
        EXPECT_EQ(registers["rsp"].get<uint64_t>() != 0, c.outcome != Nothing) << log;
        EXPECT_EQ(registers["rip"].get<uint64_t>() != 0, c.outcome != Nothing) << log;
        EXPECT_EQ(registers["cs"].get<uint64_t>() != 0, c.outcome == AllRegisters) << log;
        EXPECT_EQ(thread["stacktrace"].empty(), c.outcome == Nothing) << log;
        if (c.logged) {
            EXPECT_NE(log.find(c.logged), std::string::npos) << log;
        }
        if (c.outcome == AllRegisters) {
            const auto frames =
                functionNames(helper, loadedImages(folder), thread["stacktrace"], 12);
            bool found = false;
            for (const auto &frame : frames)
                found = found || frame.find("heldThread") != std::string::npos;
            EXPECT_TRUE(found) << log;
        }
    }
}

TEST_P(CrashCapture, ALibraryOpenedAfterStartIsAddedAtCrashTime)
{
    const std::string helper = helperPath(GetParam());
    const std::string plugin = fs::canonical(FLT_CRASH_PLUGIN).string();
    const ChildResult result =
        runHelper(helper, "late-library", m_folder, {"FLT_CRASH_PLUGIN=" + plugin});
    ASSERT_TRUE(result.signaled) << describe(result);
    EXPECT_EQ(result.signal, SIGSEGV);
    const auto images = loadedImages(m_folder);
    const auto image = std::find_if(images.begin(), images.end(),
                                    [&](const Image &i) { return fs::path(i.path) == plugin; });
    ASSERT_NE(image, images.end());
    EXPECT_EQ(image->buildId, readelfBuildId(plugin));
    const auto threads = section(readRecord(m_folder / "signal.fltrecord"), "threads");
    ASSERT_TRUE(threads);
    const json *crashed = crashedThread(*threads);
    ASSERT_NE(crashed, nullptr);
    const json &stack = (*crashed)["stacktrace"];
    ASSERT_GE(stack.size(), 3u);
    EXPECT_EQ(imageFor(images, stack[0].get<uint64_t>()), &*image);
    // The plugin has no frame pointer: its caller comes from its call-frame information.
    const auto names = functionNames(helper, images, stack, 3);
    EXPECT_NE(names[1].find("callPlugin"), std::string::npos) << names[1];
}

TEST_P(CrashCapture, RecursionOnTheMainThreadIsCollapsed)
{
    const std::string helper = helperPath(GetParam());
    const ChildResult result = runHelper(helper, "recursion-main", m_folder);
    ASSERT_TRUE(result.signaled) << describe(result);
    EXPECT_EQ(result.signal, SIGSEGV);
    const auto threads = section(readRecord(m_folder / "signal.fltrecord"), "threads");
    ASSERT_TRUE(threads);
    const json *crashed = crashedThread(*threads);
    ASSERT_NE(crashed, nullptr);
    ASSERT_TRUE(crashed->contains("repeated_pc"));
    const uint64_t repeated = (*crashed)["repeated_pc"];
    EXPECT_GT((*crashed)["repeat_count"].get<uint64_t>(), 1000u);
    const json &stack = (*crashed)["stacktrace"];
    EXPECT_EQ(std::count(stack.begin(), stack.end(), repeated), 10);
    // The frames below the recursion are still there.
    const auto images = loadedImages(m_folder);
    const auto names = functionNames(helper, images, stack, stack.size());
    EXPECT_NE(std::find(names.begin(), names.end(), "main"), names.end());
}

TEST_P(CrashCapture, RecursionOnAWorkerThreadIsCollapsed)
{
    const std::string helper = helperPath(GetParam());
    const ChildResult result = runHelper(helper, "recursion-thread", m_folder);
    ASSERT_TRUE(result.signaled) << describe(result);
    EXPECT_EQ(result.signal, SIGSEGV);
    const auto lines = readRecord(m_folder / "signal.fltrecord");
    const auto threads = section(lines, "threads");
    ASSERT_TRUE(threads);
    const json *crashed = crashedThread(*threads);
    ASSERT_NE(crashed, nullptr);
    ASSERT_TRUE(crashed->contains("repeated_pc"));
    EXPECT_GT((*crashed)["repeat_count"].get<uint64_t>(), 1000u);
    EXPECT_EQ(threads->size(), 2u);
}

TEST_P(CrashCapture, StackOverflowOnALibraryQueueWorkerIsRecorded)
{
    // The worker gets its alternate stack from the library itself, whether it started after the
    // handlers went in or was already running.
    const std::string helper = helperPath(GetParam());
    for (const std::string mode : {"recursion-queue", "recursion-queue-early"}) {
        SCOPED_TRACE(mode);
        const fs::path folder = m_folder / mode;
        fs::create_directories(folder);
        const ChildResult result = runHelper(helper, mode, folder);
        ASSERT_TRUE(result.signaled) << describe(result);
        EXPECT_EQ(result.signal, SIGSEGV);
        const auto lines = readRecord(folder / "signal.fltrecord");
        const auto signal = section(lines, "signal");
        ASSERT_TRUE(signal) << describe(result);
        EXPECT_EQ((*signal)["name"], "SIGSEGV");
        const auto threads = section(lines, "threads");
        ASSERT_TRUE(threads);
        const json *crashed = crashedThread(*threads);
        ASSERT_NE(crashed, nullptr);
        ASSERT_TRUE(crashed->contains("repeated_pc"));
        EXPECT_GT((*crashed)["repeat_count"].get<uint64_t>(), 1000u);
    }
}

TEST_P(CrashCapture, TwoThreadsFaultingAtOnceGiveOneRecord)
{
    const std::string helper = helperPath(GetParam());
    const ChildResult result = runHelper(helper, "two-threads", m_folder);
    ASSERT_FALSE(result.timedOut) << describe(result);
    ASSERT_TRUE(result.signaled) << describe(result);
    EXPECT_EQ(result.signal, SIGSEGV);
    const auto lines = readRecord(m_folder / "signal.fltrecord");
    const auto count = std::count_if(lines.begin(), lines.end(),
                                     [](const json &line) { return line.contains("signal"); });
    EXPECT_EQ(count, 1);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const json &line) { return line.contains("threads"); }),
              1);
}

TEST_P(CrashCapture, UncaughtExceptionIsRecordedAndThePreviousTerminateHandlerRuns)
{
    const std::string helper = helperPath(GetParam());
    const fs::path marker = m_folder / "previous-terminate";
    const ChildResult result =
        runHelper(helper, "terminate", m_folder, {"FLT_TERMINATE_MARKER=" + marker.string()});
    ASSERT_TRUE(result.signaled) << describe(result);
    EXPECT_EQ(result.signal, SIGABRT);
    EXPECT_TRUE(fs::exists(marker));
    const auto lines = readRecord(m_folder / "exception.fltrecord");
    const auto exception = section(lines, "exception");
    ASSERT_TRUE(exception);
    EXPECT_EQ((*exception)["type"], "c++");
    EXPECT_EQ((*exception)["name"], hexOf("std::runtime_error"));
    EXPECT_EQ((*exception)["reason"], hexOf("boom"));
    EXPECT_TRUE(section(lines, "threads"));
    // One crash, one report: the abort that follows is not recorded as a signal too.
    EXPECT_FALSE(section(readRecord(m_folder / "signal.fltrecord"), "signal"));
}

TEST_P(CrashCapture, AfterAnUncaughtExceptionTheAbortGoesToTheApplicationsOwnHandler)
{
    const fs::path marker = m_folder / "previous-abort-handler";
    const ChildResult result =
        runHelper(helperPath(GetParam()), "terminate-abort-handler", m_folder,
                  {"FLT_PREVIOUS_HANDLER_MARKER=" + marker.string()});
    ASSERT_TRUE(result.signaled) << describe(result);
    EXPECT_EQ(result.signal, SIGABRT);
    EXPECT_TRUE(fs::exists(marker));
    const auto lines = readRecord(m_folder / "exception.fltrecord");
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const json &line) { return line.contains("exception"); }),
              1);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const json &line) { return line.contains("threads"); }),
              1);
    EXPECT_FALSE(section(readRecord(m_folder / "signal.fltrecord"), "signal"));
}

TEST_P(CrashCapture, NamesAndPathsThatAreNotUTF8KeepTheirLines)
{
    const std::string plugin = fs::canonical(FLT_CRASH_PLUGIN).string();
    const ChildResult result =
        runHelper(helperPath(GetParam()), "odd-names", m_folder, {"FLT_CRASH_PLUGIN=" + plugin});
    ASSERT_TRUE(result.signaled) << describe(result);
    EXPECT_EQ(result.signal, SIGSEGV);
    // Each byte that is not UTF-8 comes back as the code point of the same number.
    const auto names = section(readRecord(m_folder / "signal.fltrecord"), "thread_names");
    ASSERT_TRUE(names);
    EXPECT_EQ(names->size(), 2u);
    EXPECT_NE(std::find(names->begin(), names->end(), "odd\xc3\xbf\xc3\xbename"), names->end())
        << names->dump();
    const std::string copied = m_folder.string() + "/lib\xc3\xa9\xc3\xbf/plugin.so";
    const auto images = loadedImages(m_folder);
    EXPECT_NE(std::find_if(images.begin(), images.end(),
                           [&](const Image &image) { return image.path == copied; }),
              images.end());
}

TEST_P(CrashCapture, ALibraryClosedAfterStartIsDroppedAtCrashTimeWithAnUnloadLine)
{
    const std::string plugin = fs::canonical(FLT_CRASH_PLUGIN).string();
    const ChildResult result = runHelper(helperPath(GetParam()), "unloaded-library", m_folder,
                                         {"FLT_CRASH_PLUGIN=" + plugin});
    ASSERT_TRUE(result.signaled) << describe(result);
    EXPECT_EQ(result.signal, SIGSEGV);
    std::vector<std::string> kinds;
    for (const auto &line : readRecord(m_folder / "binary_images.fltrecord"))
        for (const char *kind : {"load", "unload"})
            if (line.contains(kind) && line[kind]["path"] == plugin)
                kinds.push_back(kind);
    EXPECT_EQ(kinds, (std::vector<std::string>{"load", "unload"}));
    // The crash itself is still recorded in full.
    const auto threads = section(readRecord(m_folder / "signal.fltrecord"), "threads");
    ASSERT_TRUE(threads);
    ASSERT_NE(crashedThread(*threads), nullptr);
    const auto names = functionNames(helperPath(GetParam()), loadedImages(m_folder),
                                     (*crashedThread(*threads))["stacktrace"], 2);
    EXPECT_NE(names[0].find("leaf"), std::string::npos) << names[0];
}

TEST_P(CrashCapture, StackOverflowOnAnApplicationThreadThatPreparedItselfIsRecorded)
{
    const ChildResult result = runHelper(helperPath(GetParam()), "app-thread", m_folder);
    ASSERT_TRUE(result.signaled) << describe(result);
    EXPECT_EQ(result.signal, SIGSEGV);
    const auto lines = readRecord(m_folder / "signal.fltrecord");
    const auto threads = section(lines, "threads");
    ASSERT_TRUE(threads) << describe(result);
    const json *crashed = crashedThread(*threads);
    ASSERT_NE(crashed, nullptr);
    ASSERT_TRUE(crashed->contains("repeated_pc"));
    EXPECT_GT((*crashed)["repeat_count"].get<uint64_t>(), 1000u);
}

TEST_P(CrashCapture, PreviousSignalHandlerRunsAfterTheRecord)
{
    const fs::path marker = m_folder / "previous-handler";
    const ChildResult result = runHelper(helperPath(GetParam()), "segv-chained", m_folder,
                                         {"FLT_PREVIOUS_HANDLER_MARKER=" + marker.string()});
    ASSERT_TRUE(result.signaled) << describe(result);
    EXPECT_EQ(result.signal, SIGSEGV);
    EXPECT_TRUE(fs::exists(marker));
    EXPECT_TRUE(section(readRecord(m_folder / "signal.fltrecord"), "signal"));
}

TEST_P(CrashCapture, ForeignSignalHandlersAreReportedAtStart)
{
    const ChildResult result = runHelper(helperPath(GetParam()), "check-handlers", m_folder);
    ASSERT_TRUE(result.exited) << describe(result);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.errors.find("[Faultline] The signal SIGBUS has a non-Faultline handler"),
              std::string::npos)
        << result.errors;
    EXPECT_EQ(result.errors.find("The signal SIGSEGV"), std::string::npos);
}

TEST_P(CrashCapture, InterposedAllocatorCatchesAllocationInAHandler)
{
    const ChildResult result = runHelper(helperPath(GetParam()), "allocating-handler", m_folder);
    ASSERT_TRUE(result.exited) << describe(result);
    EXPECT_EQ(result.exitCode, 97);
    EXPECT_NE(result.errors.find("crash handler called malloc"), std::string::npos);
}

struct ThrownCase {
    const char *mode;
    const char *name;
    const char *reason;
};

class ThrownToTerminate : public ::testing::TestWithParam<ThrownCase>
{
};

TEST_P(ThrownToTerminate, IsRecordedByWhatWasThrown)
{
    const fs::path folder = makeFolder();
    const ChildResult result = runHelper(helperPath("nofp"), GetParam().mode, folder);
    ASSERT_TRUE(result.signaled) << describe(result);
    EXPECT_EQ(result.signal, SIGABRT);
    const auto exception = section(readRecord(folder / "exception.fltrecord"), "exception");
    ASSERT_TRUE(exception);
    EXPECT_EQ((*exception)["type"], "c++");
    EXPECT_EQ((*exception)["name"], hexOf(GetParam().name));
    EXPECT_EQ((*exception)["reason"], hexOf(GetParam().reason));
    EXPECT_FALSE(section(readRecord(folder / "signal.fltrecord"), "signal"));
    fs::remove_all(folder);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ThrownToTerminate,
    ::testing::Values(ThrownCase{"terminate-c-string", "const char *", "a C string"},
                      ThrownCase{"terminate-string", "std::string", "a string object"},
                      ThrownCase{"terminate-int", "int", ""}));

struct SignalCase {
    const char *mode;
    int signal;
    const char *name;
};

class FatalSignal : public ::testing::TestWithParam<SignalCase>
{
};

// Faults that repeat when the handler returns and signals that do not (traps, sent signals,
// abort) all end the process by the same signal, after one record.
TEST_P(FatalSignal, EndsTheProcessAsItWouldHaveAfterTheRecord)
{
    const fs::path folder = makeFolder();
    const ChildResult result = runHelper(helperPath("nofp"), GetParam().mode, folder);
    ASSERT_TRUE(result.signaled) << describe(result);
    EXPECT_EQ(result.signal, GetParam().signal);
    const auto lines = readRecord(folder / "signal.fltrecord");
    ASSERT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const json &l) { return l.contains("signal"); }),
              1);
    const auto signal = section(lines, "signal");
    EXPECT_EQ((*signal)["number"], GetParam().signal);
    EXPECT_EQ((*signal)["name"], GetParam().name);
    EXPECT_TRUE(section(lines, "storage"));
    fs::remove_all(folder);
}

INSTANTIATE_TEST_SUITE_P(Signals, FatalSignal,
                         ::testing::Values(SignalCase{"sigfpe", SIGFPE, "SIGFPE"},
                                           SignalCase{"sigill", SIGILL, "SIGILL"},
                                           SignalCase{"sigtrap", SIGTRAP, "SIGTRAP"},
                                           SignalCase{"abort", SIGABRT, "SIGABRT"},
                                           SignalCase{"kill-segv", SIGSEGV, "SIGSEGV"}));

INSTANTIATE_TEST_SUITE_P(FramePointers, CrashCapture, ::testing::Values("fp", "nofp"));

} // namespace
