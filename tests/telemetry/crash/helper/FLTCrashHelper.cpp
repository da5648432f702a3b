// A child process for the crash capture tests: it starts the crash context in the folder it is
// given, then fails in the way its first argument names. The tests check how it ended and the
// record files it left behind. Started again in the mode "next-launch", it hands the reports of
// its earlier launches to symbolication, packaging and upload, as the next launch does.
//
// The allocation functions and pthread_mutex_lock are interposed: called on an alternate signal
// stack (that is, from a crash handler) they end the process with exit status 97, so a child that
// dies by its signal has recorded its crash without allocating or locking.

#include "telemetry/TallyKit/TLYFileUtils.h"
#include "telemetry/TallyKit/TLYTallyController.h"
#include "telemetry/TallyKit/Tally.h"
#include "telemetry/core/PLNCertificatePinner.h"
#include "telemetry/core/PLNSettingsOnboardingManager.h"
#include "telemetry/core/Plinth.h"
#include "telemetry/crash/FLTContext.h"
#include "telemetry/crash/FLTCrashReportingController.h"
#include "telemetry/crash/FLTFileManager.h"
#include "telemetry/crash/FLTSignalHandler.h"
#include "telemetry/crash/Faultline.h"
#include "telemetry/platform/AppInfo.h"
#include "telemetry/platform/DispatchQueue.h"
#include "telemetry/platform/Host.h"
#include "telemetry/platform/NotificationBus.h"
#include "telemetry/platform/SystemLog.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dlfcn.h>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <vector>
#include <fcntl.h>
#include <linux/futex.h>
#include <pthread.h>
#include <sched.h>
#include <stdexcept>
#include <string>
#include <cstddef>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *pointer, size_t size);
void __libc_free(void *pointer);
}

namespace {

std::atomic<bool> g_armed{false};
using MutexLock = int (*)(pthread_mutex_t *);
MutexLock g_realMutexLock = nullptr;

bool onAlternateStack()
{
    stack_t stack;
    return sigaltstack(nullptr, &stack) == 0 && (stack.ss_flags & SS_ONSTACK);
}

void checkNotInHandler(const char *what)
{
    if (!g_armed.load(std::memory_order_relaxed) || !onAlternateStack())
        return;
    const char prefix[] = "crash handler called ";
    (void)!write(2, prefix, sizeof prefix - 1);
    (void)!write(2, what, strlen(what));
    (void)!write(2, "\n", 1);
    _exit(97);
}

} // namespace

extern "C" void *malloc(size_t size)
{
    checkNotInHandler("malloc");
    return __libc_malloc(size);
}

extern "C" void *calloc(size_t count, size_t size)
{
    checkNotInHandler("calloc");
    return __libc_calloc(count, size);
}

extern "C" void *realloc(void *pointer, size_t size)
{
    checkNotInHandler("realloc");
    return __libc_realloc(pointer, size);
}

extern "C" void free(void *pointer)
{
    checkNotInHandler("free");
    __libc_free(pointer);
}

extern "C" int pthread_mutex_lock(pthread_mutex_t *mutex)
{
    checkNotInHandler("pthread_mutex_lock");
    // Static initialisers of the libraries may lock before main has looked the real one up.
    MutexLock real = __atomic_load_n(&g_realMutexLock, __ATOMIC_ACQUIRE);
    if (!real) {
        real = reinterpret_cast<MutexLock>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
        __atomic_store_n(&g_realMutexLock, real, __ATOMIC_RELEASE);
    }
    return real(mutex);
}

namespace quintora_crash {

int *volatile g_target = nullptr; // volatile: the compiler must not prove the store away

// A crash inside C++ names with a namespace and a template, for symbolication to spell out.
template <typename T> struct Walker {
    __attribute__((noinline)) static void leaf(T depth)
    {
        *g_target = static_cast<int>(depth);
        asm volatile("" ::: "memory");
    }
    __attribute__((noinline)) static void mid(T depth)
    {
        leaf(depth + 1);
        asm volatile("" ::: "memory");
    }
    __attribute__((noinline)) static void outer(T depth)
    {
        mid(depth + 1);
        asm volatile("" ::: "memory");
    }
};

} // namespace quintora_crash

namespace {

int *volatile g_nowhere = nullptr; // volatile: the compiler must not prove the store away
int g_pipe[2];
int32_t g_futexWord = 0;
std::atomic<int> g_ready{0};
std::atomic<bool> g_go{false};

void start(const char *folder)
{
    g_realMutexLock = reinterpret_cast<MutexLock>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
    FLTContextInitData data;
    data.apiKey = "0123456789abcdef0123456789abcdef01234567";
    data.reportPath = folder;
    data.sessionIdentifier = "session";
    data.installIdentifier = "install";
    data.bundleIdentifier = "org.quintora.crash-helper";
    data.buildVersion = "1";
    data.displayVersion = "1.0";
    if (!FLTContextInitialize(&data)) {
        fprintf(stderr, "context initialisation failed\n");
        exit(2);
    }
    g_armed = true;
}

__attribute__((noinline)) void leaf(int depth)
{
    *g_nowhere = depth;
    asm volatile("" ::: "memory");
}

__attribute__((noinline)) void mid(int depth)
{
    leaf(depth + 1);
    asm volatile("" ::: "memory");
}

__attribute__((noinline)) void outer(int depth)
{
    mid(depth + 1);
    asm volatile("" ::: "memory");
}

__attribute__((noinline)) void blockInRead()
{
    char byte;
    while (read(g_pipe[0], &byte, 1) < 0 && errno == EINTR) {
    }
    asm volatile("" ::: "memory");
}

__attribute__((noinline)) void blockInSleep()
{
    timespec forever{3600, 0};
    while (nanosleep(&forever, &forever) != 0 && errno == EINTR) {
    }
    asm volatile("" ::: "memory");
}

__attribute__((noinline)) void blockInFutex()
{
    while (__atomic_load_n(&g_futexWord, __ATOMIC_SEQ_CST) == 0)
        syscall(SYS_futex, &g_futexWord, FUTEX_WAIT, 0, nullptr, nullptr, 0);
    asm volatile("" ::: "memory");
}

std::atomic<pid_t> g_blockedThreads[8];

// Whether the thread is asleep in the kernel (state "S" in its stat line).
// Whether a thread is in a scheduler state ('S' asleep, 'D' asleep beyond interruption).
bool sleeping(pid_t tid, char state = 'S')
{
    char path[64];
    snprintf(path, sizeof path, "/proc/self/task/%d/stat", static_cast<int>(tid));
    FILE *file = fopen(path, "r");
    if (!file)
        return false;
    char line[512] = {};
    const bool read = fgets(line, sizeof line, file) != nullptr;
    fclose(file);
    const char *end = read ? strrchr(line, ')') : nullptr;
    return end && end[1] == ' ' && end[2] == state;
}

// A thread held asleep in the kernel beyond interruption: it starts a child that shares its
// memory, as vfork does, and waits until that child ends some milliseconds later.
std::atomic<pid_t> g_heldThread{0};
alignas(16) char g_heldChildStack[65536];

int heldChild(void *milliseconds)
{
    // On the held thread's memory: system calls only. The helper's files are let go at once, so
    // that nobody reading them waits beyond the helper's end.
    syscall(SYS_close_range, 0u, ~0u, 0u);
    const long hold = reinterpret_cast<long>(milliseconds);
    const timespec pause{hold / 1000, hold % 1000 * 1'000'000};
    syscall(SYS_nanosleep, &pause, nullptr);
    syscall(SYS_exit, 0);
    return 0;
}

__attribute__((noinline)) void holdInTheKernel(long milliseconds)
{
    clone(heldChild, g_heldChildStack + sizeof g_heldChildStack, CLONE_VM | CLONE_VFORK | SIGCHLD,
          reinterpret_cast<void *>(milliseconds));
    asm volatile("" ::: "memory");
}

void *heldThread(void *milliseconds)
{
    pthread_setname_np(pthread_self(), "held");
    g_heldThread = static_cast<pid_t>(syscall(SYS_gettid));
    holdInTheKernel(reinterpret_cast<long>(milliseconds));
    blockInSleep();
    return nullptr;
}

void *blockedThread(void *argument)
{
    const auto index = reinterpret_cast<intptr_t>(argument);
    g_blockedThreads[index] = static_cast<pid_t>(syscall(SYS_gettid));
    char name[16];
    snprintf(name, sizeof name, "blocked-%ld", static_cast<long>(index));
    pthread_setname_np(pthread_self(), name);
    g_ready.fetch_add(1);
    switch (index % 3) {
    case 0: blockInRead(); break;
    case 1: blockInSleep(); break;
    default: blockInFutex(); break;
    }
    return nullptr;
}

volatile int g_recursionLimit = -1; // never reached: the recursion only ends by overflow

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

void *recursionThread(void *)
{
    FLTSignalInstallAltStackForCurrentThread();
    pthread_setname_np(pthread_self(), "recursing");
    recurse(0);
    return nullptr;
}

void *faultingThread(void *)
{
    g_ready.fetch_add(1);
    while (!g_go.load()) {
    }
    leaf(1);
    return nullptr;
}

void *signalBlockingThread(void *)
{
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);
    pthread_setname_np(pthread_self(), "deaf");
    g_ready.fetch_add(1);
    blockInSleep();
    return nullptr;
}

void *spinningThread(void *)
{
    pthread_setname_np(pthread_self(), "spinner");
    g_ready.fetch_add(1);
    // A known value in a callee-saved register, kept there while spinning.
    asm volatile("movabs $0x5a5a5a5a12121212, %%r12\n"
                 "1: pause\n"
                 "jmp 1b\n" ::
                     : "r12");
    return nullptr;
}

__attribute__((noinline)) void callPlugin(void (*fault)(int))
{
    fault(3);
    asm volatile("" ::: "memory");
}

void previousTerminate()
{
    const char *marker = getenv("FLT_TERMINATE_MARKER");
    if (marker) {
        const int fd = open(marker, O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            (void)!write(fd, "previous\n", 9);
            close(fd);
        }
    }
    abort();
}

bool hasAltStack()
{
    stack_t stack;
    return sigaltstack(nullptr, &stack) == 0 && !(stack.ss_flags & SS_DISABLE);
}

// A thread of the application's own, prepared for crash capture through the kit's public call.
void *appThread(void *)
{
    Faultline::prepareCurrentThread();
    Faultline::prepareCurrentThread(); // again: changes nothing
    if (!hasAltStack()) {
        fprintf(stderr, "no alternate stack after preparing\n");
        _exit(6);
    }
    recurse(0);
    return nullptr;
}

// A thread whose name, as the kernel keeps it, is not UTF-8.
void *oddlyNamedThread(void *)
{
    prctl(PR_SET_NAME, "odd\xff\xfename", 0, 0, 0);
    g_ready.fetch_add(1);
    blockInSleep();
    return nullptr;
}

// Copies the test plugin into `folder` under a name that is not UTF-8 and opens it there.
void *openPluginUnderAnOddName(const char *folder)
{
    const std::string directory = std::string(folder) + "/lib\xe9\xff";
    const std::string copy = directory + "/plugin.so";
    const char *plugin = getenv("FLT_CRASH_PLUGIN");
    if (!plugin || mkdir(directory.c_str(), 0755) != 0)
        return nullptr;
    const int in = open(plugin, O_RDONLY);
    const int out = open(copy.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0755);
    char buffer[65536];
    ssize_t n;
    while (in >= 0 && out >= 0 && (n = read(in, buffer, sizeof buffer)) > 0)
        (void)!write(out, buffer, static_cast<size_t>(n));
    close(in);
    close(out);
    return dlopen(copy.c_str(), RTLD_NOW);
}

constexpr size_t kStackSize = 8 << 20;

// Refuses ptrace to this process and whatever it starts, as some containers do.
void denyTracing()
{
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_ptrace, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (EPERM & SECCOMP_RET_DATA)),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program{static_cast<unsigned short>(sizeof filter / sizeof filter[0]), filter};
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0
        || prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) {
        fprintf(stderr, "cannot refuse tracing\n");
        _exit(8);
    }
}

pthread_t spawn(void *(*body)(void *), void *argument)
{
    // A fixed stack size, whatever the stack limit, so that recursion ends in the same depth.
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, kStackSize);
    pthread_t thread;
    pthread_create(&thread, &attributes, body, argument);
    pthread_attr_destroy(&attributes);
    return thread;
}

// A queue worker that recurses until its stack overflows. The worker is a thread of the telemetry
// library: nothing here gives it an alternate stack. With `early` the worker already runs before
// the crash context starts.
[[noreturn]] void recurseOnQueue(const char *folder, bool early)
{
    // Threads the library starts get the default size: fix it, whatever the stack limit.
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, kStackSize);
    pthread_setattr_default_np(&attributes);
    pthread_attr_destroy(&attributes);
    auto *queue = new tel::DispatchQueue("org.quintora.crash-helper.recursing");
    if (early) {
        g_realMutexLock = reinterpret_cast<MutexLock>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
        queue->sync([] {});
    }
    start(folder);
    queue->async([] { recurse(0); });
    for (;;)
        pause(); // the capture signal wakes this thread too: keep waiting for the end
}

// The reports' next launch: the store of this program under XDG_CACHE_HOME, uploads pinned to the
// certificate in the DER file given, the endpoint from FaultlineReportsEndpoint. Ends with 0 once
// the store is empty.
class HelperDelegate : public FLTCrashReportingControllerDelegate
{
public:
    std::optional<std::string>
    APIKeyForCrashReportingController(FLTCrashReportingController *) override
    {
        return "0123456789abcdef0123456789abcdef01234567";
    }
    FLTSettings settingsForCrashReportingController(FLTCrashReportingController *) override
    {
        return FLTSettings(std::nullopt);
    }
};

// How long a launch waits at most for its earlier reports and uploads to be done. Alone that
// takes a second or two; on a machine busy with other work the same steps can take many times
// longer, so the bound only ends a launch that would otherwise never finish. The tests give a
// launch longer than this.
constexpr std::chrono::seconds kPatience{240};

// Asks `done` every 10 ms until it answers true (then true) or the patience has run out (false).
template <class Done> bool waitPatiently(Done done)
{
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        usleep(10000);
    }
    return true;
}

// Whether an upload of this launch failed: its package then carries a count of failed attempts
// (or was set aside), and nothing here tries again.
bool anUploadFailed(const FLTFileManager &fileManager)
{
    std::error_code error;
    const std::string quarantine = fileManager.quarantinePath();
    if (std::filesystem::exists(quarantine, error) && !std::filesystem::is_empty(quarantine, error))
        return true;
    for (const auto &entry :
         std::filesystem::directory_iterator(fileManager.preparedPath(), error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 9 && name.compare(name.size() - 9, 9, ".attempts") == 0)
            return true;
    }
    return false;
}

int nextLaunch(const char *certificateFile)
{
    tel::PlistValue::Dictionary info;
    info["CFBundleIdentifier"] = tel::PlistValue(std::string("org.quintora.crash-helper"));
    tel::AppInfo::setInfoDictionary(tel::PlistValue(info));
    std::ifstream in(certificateFile, std::ios::binary);
    const std::vector<unsigned char> der((std::istreambuf_iterator<char>(in)),
                                         std::istreambuf_iterator<char>());
    PLNCertificatePinner::setPinnedCertificatesForTesting(std::vector<PLNCertificate>{der});
    auto fileManager = std::make_shared<FLTFileManager>("org.quintora.crash-helper");
    auto delegate = std::make_shared<HelperDelegate>();
    auto controller = FLTCrashReportingController::create(fileManager, delegate);
    if (!controller->startWithEarlierReports())
        return 2;
    if (!waitPatiently([&] {
            return fileManager->activePathContents().empty()
                   && fileManager->processingPathContents().empty()
                   && fileManager->preparedPathContents().empty();
        }))
        return 3;
    controller->operationQueue()->waitUntilAllOperationsAreFinished();
    printf("store-empty\n");
    return 0;
}

// A whole launch of the kit: this launch's folder, the crash context with its handlers, the
// earlier launches' reports. The main thread's loop is this program's own: blocks handed to it
// wait until the program turns it. The launch identifier is the folder argument; the action
// follows it:
//   turn           turn the loop until the store holds only this launch, then end with 0
//   crash          turn the loop once, record user values, then the kit's test crash
//   crash-early    crash (SIGSEGV) before the loop ever turns
//   crash-library-thread  turn the loop once, then open the library FLT_CRASH_PLUGIN names,
//                  whose own plain thread overflows its stack
// FLT_TEST_CA names the DER certificate uploads are pinned to; FLT_DELEGATE=decline answers
// "do not send" to every earlier report; FLT_PROMPT=always|never answers the send prompt (the
// settings then ask for one), and the number of prompts shown is printed.
std::mutex g_mainQueueMutex;
std::vector<std::function<void()>> g_mainQueue;
std::atomic<int> g_prompts{0};

void turnMainLoop()
{
    std::vector<std::function<void()>> blocks;
    {
        std::lock_guard lock(g_mainQueueMutex);
        blocks.swap(g_mainQueue);
    }
    for (auto &block : blocks)
        block();
}

class KitDelegate : public FLTCrashReportingControllerDelegate
{
public:
    explicit KitDelegate(std::string identifier)
        : m_identifier(std::move(identifier))
    {
    }
    std::optional<std::string>
    APIKeyForCrashReportingController(FLTCrashReportingController *) override
    {
        return "0123456789abcdef0123456789abcdef01234567";
    }
    FLTSettings settingsForCrashReportingController(FLTCrashReportingController *) override
    {
        if (!getenv("FLT_PROMPT"))
            return FLTSettings(std::nullopt);
        return FLTSettings(nlohmann::json{{"features", {{"prompt_enabled", true}}}});
    }
    std::optional<std::string>
    executionIdentifierForCrashReportingController(FLTCrashReportingController *) override
    {
        return m_identifier;
    }
    bool reportingControllerMustInformDelegateOfReports(FLTCrashReportingController *) override
    {
        return declines();
    }
    void reportingControllerDidDetectReportForLastExecution(
        FLTCrashReportingController *, const std::shared_ptr<FLTInternalReport> &,
        std::function<void(bool)> completion) override
    {
        completion(!declines());
    }
    bool reportingControllerDisplayPermissionPrompt(
        FLTCrashReportingController *, const FLTPromptTexts &texts,
        std::function<void(FLTPromptAnswer)> completion) override
    {
        ++g_prompts;
        const char *answer = getenv("FLT_PROMPT");
        if (texts.title != "Send Crash Report?")
            return false;
        completion(answer && std::string(answer) == "always" ? FLTPromptAnswer::AlwaysSend
                                                             : FLTPromptAnswer::DoNotSend);
        return true;
    }

private:
    static bool declines()
    {
        const char *value = getenv("FLT_DELEGATE");
        return value && std::string(value) == "decline";
    }
    std::string m_identifier;
};

__attribute__((noinline)) void crashBeforeTheLoop()
{
    *g_nowhere = 7;
    asm volatile("" ::: "memory");
}

int kitLaunch(const char *identifier, const std::string &action)
{
    g_realMutexLock = reinterpret_cast<MutexLock>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
    tel::PlistValue::Dictionary info;
    info["CFBundleIdentifier"] = tel::PlistValue(std::string("org.quintora.crash-helper"));
    tel::AppInfo::setInfoDictionary(tel::PlistValue(info));
    if (const char *certificate = getenv("FLT_TEST_CA")) {
        std::ifstream in(certificate, std::ios::binary);
        const std::vector<unsigned char> der((std::istreambuf_iterator<char>(in)),
                                             std::istreambuf_iterator<char>());
        PLNCertificatePinner::setPinnedCertificatesForTesting(std::vector<PLNCertificate>{der});
    }
    tel::Host::Hooks hooks;
    hooks.mainThreadExecutor = [](std::function<void()> block) {
        std::lock_guard lock(g_mainQueueMutex);
        g_mainQueue.push_back(std::move(block));
    };
    tel::Host::install(hooks);
    auto fileManager = std::make_shared<FLTFileManager>("org.quintora.crash-helper");
    auto delegate = std::make_shared<KitDelegate>(identifier);
    auto controller = FLTCrashReportingController::create(fileManager, delegate);
    controller->setScheduler([](double, std::function<void()>) {});
    const bool started = controller->startWithProfilingMark(
        FLTCrashReportingController::monotonicMilliseconds(), std::nullopt);
    // What start left of the earlier launches: an urgent report is gone before it returns.
    const auto leftOver = [&] {
        size_t count = fileManager->processingPathContents().size()
                       + fileManager->preparedPathContents().size();
        for (const auto &path : fileManager->activePathContents())
            count += path.substr(path.rfind('/') + 1) != identifier;
        return count;
    };
    printf("started %d last-launch-failed %d left %zu\n", started ? 1 : 0,
           controller->lastLaunchFailed() ? 1 : 0, leftOver());
    fflush(stdout);
    if (!started)
        return 2;
    g_armed = true;
    if (action == "crash-early")
        crashBeforeTheLoop();
    turnMainLoop();
    if (action == "crash-library-thread") {
        // A library opened now starts a thread of its own that overflows its stack.
        const char *plugin = getenv("FLT_CRASH_PLUGIN");
        void *library = plugin ? dlopen(plugin, RTLD_NOW) : nullptr;
        auto overflow =
            library ? reinterpret_cast<void (*)()>(dlsym(library, "flt_plugin_overflow_in_thread"))
                    : nullptr;
        if (!overflow) {
            fprintf(stderr, "no plugin: %s\n", dlerror());
            return 5;
        }
        overflow();
    }
    if (action == "crash") {
        Faultline &kit = Faultline::sharedInstance();
        kit.setUserIdentifier("user-31");
        kit.setUserName("Ada");
        kit.setObjectValue("flowchart", "diagram");
        kit.setIntValue(42, "shapes");
        FLTError error;
        error.domain = "org.quintora.test";
        error.code = 7;
        kit.recordError(error, {{"step", "layout"}});
        kit.recordCustomExceptionName("LayoutStalled", "no progress",
                                      {FLTStackFrame::stackFrameWithSymbol("layoutPass")});
        Faultline::crash();
    }
    bool failed = false;
    const bool settled = waitPatiently([&] {
        turnMainLoop();
        // Failed uploads are tried again only at a later launch.
        failed = anUploadFailed(*fileManager);
        if (failed)
            return true;
        // A package is written under a hidden name before it shows: the store is settled only
        // when it is still empty once the work queue has run dry.
        if (leftOver() != 0)
            return false;
        controller->operationQueue()->waitUntilAllOperationsAreFinished();
        turnMainLoop();
        return leftOver() == 0;
    });
    if (failed) {
        printf("an upload failed\n");
        return 4;
    }
    if (!settled) {
        printf("not settled: %zu reports left\n", leftOver());
        return 3;
    }
    printf("settled prompts %d\n", g_prompts.load());
    return 0;
}

// A launch of the whole telemetry client the way an application starts it: Plinth::with the
// crash kit (which starts usage analytics), an Info.plist with an API key, the settings and the
// reports endpoints from the environment (SettingsEndpoint, FaultlineReportsEndpoint), uploads
// pinned to FLT_TEST_CA. The main thread's loop is this program's own. Actions:
//   crash   wait for the settings, log a custom event through the crash kit, wait until it is
//           written, then the kit's test crash
//   turn    turn the loop until the earlier launches' reports are sent and analytics has nothing
//           left to send, then end with 0
int plinthLaunch(const std::string &action)
{
    g_realMutexLock = reinterpret_cast<MutexLock>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
    tel::PlistValue::Dictionary plinth;
    plinth["APIKey"] = tel::PlistValue(std::string("0123456789abcdef0123456789abcdef01234567"));
    tel::PlistValue::Dictionary info;
    info["CFBundleIdentifier"] = tel::PlistValue(std::string("org.quintora.crash-helper"));
    info["CFBundleVersion"] = tel::PlistValue(std::string("7"));
    info["CFBundleShortVersionString"] = tel::PlistValue(std::string("0.7"));
    info["Plinth"] = tel::PlistValue(plinth);
    tel::AppInfo::setInfoDictionary(tel::PlistValue(info));
    if (const char *certificate = getenv("FLT_TEST_CA")) {
        std::ifstream in(certificate, std::ios::binary);
        const std::vector<unsigned char> der((std::istreambuf_iterator<char>(in)),
                                             std::istreambuf_iterator<char>());
        PLNCertificatePinner::setPinnedCertificatesForTesting(std::vector<PLNCertificate>{der});
    }
    tel::Host::Hooks hooks;
    hooks.mainThreadExecutor = [](std::function<void()> block) {
        std::lock_guard lock(g_mainQueueMutex);
        g_mainQueue.push_back(std::move(block));
    };
    std::atomic<bool> settingsArrived{false};
    auto observer = tel::NotificationBus::defaultBus().addObserver(
        PLNSettingsAvailableNotification, nullptr,
        [&](const tel::TelemetryNotification &) { settingsArrived = true; });
    // A download of the settings that failed is not tried again in this launch: the waits for
    // the settings end at once. Log lines still go to standard error.
    static std::atomic<bool> settingsFailed{false};
    tel::SystemLog::setSink([](const std::string &line) {
        if (line.rfind("[Plinth] failed to download settings", 0) == 0)
            settingsFailed = true;
        const std::string out = line + '\n';
        (void)!write(STDERR_FILENO, out.data(), out.size());
    });
    Plinth::with({&Faultline::metaClass()}, hooks);
    auto controller = Faultline::sharedInstance().crashReportingController();
    if (!controller)
        return 2;
    g_armed = true;
    const std::string events =
        TLYTallyController::eventDirectoryForRootDirectory(TLYTallyController::rootDirectory());
    if (action == "crash") {
        if (!waitPatiently([&] {
                turnMainLoop();
                return settingsArrived || settingsFailed;
            })
            || !settingsArrived) {
            printf("no settings\n");
            return 3;
        }
        turnMainLoop();
        Faultline::logEvent("diagram_exported", {{"format", "svg"}});
        Tally::waitUntilRecorded();
        // Report times are whole seconds: the crash comes a second after the launch started, so
        // the two cannot be mistaken for each other.
        sleep(1);
        Faultline::crash();
    }
    const std::string identifier = Plinth::sharedSDK().executionIdentifier();
    const auto &fileManager = *controller->fileManager();
    const auto settled = [&] {
        for (const auto &path : fileManager.activePathContents())
            if (path.substr(path.rfind('/') + 1) != identifier)
                return false;
        return settingsArrived && fileManager.processingPathContents().empty()
               && fileManager.preparedPathContents().empty()
               && TLYFileUtils::filesWithExtension("multipartmime", events).empty()
               && TLYFileUtils::filesWithExtension("gz", events).empty()
               && TLYFileUtils::filesWithExtension("log", events).size() <= 1;
    };
    const bool done = waitPatiently([&] {
        turnMainLoop();
        Tally::waitUntilRecorded();
        if (settingsFailed)
            return true;
        if (!settled())
            return false;
        controller->operationQueue()->waitUntilAllOperationsAreFinished();
        turnMainLoop();
        Tally::waitUntilRecorded();
        return settled();
    });
    if (!done || settingsFailed) {
        printf("not settled%s\n", settingsArrived ? "" : ": no settings");
        return 3;
    }
    printf("settled\n");
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr,
                "usage: %s "
                "check-handlers|segv|segv-chained|segv-template|next-launch|threads|stubborn-"
                "threads|held-thread|late-library|allocating-"
                "handler|recursion-main|recursion-thread|recursion-queue[-early]|two-threads|"
                "terminate[-abort-handler]|app-thread|odd-names|unloaded-library FOLDER\n"
                "       %s kit-launch IDENTIFIER [turn|crash|crash-early|crash-library-thread]\n"
                "       %s plinth-launch turn|crash\n",
                argv[0], argv[0], argv[0]);
        return 2;
    }
    const std::string mode = argv[1];
    if (mode == "next-launch")
        return nextLaunch(argv[2]);
    if (mode == "kit-launch")
        return kitLaunch(argv[2], argc > 3 ? argv[3] : "turn");
    if (mode == "plinth-launch")
        return plinthLaunch(argv[2]);
    if (mode.rfind("terminate", 0) == 0)
        std::set_terminate(previousTerminate);
    if (mode == "segv-chained") {
        // A handler that was there first: it leaves a mark and lets the default action end us.
        struct sigaction action {
        };
        action.sa_handler = [](int signal) {
            const char *marker = getenv("FLT_PREVIOUS_HANDLER_MARKER");
            const int fd = marker ? open(marker, O_WRONLY | O_CREAT | O_TRUNC, 0644) : -1;
            if (fd >= 0)
                close(fd);
            ::signal(signal, SIG_DFL);
        };
        sigaction(SIGSEGV, &action, nullptr);
    }
    if (mode == "allocating-handler") {
        // Shows that the interposed allocator notices allocation inside a handler.
        g_realMutexLock = reinterpret_cast<MutexLock>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
        FLTSignalInstallAltStackForCurrentThread();
        struct sigaction action {
        };
        action.sa_handler = [](int) {
            // Called through volatile pointers: a compiler may drop a plain free(malloc(n)).
            static void *(*volatile allocate)(size_t) = malloc;
            static void (*volatile release)(void *) = free;
            release(allocate(16));
        };
        action.sa_flags = SA_ONSTACK;
        sigaction(SIGSEGV, &action, nullptr);
        g_armed = true;
        outer(1);
        return 1;
    }
    if (mode == "recursion-queue" || mode == "recursion-queue-early")
        recurseOnQueue(argv[2], mode == "recursion-queue-early");
    if (mode == "terminate-abort-handler") {
        // The application's own abort handler, there before the kit: it leaves a mark and lets
        // the default action end us.
        struct sigaction action {
        };
        action.sa_handler = [](int signal) {
            const char *marker = getenv("FLT_PREVIOUS_HANDLER_MARKER");
            const int fd = marker ? open(marker, O_WRONLY | O_CREAT | O_TRUNC, 0644) : -1;
            if (fd >= 0)
                close(fd);
            ::signal(signal, SIG_DFL);
        };
        sigaction(SIGABRT, &action, nullptr);
    }
    if (mode == "app-thread") {
        // Before the kit starts, preparing a thread does nothing.
        Faultline::prepareCurrentThread();
        if (hasAltStack()) {
            fprintf(stderr, "an alternate stack before the kit started\n");
            return 5;
        }
    }
    if (getenv("FLT_NO_TRACE"))
        denyTracing();
    void *closedLater = nullptr;
    if (mode == "unloaded-library") {
        // Opened before the kit starts, so the start-up scan lists it; closed before the crash.
        g_realMutexLock = reinterpret_cast<MutexLock>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
        closedLater = dlopen(getenv("FLT_CRASH_PLUGIN"), RTLD_NOW);
        if (!closedLater)
            return 4;
    }
    start(argv[2]);

    if (mode == "segv" || mode == "segv-chained") {
        outer(1);
    } else if (mode == "segv-template") {
        quintora_crash::Walker<long>::outer(1);
    } else if (mode == "threads") {
        if (pipe(g_pipe) != 0)
            return 3;
        for (intptr_t i = 0; i < 8; ++i)
            spawn(blockedThread, reinterpret_cast<void *>(i));
        while (g_ready.load() < 8) {
        }
        // Wait until every thread sleeps in its system call (at most a few seconds).
        for (int tries = 0; tries < 500; ++tries) {
            bool all = true;
            for (const auto &tid : g_blockedThreads)
                all = all && sleeping(tid.load());
            if (all)
                break;
            usleep(10000);
        }
        outer(1);
    } else if (mode == "held-thread") {
        const char *hold = getenv("FLT_HOLD_MS");
        spawn(heldThread, reinterpret_cast<void *>(hold ? atol(hold) : 1000));
        // Crashes once the thread sleeps in the kernel (at most a few seconds from now).
        for (int tries = 0; tries < 500; ++tries) {
            const pid_t held = g_heldThread.load();
            if (held && sleeping(held, 'D'))
                break;
            usleep(10000);
        }
        outer(1);
    } else if (mode == "stubborn-threads") {
        spawn(signalBlockingThread, nullptr);
        spawn(spinningThread, nullptr);
        while (g_ready.load() < 2) {
        }
        usleep(100000);
        outer(1);
    } else if (mode == "check-handlers") {
        signal(SIGBUS, SIG_IGN); // someone else's handler, installed after ours
        FLTSignalCheckHandlers();
        return 0;
    } else if (mode == "late-library") {
        void *plugin = dlopen(getenv("FLT_CRASH_PLUGIN"), RTLD_NOW);
        auto fault =
            plugin ? reinterpret_cast<void (*)(int)>(dlsym(plugin, "flt_plugin_fault")) : nullptr;
        if (!fault)
            return 4;
        callPlugin(fault);
    } else if (mode == "recursion-main") {
        // The main stack grows up to the limit: keep it at 8 MiB even where it is unlimited.
        struct rlimit limit {
            kStackSize, kStackSize
        };
        setrlimit(RLIMIT_STACK, &limit);
        recurse(0);
    } else if (mode == "recursion-thread") {
        pthread_join(spawn(recursionThread, nullptr), nullptr);
    } else if (mode == "two-threads") {
        spawn(faultingThread, nullptr);
        spawn(faultingThread, nullptr);
        while (g_ready.load() < 2) {
        }
        g_go = true;
        for (;;)
            pause(); // the capture signal wakes this thread too: keep waiting for the end
    } else if (mode == "app-thread") {
        pthread_join(spawn(appThread, nullptr), nullptr);
    } else if (mode == "odd-names") {
        spawn(oddlyNamedThread, nullptr);
        while (g_ready.load() < 1) {
        }
        if (!openPluginUnderAnOddName(argv[2]))
            return 4;
        outer(1);
    } else if (mode == "unloaded-library") {
        dlclose(closedLater);
        outer(1);
    } else if (mode == "terminate" || mode == "terminate-abort-handler") {
        throw std::runtime_error("boom");
    } else if (mode == "terminate-c-string") {
        throw "a C string";
    } else if (mode == "terminate-string") {
        throw std::string("a string object");
    } else if (mode == "terminate-int") {
        throw 42;
    } else if (mode == "sigfpe") {
        volatile int numerator = 7; // both unknown, so a real division is made
        volatile int zero = 0;
        volatile int result = numerator / zero;
        (void)result;
    } else if (mode == "sigill") {
        asm volatile("ud2");
    } else if (mode == "sigtrap") {
        asm volatile("int3");
    } else if (mode == "abort") {
        abort();
    } else if (mode == "kill-segv") {
        kill(getpid(), SIGSEGV); // sent, not caused: returning from the handler does not repeat it
        sleep(5);
    }
    return 1;
}
