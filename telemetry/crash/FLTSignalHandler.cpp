#include "FLTSignalHandler.h"

#include "FLTFile.h"
#include "FLTProcess.h"
#include "FLTSDKLog.h"
#include "FLTThreadCreation.h"

#include "telemetry/platform/ThreadStartHook.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dlfcn.h>
#include <linux/futex.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

const int kFLTHandledSignals[kFLTHandledSignalCount] = {SIGABRT, SIGBUS, SIGFPE, SIGILL,
                                                        SIGSEGV, SIGSYS, SIGTRAP};

namespace {

constexpr size_t kThreadAltStackSize = 262144;
constexpr size_t kGuardPageSize = 4096;

// The alternate stack a thread mapped for itself. Threads come and go (queue workers end with
// their queue), so the mapping goes with the thread instead of staying behind for good.
struct ThreadAltStack {
    void *mapping = nullptr;
    ~ThreadAltStack() { FLTSignalReleaseAltStackForCurrentThread(); }
};
thread_local ThreadAltStack t_altStack;

void installAltStackOnLibraryThread()
{
    FLTSignalInstallAltStackForCurrentThread();
}
constexpr int64_t kWaitForRecorderSeconds = 30;

void installHandler(int signal, void (*handler)(int, siginfo_t *, void *),
                    struct sigaction *previous)
{
    struct sigaction action;
    memset(&action, 0, sizeof action);
    sigemptyset(&action.sa_mask);
    action.sa_sigaction = handler;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESTART;
    if (sigaction(signal, &action, previous) != 0)
        FLT_WARN("WARN  [%s:%d] Unable to install handler for %d (%s)\n", signal, strerror(errno));
}

// A signal sent by a process (kill, tgkill, abort) or a trap does not come back by itself when
// the handler returns, unlike a fault whose instruction runs again.
bool signalRepeatsOnReturn(int signal, const siginfo_t *info)
{
    if (signal == SIGTRAP || signal == SIGABRT || signal == SIGSYS)
        return false;
    return reinterpret_cast<uintptr_t>(info) >= 4096 && info->si_code > 0;
}

void waitForRecorder(FLTWritableState *state)
{
    const time_t until = time(nullptr) + kWaitForRecorderSeconds;
    while (__atomic_load_n(&state->crashRecorded, __ATOMIC_SEQ_CST) == 0 && time(nullptr) < until) {
        timespec timeout{1, 0};
        syscall(SYS_futex, &state->crashRecorded, FUTEX_WAIT, 0, &timeout, nullptr, 0);
    }
}

void resetToDefault(int signal)
{
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
}

void writeSignalSection(FLTFile *file, int signal, const siginfo_t *info, int savedErrno)
{
    FLTFileWriteSectionStart(file, "signal");
    FLTFileWriteHashStart(file);
    if (reinterpret_cast<uintptr_t>(info) >= 4096) {
        const char *name = nullptr;
        const char *codeName = nullptr;
        FLTSignalNameLookup(info->si_signo, &name, &codeName);
        FLTFileWriteHashEntryUInt64(file, "number",
                                    static_cast<uint64_t>(static_cast<int64_t>(info->si_signo)));
        FLTFileWriteHashEntryUInt64(file, "code",
                                    static_cast<uint64_t>(static_cast<int64_t>(info->si_code)));
        FLTFileWriteHashEntryUInt64(file, "address", reinterpret_cast<uint64_t>(info->si_addr));
        FLTFileWriteHashEntryString(file, "name", name);
        FLTFileWriteHashEntryString(file, "code_name", codeName);
    }
    FLTFileWriteHashEntryUInt64(file, "errno", static_cast<uint64_t>(savedErrno));
    FLTFileWriteHashEntryUInt64(file, "time", static_cast<uint64_t>(time(nullptr)));
    FLTFileWriteHashEnd(file);
    FLTFileWriteSectionEnd(file);
    (void)signal;
}

} // namespace

void FLTSignalNameLookup(int signal, const char **name, const char **codeName)
{
    *codeName = nullptr;
    switch (signal) {
    case SIGILL: *name = "SIGILL"; break;
    case SIGTRAP: *name = "SIGTRAP"; break;
    case SIGABRT:
        *name = "SIGABRT";
        *codeName = "ABORT";
        break;
    case SIGFPE: *name = "SIGFPE"; break;
    case SIGBUS: *name = "SIGBUS"; break;
    case SIGSEGV: *name = "SIGSEGV"; break;
    case SIGSYS: *name = "SIGSYS"; break;
    default: *name = "UNKNOWN"; break;
    }
}

bool FLTSignalInstallAltStackForCurrentThread()
{
    stack_t current;
    if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE))
        return false;
    // A stack of ours that someone disabled since is reused rather than mapped twice.
    FLTSignalReleaseAltStackForCurrentThread();
    void *mapping = mmap(nullptr, kThreadAltStackSize + kGuardPageSize, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (mapping == MAP_FAILED)
        return false;
    mprotect(mapping, kGuardPageSize,
             PROT_NONE); // an overflow of the handler itself faults, not corrupts
    stack_t stack;
    stack.ss_sp = static_cast<char *>(mapping) + kGuardPageSize;
    stack.ss_size = kThreadAltStackSize;
    stack.ss_flags = 0;
    if (sigaltstack(&stack, nullptr) != 0) {
        FLT_WARN("WARN  [%s:%d] Unable to setup stack %s\n", strerror(errno));
        munmap(mapping, kThreadAltStackSize + kGuardPageSize);
        return false;
    }
    t_altStack.mapping = mapping;
    return true;
}

bool FLTSignalReleaseAltStackForCurrentThread()
{
    void *mapping = t_altStack.mapping;
    if (!mapping)
        return false;
    stack_t current;
    if (sigaltstack(nullptr, &current) != 0 || (current.ss_flags & SS_ONSTACK))
        return false;
    if (!(current.ss_flags & SS_DISABLE)
        && current.ss_sp == static_cast<char *>(mapping) + kGuardPageSize) {
        stack_t off;
        memset(&off, 0, sizeof off);
        off.ss_flags = SS_DISABLE;
        if (sigaltstack(&off, nullptr) != 0)
            return false;
    }
    munmap(mapping, kThreadAltStackSize + kGuardPageSize);
    t_altStack.mapping = nullptr;
    return true;
}

void FLTSignalInitialize(FLTSignalStore *store)
{
    FLTContext *context = FLTContextGet();
    if (!store || !context)
        return;
    if (store->path && unlink(store->path) != 0 && errno != ENOENT)
        FLT_WARN("WARN  [%s:%d] Unable to reset the signal log file %s\n", strerror(errno));

    stack_t stack;
    stack.ss_sp = context->signalStack;
    stack.ss_size = kFLTSignalStackSize;
    stack.ss_flags = 0;
    if (sigaltstack(&stack, &store->previousAltStack) == 0)
        store->hasPreviousAltStack = true;
    else
        FLT_WARN("WARN  [%s:%d] Unable to setup stack %s\n", strerror(errno));

    // A real-time signal from the top of the range: the bottom ones are the threading library's.
    store->captureSignal = SIGRTMAX - 3;
    installHandler(store->captureSignal, FLTProcessCaptureSignalHandler, nullptr);

    store->installed = true;
    FLTSignalEnumerateHandledSignals([store](int index, int signal) {
        struct sigaction previous;
        memset(&previous, 0, sizeof previous);
        installHandler(signal, FLTSignalHandler, &previous);
        const bool isDefault = !(previous.sa_flags & SA_SIGINFO) && previous.sa_handler == SIG_DFL;
        store->hasPreviousAction[index] = !isDefault;
        if (!isDefault)
            store->previousActions[index] = previous;
    });

    // Every thread made since the process started has a stack of its own already where thread
    // creation is wrapped; the telemetry library's own threads (queue workers, timer, sessions)
    // and the application's prepared ones get one here in any case: a handler cannot run on a
    // stack that has just overflowed.
    if (!FLTThreadCreationIsWrapped())
        FLT_WARN("WARN  [%s:%d] Thread creation is not wrapped: only prepared threads have a "
                 "signal stack\n");
    tel::ThreadStartHook::setHook(installAltStackOnLibraryThread);
}

void FLTSignalSafeRemoveHandlers(bool includingAbort)
{
    FLTSignalEnumerateHandledSignals([includingAbort](int, int signal) {
        if (signal == SIGABRT && !includingAbort)
            return;
        struct sigaction action;
        memset(&action, 0, sizeof action);
        action.sa_handler = SIG_DFL;
        sigemptyset(&action.sa_mask);
        if (sigaction(signal, &action, nullptr) != 0)
            FLT_WARN("WARN  [%s:%d] Unable to set default handler for %d (%s)\n", signal,
                     strerror(errno));
    });
}

bool FLTSignalSafeInstallPreexistingHandlers(const FLTSignalStore *store)
{
    FLTSignalSafeRemoveHandlers(true);
    if (!store)
        return false;
    // The alternate stack stays: other threads' handlers and the previous handlers may need it.
    bool ok = true;
    FLTSignalEnumerateHandledSignals([store, &ok](int index, int signal) {
        if (!store->hasPreviousAction[index])
            return;
        if (sigaction(signal, &store->previousActions[index], nullptr) != 0) {
            FLT_WARN("WARN  [%s:%d] Unable to install handler for %d (%s)\n", signal,
                     strerror(errno));
            ok = false;
        }
    });
    return ok;
}

void FLTSignalHandler(int signal, siginfo_t *info, void *userContext)
{
    const int savedErrno = errno;
    errno = 0;
    FLT_WARN("WARN  [%s:%d] Signal: %d\n", signal);

    // Unblocked at once: the capture signal must reach this thread too if another one records.
    sigset_t all;
    sigemptyset(&all);
    sigaddset(&all, signal);
    for (int other : kFLTHandledSignals)
        sigaddset(&all, other);
    if (sigprocmask(SIG_UNBLOCK, &all, nullptr) != 0)
        FLT_WARN("WARN  [%s:%d] Unable to unmask signals - we risk infinite recursion here\n");
    sigset_t capture;
    sigemptyset(&capture);
    FLTContext *context = FLTContextGet();
    if (context)
        sigaddset(&capture, context->signalStore.captureSignal);
    sigprocmask(SIG_UNBLOCK, &capture, nullptr);

    if (context && FLTContextMarkAndCheckIfCrashed()) {
        FLTWritableState *state = context->writable;
        if (__atomic_load_n(&state->crashingThread, __ATOMIC_SEQ_CST) == FLTCurrentThreadId()) {
            // The recorder itself faulted: give up recording and let this fault end the process.
            resetToDefault(signal);
            errno = savedErrno;
            return;
        }
        FLT_WARN(
            "WARN  [%s:%d] Error: aborting signal handler because crash has already occurred\n");
        // Another thread is recording: wait for it, then fall through to the restored handlers.
        waitForRecorder(state);
        errno = savedErrno;
        if (!signalRepeatsOnReturn(signal, info))
            syscall(SYS_tgkill, getpid(), FLTCurrentThreadId(), signal);
        return;
    }

    if (context) {
        FLTFile file;
        if (context->signalStore.path
            && FLTFileInitWithPath(&file, context->signalStore.path, false)) {
            writeSignalSection(&file, signal, info, savedErrno);
            FLTHandler(&file, FLTCurrentThreadId(), userContext);
            FLTFileClose(&file);
        } else {
            FLT_WARN("WARN  [%s:%d] Unable to open signal file\n");
        }
        FLTSignalSafeInstallPreexistingHandlers(&context->signalStore);
        FLTContextMarkCrashRecorded();
    } else {
        FLTSignalSafeRemoveHandlers(true);
    }
    errno = savedErrno;
    if (!signalRepeatsOnReturn(signal, info))
        syscall(SYS_tgkill, getpid(), FLTCurrentThreadId(), signal);
}

void FLTSignalCheckHandlers()
{
    FLTContext *context = FLTContextGet();
    if (context && context->debuggerAttached)
        return;
    FLTSignalEnumerateHandledSignals([](int, int signal) {
        struct sigaction current;
        if (sigaction(signal, nullptr, &current) != 0) {
            fprintf(stderr, "Unable to read signal handler\n");
            return;
        }
        if ((current.sa_flags & SA_SIGINFO) && current.sa_sigaction == FLTSignalHandler)
            return;
        const char *name = nullptr;
        const char *codeName = nullptr;
        FLTSignalNameLookup(signal, &name, &codeName);
        Dl_info info;
        const void *handler = (current.sa_flags & SA_SIGINFO)
                                  ? reinterpret_cast<const void *>(current.sa_sigaction)
                                  : reinterpret_cast<const void *>(current.sa_handler);
        const char *symbol = dladdr(handler, &info) && info.dli_sname ? info.dli_sname : "unknown";
        fprintf(stderr,
                "[Faultline] The signal %s has a non-Faultline handler (%s).  This will interfere "
                "with reporting.\n",
                name, symbol);
    });
}
