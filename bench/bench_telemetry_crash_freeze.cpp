// How long a crash freezes the program: from the fatal signal to the end of the process, while
// the crash handler records every thread. A child of this program starts the crash context, then
//   Threads:       30 threads, 17 of them blocking every signal (as graphics drivers' threads do),
//                  and the main thread writes through a null pointer;
//   StackOverflow: a thread with the default 8 MB stack recurses until its stack overflows
//                  (about 30,000 frames to unwind, collapsed in the record).
// The child writes the time it faults (for the overflow: when the recursion starts) to a pipe;
// this program takes the time the child has ended. Target: under 300 ms for both.
#include "telemetry/crash/FLTContext.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <pthread.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace fs = std::filesystem;

namespace {

constexpr int kThreads = 30;
constexpr int kDeafThreads = 17;
constexpr size_t kOverflowStack = 8 << 20;

int64_t nowNanoseconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// ---- the child ----

int g_timeDescriptor = -1;
std::atomic<int> g_ready{0};
int *volatile g_nowhere = nullptr;
volatile int g_recursionLimit = -1;

void sendTime()
{
    const int64_t now = nowNanoseconds();
    (void)!write(g_timeDescriptor, &now, sizeof now);
}

void *sleeper(void *deaf)
{
    if (deaf) {
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, nullptr);
    }
    g_ready.fetch_add(1);
    for (;;)
        pause();
    return nullptr;
}

__attribute__((noinline)) int recurse(int depth)
{
    if (depth == g_recursionLimit)
        return 0;
    volatile char pad[256];
    pad[0] = static_cast<char>(depth);
    const int result = recurse(depth + 1) + pad[0];
    asm volatile("" ::: "memory");
    return result;
}

void *overflowing(void *)
{
    sendTime();
    recurse(0);
    return nullptr;
}

pthread_t spawnThread(void *(*body)(void *), void *argument, size_t stack)
{
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    if (stack)
        pthread_attr_setstacksize(&attributes, stack);
    pthread_t thread;
    pthread_create(&thread, &attributes, body, argument);
    pthread_attr_destroy(&attributes);
    return thread;
}

[[noreturn]] void crashChild(const std::string &mode, const char *folder, int descriptor)
{
    g_timeDescriptor = descriptor;
    FLTContextInitData data;
    data.apiKey = "0123456789abcdef0123456789abcdef01234567";
    data.reportPath = folder;
    data.sessionIdentifier = "bench";
    data.installIdentifier = "bench";
    data.bundleIdentifier = "org.quintora.bench";
    data.buildVersion = "1";
    data.displayVersion = "1.0";
    if (!FLTContextInitialize(&data))
        _exit(2);
    if (mode == "threads") {
        for (int i = 1; i < kThreads; ++i)
            spawnThread(sleeper, i <= kDeafThreads ? reinterpret_cast<void *>(1) : nullptr, 0);
        while (g_ready.load() < kThreads - 1)
            usleep(1000);
        sendTime();
        *g_nowhere = 1;
    } else {
        spawnThread(overflowing, nullptr, kOverflowStack);
    }
    for (;;)
        pause();
}

// ---- this program ----

std::string g_self;

void crashOnce(benchmark::State &state, const char *mode)
{
    std::string pattern = (fs::temp_directory_path() / "flt-freeze-XXXXXX").string();
    const char *folder = mkdtemp(pattern.data());
    if (!folder) {
        state.SkipWithError("no folder");
        return;
    }
    int fds[2];
    if (pipe(fds) != 0) {
        state.SkipWithError("no pipe");
        return;
    }
    const std::string descriptor = std::to_string(fds[1]);
    const char *argv[] = {g_self.c_str(), "--crash-child",    mode,
                          folder,         descriptor.c_str(), nullptr};
    pid_t child = -1;
    if (posix_spawn(&child, g_self.c_str(), nullptr, nullptr, const_cast<char **>(argv), environ)
        != 0) {
        state.SkipWithError("no child");
        return;
    }
    close(fds[1]);
    int64_t faulted = 0;
    const bool gotTime = read(fds[0], &faulted, sizeof faulted) == sizeof faulted;
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    const int64_t ended = nowNanoseconds();
    close(fds[0]);
    const bool recorded = fs::exists(fs::path(folder) / "signal.fltrecord");
    fs::remove_all(folder);
    if (!gotTime || !WIFSIGNALED(status) || WTERMSIG(status) != SIGSEGV || !recorded) {
        state.SkipWithError("the child did not crash as planned");
        return;
    }
    state.SetIterationTime(static_cast<double>(ended - faulted) / 1e9);
}

void BM_CrashFreeze_Threads(benchmark::State &state)
{
    for (auto _ : state)
        crashOnce(state, "threads");
}
BENCHMARK(BM_CrashFreeze_Threads)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_CrashFreeze_StackOverflow(benchmark::State &state)
{
    for (auto _ : state)
        crashOnce(state, "overflow");
}
BENCHMARK(BM_CrashFreeze_StackOverflow)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

} // namespace

int main(int argc, char **argv)
{
    if (argc == 5 && std::strcmp(argv[1], "--crash-child") == 0)
        crashChild(argv[2], argv[3], std::atoi(argv[4]));
    g_self = fs::read_symlink("/proc/self/exe").string();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
