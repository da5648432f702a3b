#include "telemetry/crash/FLTUtilities.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr std::size_t kPage = 4096;

// Runs `body` in a child process with the default fatal-signal actions; the child's exit code
// is the number of the first failed check (0 = all passed), so a fault shows as a signal.
template <typename Body> void expectInChild(Body body)
{
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        signal(SIGSEGV, SIG_DFL);
        signal(SIGBUS, SIG_DFL);
        _exit(body());
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "child ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "check " << WEXITSTATUS(status) << " failed";
}

} // namespace

class FLTSafeReadPaths : public ::testing::TestWithParam<bool>
{
};

INSTANTIATE_TEST_SUITE_P(KernelAndPipe, FLTSafeReadPaths, ::testing::Values(false, true));

TEST_P(FLTSafeReadPaths, BadAddressesAnswerFalseWithoutASignal)
{
    const bool usePipe = GetParam();
    expectInChild([usePipe]() -> int {
        FLTReadMemoryUsePipeForTesting(usePipe);
        char buffer[64];
        if (FLTReadMemory(nullptr, buffer, 8))
            return 1;
        if (FLTReadMemory(reinterpret_cast<const void *>(4095), buffer, 1))
            return 2;
        const char *out = nullptr;
        if (FLTReadString(nullptr, &out, 10))
            return 3;

        // A guard page.
        auto *guard = static_cast<char *>(
            mmap(nullptr, kPage, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        if (guard == MAP_FAILED)
            return 4;
        if (FLTReadMemory(guard, buffer, 8))
            return 5;
        if (FLTReadString(guard, &out, 100))
            return 6;

        // A string that runs from a readable page into an unmapped one.
        auto *pages = static_cast<char *>(
            mmap(nullptr, 2 * kPage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        if (pages == MAP_FAILED)
            return 7;
        munmap(pages + kPage, kPage);
        std::memset(pages, 'a', kPage);
        const char *start = pages + kPage - 100;
        if (FLTReadString(start, &out, 1000))
            return 8;
        // Within its limit the same string is fine, and a terminated one too.
        if (!FLTReadString(start, &out, 100) || out != start)
            return 9;
        pages[kPage - 1] = '\0';
        if (!FLTReadString(start, &out, 1000) || out != start)
            return 10;
        // Reading across the end of the mapping fails as a whole.
        if (FLTReadMemory(pages + kPage - 8, buffer, 16))
            return 11;
        if (!FLTReadMemory(pages + kPage - 16, buffer, 16) || buffer[0] != 'a')
            return 12;
        if (!FLTReadString(start, &out, 0))
            return 13;
        return 0;
    });
}

TEST_P(FLTSafeReadPaths, SurvivesPagesUnmappedWhileReading)
{
    const bool usePipe = GetParam();
    expectInChild([usePipe]() -> int {
        FLTReadMemoryUsePipeForTesting(usePipe);
        auto *page = static_cast<char *>(
            mmap(nullptr, kPage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        if (page == MAP_FAILED)
            return 1;
        std::atomic<bool> stop{false};
        std::thread flipper([&] {
            while (!stop.load()) {
                munmap(page, kPage);
                mmap(page, kPage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED,
                     -1, 0);
            }
        });
        char buffer[kPage];
        int successes = 0;
        for (int i = 0; i < 20000; ++i)
            successes += FLTReadMemory(page, buffer, sizeof buffer) ? 1 : 0;
        stop.store(true);
        flipper.join();
        return successes >= 0 ? 0 : 2;
    });
}

TEST(FLTSafeRead, HexHelpers)
{
    char pair[2];
    FLTHexEncodeByte(0xa7, pair);
    EXPECT_EQ(std::string(pair, 2), "a7");
    EXPECT_EQ(FLTHexDigitValue('0'), 0);
    EXPECT_EQ(FLTHexDigitValue('f'), 15);
    EXPECT_EQ(FLTHexDigitValue('F'), 15);
    EXPECT_EQ(FLTHexDigitValue('g'), 255);
    char out[7];
    const unsigned char bytes[] = {0x00, 0xff, 0x10};
    FLTHexEncodeBytes(bytes, 3, out);
    EXPECT_STREQ(out, "00ff10");
    FLTHexEncodeBytes(bytes, 0, out);
    EXPECT_STREQ(out, "");
}

TEST(FLTSafeRead, SymbolLookupAndUnlink)
{
    std::string symbol, image;
    bool called = false;
    FLTLookupSymbolInfo(reinterpret_cast<const void *>(&write), [&](const char *s, const char *i) {
        called = true;
        symbol = s ? s : "";
        image = i ? i : "";
    });
    EXPECT_TRUE(called);
    EXPECT_NE(image.find("libc"), std::string::npos);
    FLTLookupSymbolInfo(nullptr, [&](const char *s, const char *i) {
        EXPECT_EQ(s, nullptr);
        EXPECT_EQ(i, nullptr);
    });
    char path[] = "/tmp/flt-unlink-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    EXPECT_TRUE(FLTUnlinkIfExists(path));
    EXPECT_TRUE(FLTUnlinkIfExists(path));
    EXPECT_FALSE(FLTUnlinkIfExists("/proc/self"));
}
