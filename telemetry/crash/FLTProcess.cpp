#include "FLTProcess.h"

#include "FLTFile.h"
#include "FLTSDKLog.h"
#include "FLTUnwind.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <linux/futex.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/ptrace.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <sys/user.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kRepeatCollapseThreshold = 10;
// The signal way, where tracing is refused: a thread that blocks the capture signal cannot answer
// and is not waited for; the others answer within microseconds, unless they wait for a processor
// on a busy machine or sleep in the kernel beyond interruption. One that has not answered by then
// is listed without registers.
constexpr int64_t kParkTimeoutNanoseconds = 2'000'000'000;     // for all threads together
constexpr int64_t kReleaseTimeoutNanoseconds = 30'000'000'000; // a parked thread's longest wait
// The capture child: how long it may take to stop every thread, how long it holds them stopped
// at most, and how long the recording thread waits for it to be ready or done. A seized thread
// stops within microseconds, unless it waits for a processor on a busy machine or sleeps in the
// kernel beyond interruption (a library being mapped from a busy disk, a page fault under memory
// pressure, a vfork): then it stops when it runs again, which is worth waiting a while for,
// since the process ends anyway.
constexpr int64_t kStopTimeoutNanoseconds = 2'000'000'000;
constexpr int64_t kHoldTimeoutNanoseconds = 30'000'000'000;
constexpr int64_t kChildAnswerTimeoutNanoseconds = kStopTimeoutNanoseconds + 500'000'000;
constexpr int64_t kChildEndTimeoutNanoseconds = 300'000'000;
constexpr size_t kCaptureChildStackSize = 65536;

// The unwinders' cache of call-frame look-ups, for one recording at a time.
FLTUnwindCache g_unwindCache;
int32_t g_unwindCacheBusy = 0;

int64_t monotonicNanoseconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

void futexWait(int32_t *word, int32_t expected, int64_t nanoseconds)
{
    timespec timeout{static_cast<time_t>(nanoseconds / 1'000'000'000),
                     static_cast<long>(nanoseconds % 1'000'000'000)};
    syscall(SYS_futex, word, FUTEX_WAIT, expected, &timeout, nullptr, 0);
}

void futexWakeAll(int32_t *word)
{
    syscall(SYS_futex, word, FUTEX_WAKE, INT_MAX, nullptr, nullptr, 0);
}

// Decimal text of a non-negative number into `out`; returns the end.
char *appendDecimal(char *out, uint64_t value)
{
    char digits[21];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value);
    while (n)
        *out++ = digits[--n];
    *out = '\0';
    return out;
}

char *appendText(char *out, const char *text)
{
    while (*text)
        *out++ = *text++;
    *out = '\0';
    return out;
}

// Reads a small file into `buffer` (NUL-terminated); returns the length or -1.
ssize_t readSmallFile(const char *path, char *buffer, size_t capacity)
{
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    size_t total = 0;
    while (total + 1 < capacity) {
        const ssize_t n = read(fd, buffer + total, capacity - 1 - total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        total += static_cast<size_t>(n);
    }
    close(fd);
    buffer[total] = '\0';
    return static_cast<ssize_t>(total);
}

// The value after `key` in a "Key:   value kB" text, in bytes.
uint64_t meminfoBytes(const char *text, const char *key)
{
    const char *at = strstr(text, key);
    if (!at)
        return 0;
    at += strlen(key);
    while (*at == ' ' || *at == '\t')
        ++at;
    uint64_t value = 0;
    while (*at >= '0' && *at <= '9')
        value = value * 10 + static_cast<uint64_t>(*at++ - '0');
    return value * 1024;
}

// "/proc/self/task/<tid>/<leaf>" into `path`.
void threadFilePath(char *path, int32_t tid, const char *leaf)
{
    char *end = appendText(path, "/proc/self/task/");
    end = appendDecimal(end, static_cast<uint64_t>(tid));
    end = appendText(end, "/");
    appendText(end, leaf);
}

// What the kernel says a thread is doing, for the kit log: its scheduler state letter ("R", "S",
// "D", "t"...) and the kernel function it waits in; "?" and "" where they cannot be read (the
// thread has ended).
struct ThreadCondition {
    char state[2] = {'?', '\0'};
    char waitsIn[64] = {};
};

ThreadCondition threadCondition(int32_t tid)
{
    ThreadCondition condition;
    char path[64];
    threadFilePath(path, tid, "stat");
    char stat[512];
    if (readSmallFile(path, stat, sizeof stat) > 0) {
        // The state follows the ")" that ends the command name.
        const char *end = strrchr(stat, ')');
        if (end && end[1] == ' ' && end[2])
            condition.state[0] = end[2];
    }
    threadFilePath(path, tid, "wchan");
    if (readSmallFile(path, condition.waitsIn, sizeof condition.waitsIn) < 0)
        condition.waitsIn[0] = '\0';
    return condition;
}

uint64_t parseHex(const char *text)
{
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text += 2;
    uint64_t value = 0;
    for (;; ++text) {
        const char c = *text;
        if (c >= '0' && c <= '9')
            value = value * 16 + static_cast<uint64_t>(c - '0');
        else if (c >= 'a' && c <= 'f')
            value = value * 16 + static_cast<uint64_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            value = value * 16 + static_cast<uint64_t>(c - 'A' + 10);
        else
            return value;
    }
}

// The stack and instruction pointers of a thread asleep in the kernel, as the kernel keeps them
// for its system call or fault: "NR ARG1..ARG6 SP PC", or "-1 SP PC" outside a system call.
bool sleepingThreadPointers(int32_t tid, uint64_t *sp, uint64_t *pc)
{
    char path[64];
    threadFilePath(path, tid, "syscall");
    char text[256];
    if (readSmallFile(path, text, sizeof text) <= 0 || text[0] == 'r') // "running"
        return false;
    const char *fields[9] = {};
    int count = 0;
    for (char *at = text; *at;) {
        while (*at == ' ' || *at == '\n')
            *at++ = '\0';
        if (!*at)
            break;
        if (count == 9)
            return false;
        fields[count++] = at;
        while (*at && *at != ' ' && *at != '\n')
            ++at;
    }
    if (count != 9 && count != 3)
        return false;
    *sp = parseHex(fields[count - 2]);
    *pc = parseHex(fields[count - 1]);
    return *sp != 0 && *pc != 0;
}

// The 64-bit signal mask after `key` in a thread's status text ("SigBlk:\t0000000000000000").
uint64_t statusSignalMask(const char *status, const char *key)
{
    const char *at = strstr(status, key);
    if (!at)
        return 0;
    at += strlen(key);
    while (*at == ' ' || *at == '\t')
        ++at;
    return parseHex(at);
}

// Whether a thread leaves `signal` waiting: sent to it and blocked. One that has just taken it
// blocks it too, while its handler runs, but no longer has it waiting.
bool threadIsDeafTo(int32_t tid, int signal)
{
    char path[64];
    threadFilePath(path, tid, "status");
    char status[4096];
    if (readSmallFile(path, status, sizeof status) <= 0)
        return false;
    const uint64_t bit = uint64_t(1) << (signal - 1);
    return (statusSignalMask(status, "SigBlk:") & bit)
           && (statusSignalMask(status, "SigPnd:") & bit);
}

FLTThreadSlot *slotForThread(FLTWritableState *state, int32_t tid)
{
    const int32_t count = __atomic_load_n(&state->captureCount, __ATOMIC_SEQ_CST);
    for (int32_t i = 0; i < count && i < kFLTMaxRecordedThreads; ++i) {
        if (__atomic_load_n(&state->threads[i].tid, __ATOMIC_SEQ_CST) == tid)
            return &state->threads[i];
    }
    return nullptr;
}

void writeRegisters(FLTFile *file, const FLTThreadState &s)
{
    FLTFileWriteHashKey(file, "registers");
    FLTFileWriteHashStart(file);
    const struct {
        const char *name;
        uint64_t value;
    } registers[] = {
        {"rax", s.rax}, {"rbx", s.rbx}, {"rcx", s.rcx},       {"rdx", s.rdx}, {"rdi", s.rdi},
        {"rsi", s.rsi}, {"rbp", s.rbp}, {"rsp", s.rsp},       {"r8", s.r8},   {"r9", s.r9},
        {"r10", s.r10}, {"r11", s.r11}, {"r12", s.r12},       {"r13", s.r13}, {"r14", s.r14},
        {"r15", s.r15}, {"rip", s.rip}, {"rflags", s.rflags}, {"cs", s.cs},   {"fs", s.fs},
        {"gs", s.gs},
    };
    for (const auto &reg : registers)
        FLTFileWriteHashEntryUInt64(file, reg.name, reg.value);
    FLTFileWriteHashEnd(file);
}

void recordThread(const FLTProcess *process, FLTFile *file, int32_t thread)
{
    FLTThreadState state;
    bool pcIsReturnAddress = false;
    const bool haveState = FLTProcessGetThreadState(process, thread, &state, &pcIsReturnAddress);
    if (!haveState) {
        // A thread that could not be stopped or parked (it blocks the capture signal, or did not
        // answer in time) is still listed, without registers or stack, so the lists stay
        // aligned; the log says what it was doing.
        const ThreadCondition condition = threadCondition(thread);
        FLT_ERROR("ERROR [%s:%d] unable to get thread state of %d (state %s, waiting in %s)\n",
                  thread, condition.state, condition.waitsIn);
        memset(&state, 0, sizeof state);
    }
    FLTFileWriteHashStart(file);
    writeRegisters(file, state);

    FLTFileWriteHashKey(file, "stacktrace");
    FLTFileWriteArrayStart(file);
    FLTContext *context = FLTContextGet();
    int32_t *threshold = context && context->writable ? &context->writable->logThreshold : nullptr;
    const int32_t savedThreshold = threshold ? *threshold : FLTLogLevelDebug;
    uintptr_t collapsed = 0;
    uint64_t repeatCount = 0;
    bool collapsing = false;
    FLTUnwindContext unwind;
    if (haveState && FLTUnwindInit(&unwind, &state, pcIsReturnAddress)) {
        FLTUnwindSetCache(&unwind, process->unwindCache);
        while (FLTUnwindNextFrame(&unwind)) {
            const uintptr_t pc = FLTUnwindGetPC(&unwind);
            const uint32_t repeats = FLTUnwindGetRepeatCount(&unwind);
            if (!collapsed && repeats >= kRepeatCollapseThreshold) {
                FLT_WARN("WARN  [%s:%d] Possible infinite recursion - suppressing logging\n");
                if (threshold)
                    *threshold = FLTLogLevelWarn;
                collapsed = pc;
                collapsing = true;
                continue;
            }
            if (collapsed && pc == collapsed) {
                repeatCount = repeats;
                continue;
            }
            if (collapsing) {
                if (threshold)
                    *threshold = savedThreshold;
                collapsing = false;
            }
            FLTFileWriteArrayEntryUInt64(file, pc);
        }
    } else if (haveState) {
        FLT_WARN("WARN  [%s:%d] unable to init unwind context\n");
    }
    FLTFileWriteArrayEnd(file);
    if (thread == process->crashedThread)
        FLTFileWriteHashEntryBoolean(file, "crashed", true);
    if (collapsed) {
        FLTFileWriteHashEntryUInt64(file, "repeated_pc", collapsed);
        FLTFileWriteHashEntryUInt64(file, "repeat_count", repeatCount);
    }
    if (threshold)
        *threshold = savedThreshold;
    FLTFileWriteHashEnd(file);
}

// ---- The capture child ----
//
// It shares this process's memory (CLONE_VM) but is a process of its own, so it may trace this
// process's threads. It shares the recording thread's thread pointer too, so it calls nothing of
// the C library: raw system calls only, which leave errno alone.

long rawSyscall(long number, long a1 = 0, long a2 = 0, long a3 = 0, long a4 = 0)
{
    long result;
    register long r10 asm("r10") = a4;
    asm volatile("syscall"
                 : "=a"(result)
                 : "a"(number), "D"(a1), "S"(a2), "d"(a3), "r"(r10)
                 : "rcx", "r11", "memory");
    return result;
}

void rawFutexWait(int32_t *word, int32_t expected, int64_t nanoseconds)
{
    timespec timeout{static_cast<time_t>(nanoseconds / 1'000'000'000),
                     static_cast<long>(nanoseconds % 1'000'000'000)};
    rawSyscall(SYS_futex, reinterpret_cast<long>(word), FUTEX_WAIT, expected,
               reinterpret_cast<long>(&timeout));
}

void rawFutexWake(int32_t *word)
{
    rawSyscall(SYS_futex, reinterpret_cast<long>(word), FUTEX_WAKE, INT_MAX);
}

int64_t rawMonotonicNanoseconds()
{
    timespec now{};
    rawSyscall(SYS_clock_gettime, CLOCK_MONOTONIC, reinterpret_cast<long>(&now));
    return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// Waits until `word` is no longer `value` or the time is up; whether it changed.
bool rawWaitWhile(int32_t *word, int32_t value, int64_t nanoseconds)
{
    const int64_t deadline = rawMonotonicNanoseconds() + nanoseconds;
    while (__atomic_load_n(word, __ATOMIC_SEQ_CST) == value) {
        const int64_t left = deadline - rawMonotonicNanoseconds();
        if (left <= 0)
            return false;
        rawFutexWait(word, value, left);
    }
    return true;
}

void storeRegisters(FLTThreadState *state, const user_regs_struct &regs)
{
    state->rax = regs.rax;
    state->rbx = regs.rbx;
    state->rcx = regs.rcx;
    state->rdx = regs.rdx;
    state->rdi = regs.rdi;
    state->rsi = regs.rsi;
    state->rbp = regs.rbp;
    state->rsp = regs.rsp;
    state->r8 = regs.r8;
    state->r9 = regs.r9;
    state->r10 = regs.r10;
    state->r11 = regs.r11;
    state->r12 = regs.r12;
    state->r13 = regs.r13;
    state->r14 = regs.r14;
    state->r15 = regs.r15;
    state->rip = regs.rip;
    state->rflags = regs.eflags;
    state->cs = regs.cs & 0xffff;
    state->fs = regs.fs & 0xffff;
    state->gs = regs.gs & 0xffff;
}

enum SeizeState : uint8_t { NotSeized = 0, Seized = 1, Stopped = 2 };

int captureChildMain(void *argument)
{
    FLTWritableState *state = static_cast<FLTWritableState *>(argument);
    // The parent lets this child trace it first (where Yama asks for that).
    if (!rawWaitWhile(&state->captureAllowed, 0, kChildAnswerTimeoutNanoseconds)) {
        rawSyscall(SYS_exit, 0);
        return 0;
    }
    const int32_t count = __atomic_load_n(&state->captureCount, __ATOMIC_SEQ_CST);
    uint8_t seized[kFLTMaxRecordedThreads] = {};
    int32_t seizedCount = 0;
    bool refused = false;
    for (int32_t i = 0; i < count; ++i) {
        const long tid = state->threads[i].tid;
        const long result = rawSyscall(SYS_ptrace, PTRACE_SEIZE, tid, 0, 0);
        if (result == 0) {
            seized[i] = Seized;
            ++seizedCount;
            rawSyscall(SYS_ptrace, PTRACE_INTERRUPT, tid, 0, 0);
        } else if (result == -EPERM || result == -EACCES || result == -ENOSYS) {
            refused = true;
            break;
        }
        // Any other failure (the thread has ended meanwhile) leaves that thread out.
    }
    if (refused || (count > 0 && seizedCount == 0)) {
        for (int32_t i = 0; i < count; ++i)
            if (seized[i])
                rawSyscall(SYS_ptrace, PTRACE_DETACH, state->threads[i].tid, 0, 0);
        __atomic_store_n(&state->captureOutcome, FLTCaptureRefused, __ATOMIC_SEQ_CST);
        rawFutexWake(&state->captureOutcome);
        __atomic_store_n(&state->captureFinished, 1, __ATOMIC_SEQ_CST);
        rawFutexWake(&state->captureFinished);
        rawSyscall(SYS_exit, 0);
        return 0;
    }
    // Each seized thread stops at its next chance; one that has none by the limit (asleep in the
    // kernel beyond interruption, or never given a processor) is left to the recording thread.
    const int64_t deadline = rawMonotonicNanoseconds() + kStopTimeoutNanoseconds;
    int32_t waiting = seizedCount;
    long pauseNanoseconds = 20'000;
    while (waiting > 0) {
        bool progress = false;
        for (int32_t i = 0; i < count; ++i) {
            if (seized[i] != Seized)
                continue;
            FLTThreadSlot &slot = state->threads[i];
            int status = 0;
            const long waited =
                rawSyscall(SYS_wait4, slot.tid, reinterpret_cast<long>(&status), __WALL | WNOHANG);
            if (waited == 0)
                continue;
            progress = true;
            --waiting;
            if (waited < 0 || !WIFSTOPPED(status)) { // ended meanwhile
                seized[i] = NotSeized;
                continue;
            }
            seized[i] = Stopped;
            user_regs_struct regs{};
            if (rawSyscall(SYS_ptrace, PTRACE_GETREGS, slot.tid, 0, reinterpret_cast<long>(&regs))
                == 0) {
                storeRegisters(&slot.registers, regs);
                __atomic_store_n(&slot.state, FLTThreadSlotCaptured, __ATOMIC_SEQ_CST);
            }
        }
        if (waiting == 0 || rawMonotonicNanoseconds() >= deadline)
            break;
        if (progress) {
            pauseNanoseconds = 20'000;
        } else {
            // Threads stop within microseconds, or when they wake in the kernel: look less
            // often for those.
            timespec pause{0, pauseNanoseconds};
            rawSyscall(SYS_nanosleep, reinterpret_cast<long>(&pause), 0);
            pauseNanoseconds = pauseNanoseconds < 1'000'000 ? pauseNanoseconds * 2 : 1'000'000;
        }
    }
    // Those left stop as soon as they run again: what they hold in user space stays as it is,
    // and the recording thread takes what the kernel tells of them.
    for (int32_t i = 0; i < count; ++i)
        if (seized[i] == Seized)
            __atomic_store_n(&state->threads[i].state, FLTThreadSlotHeld, __ATOMIC_SEQ_CST);
    __atomic_store_n(&state->captureOutcome, FLTCaptureStopped, __ATOMIC_SEQ_CST);
    rawFutexWake(&state->captureOutcome);
    // Held until the record is written (or for the longest time a recorder may take).
    rawWaitWhile(&state->captureRelease, 0, kHoldTimeoutNanoseconds);
    for (int32_t i = 0; i < count; ++i)
        if (seized[i])
            rawSyscall(SYS_ptrace, PTRACE_DETACH, state->threads[i].tid, 0, 0);
    __atomic_store_n(&state->captureFinished, 1, __ATOMIC_SEQ_CST);
    rawFutexWake(&state->captureFinished);
    rawSyscall(SYS_exit, 0);
    return 0;
}

// Starts the capture child and waits until it holds the other threads stopped. False when it
// could not be started or tracing is refused; the caller then parks them by signal.
bool stopThreadsWithChild(FLTProcess *process, FLTContext *context)
{
    FLTWritableState *state = context->writable;
    if (!context->machExceptionStack)
        return false;
    __atomic_store_n(&state->captureAllowed, 0, __ATOMIC_SEQ_CST);
    __atomic_store_n(&state->captureOutcome, FLTCaptureWaiting, __ATOMIC_SEQ_CST);
    __atomic_store_n(&state->captureRelease, 0, __ATOMIC_SEQ_CST);
    __atomic_store_n(&state->captureFinished, 0, __ATOMIC_SEQ_CST);
    // The stack area the kit keeps for a thread of its own at crash time; its top, aligned.
    char *top = static_cast<char *>(context->machExceptionStack) + kCaptureChildStackSize;
    top = reinterpret_cast<char *>(reinterpret_cast<uintptr_t>(top) & ~uintptr_t(15));
    const pid_t child =
        clone(captureChildMain, top, CLONE_VM | CLONE_FS | CLONE_FILES | CLONE_UNTRACED, state);
    if (child <= 0) {
        FLT_WARN("WARN  [%s:%d] Unable to start the capture child\n");
        return false;
    }
    process->captureChild = child;
    // Yama's restricted mode lets a process trace only what allowed it; without Yama this fails
    // harmlessly.
    prctl(PR_SET_PTRACER, child, 0, 0, 0);
    __atomic_store_n(&state->captureAllowed, 1, __ATOMIC_SEQ_CST);
    futexWakeAll(&state->captureAllowed);
    const int64_t deadline = monotonicNanoseconds() + kChildAnswerTimeoutNanoseconds;
    while (__atomic_load_n(&state->captureOutcome, __ATOMIC_SEQ_CST) == FLTCaptureWaiting) {
        const int64_t left = deadline - monotonicNanoseconds();
        if (left <= 0)
            break;
        futexWait(&state->captureOutcome, FLTCaptureWaiting, left);
    }
    const int32_t outcome = __atomic_load_n(&state->captureOutcome, __ATOMIC_SEQ_CST);
    if (outcome == FLTCaptureStopped)
        return true;
    FLT_WARN("WARN  [%s:%d] The capture child cannot trace this process\n");
    return false;
}

// Lets the capture child go and waits (shortly) until it has let every thread go and ended.
void endCaptureChild(FLTProcess *process, FLTContext *context)
{
    FLTWritableState *state = context->writable;
    __atomic_store_n(&state->captureRelease, 1, __ATOMIC_SEQ_CST);
    futexWakeAll(&state->captureRelease);
    const int64_t deadline = monotonicNanoseconds() + kChildEndTimeoutNanoseconds;
    while (__atomic_load_n(&state->captureFinished, __ATOMIC_SEQ_CST) == 0) {
        const int64_t left = deadline - monotonicNanoseconds();
        if (left <= 0)
            break;
        futexWait(&state->captureFinished, 0, left);
    }
    // The child reports before its last system call: collect it once it is gone.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        int status = 0;
        const pid_t reaped = static_cast<pid_t>(
            syscall(SYS_wait4, process->captureChild, &status, __WALL | WNOHANG, nullptr));
        if (reaped != 0)
            break;
        timespec pause{0, 100'000};
        nanosleep(&pause, nullptr);
    }
    process->captureChild = 0;
}

} // namespace

int32_t FLTCurrentThreadId()
{
    return static_cast<int32_t>(syscall(SYS_gettid));
}

bool FLTProcessInit(FLTProcess *process, int32_t crashedThread, const void *userContext)
{
    memset(process, 0, sizeof *process);
    process->pid = getpid();
    process->currentThread = FLTCurrentThreadId();
    process->crashedThread = crashedThread;
    process->userContext = userContext;
    const int fd = open("/proc/self/task", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        FLT_WARN("WARN  [%s:%d] Error: unable to get task threads\n");
        return false;
    }
    alignas(8) char buffer[4096];
    for (;;) {
        const long n = syscall(SYS_getdents64, fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        for (long offset = 0; offset < n;) {
            const auto *entry = reinterpret_cast<const dirent64 *>(buffer + offset);
            offset += entry->d_reclen;
            if (entry->d_name[0] < '0' || entry->d_name[0] > '9')
                continue;
            int32_t tid = 0;
            for (const char *c = entry->d_name; *c >= '0' && *c <= '9'; ++c)
                tid = tid * 10 + (*c - '0');
            if (process->threadCount < kFLTMaxRecordedThreads)
                process->threads[process->threadCount++] = tid;
        }
    }
    close(fd);
    // The crashed thread goes first: it is written before anything is asked of the others.
    for (uint32_t i = 1; i < process->threadCount; ++i) {
        if (process->threads[i] != crashedThread)
            continue;
        for (uint32_t k = i; k > 0; --k)
            process->threads[k] = process->threads[k - 1];
        process->threads[0] = crashedThread;
        break;
    }
    return true;
}

bool FLTProcessSuspendAllOtherThreads(FLTProcess *process)
{
    FLTContext *context = FLTContextGet();
    if (!context || !context->writable || context->signalStore.captureSignal <= 0)
        return false;
    FLTWritableState *state = context->writable;
    int32_t count = 0;
    for (uint32_t i = 0; i < process->threadCount; ++i) {
        if (process->threads[i] == process->currentThread)
            continue;
        FLTThreadSlot &slot = state->threads[count++];
        memset(&slot.registers, 0, sizeof slot.registers);
        __atomic_store_n(&slot.state, FLTThreadSlotRequested, __ATOMIC_SEQ_CST);
        __atomic_store_n(&slot.tid, process->threads[i], __ATOMIC_SEQ_CST);
    }
    __atomic_store_n(&state->captureCount, count, __ATOMIC_SEQ_CST);
    process->parked = true;
    if (count == 0 || stopThreadsWithChild(process, context))
        return true;
    if (process->captureChild)
        endCaptureChild(process, context);
    bool ok = true;
    for (int32_t i = 0; i < count; ++i) {
        if (syscall(SYS_tgkill, process->pid, state->threads[i].tid,
                    context->signalStore.captureSignal)
            != 0)
            ok = false;
    }
    const int64_t deadline = monotonicNanoseconds() + kParkTimeoutNanoseconds;
    for (int32_t i = 0; i < count; ++i) {
        FLTThreadSlot &slot = state->threads[i];
        for (;;) {
            const int32_t value = __atomic_load_n(&slot.state, __ATOMIC_SEQ_CST);
            if (value != FLTThreadSlotRequested)
                break;
            const int64_t left = deadline - monotonicNanoseconds();
            if (left <= 0 || threadIsDeafTo(slot.tid, context->signalStore.captureSignal)) {
                ok = false;
                break;
            }
            // Looked at again now and then: a thread may block the signal only after it was sent.
            futexWait(&slot.state, FLTThreadSlotRequested, left < 10'000'000 ? left : 10'000'000);
        }
    }
    return ok;
}

bool FLTProcessResumeAllOtherThreads(FLTProcess *process)
{
    FLTContext *context = FLTContextGet();
    if (!process->parked || !context || !context->writable)
        return false;
    FLTWritableState *state = context->writable;
    if (process->captureChild)
        endCaptureChild(process, context);
    const int32_t count = __atomic_load_n(&state->captureCount, __ATOMIC_SEQ_CST);
    for (int32_t i = 0; i < count; ++i) {
        __atomic_store_n(&state->threads[i].state, FLTThreadSlotReleased, __ATOMIC_SEQ_CST);
        futexWakeAll(&state->threads[i].state);
    }
    process->parked = false;
    return true;
}

void FLTProcessCaptureSignalHandler(int, siginfo_t *, void *userContext)
{
    const int savedErrno = errno;
    FLTContext *context = FLTContextGet();
    FLTThreadSlot *slot = context && context->writable
                              ? slotForThread(context->writable, FLTCurrentThreadId())
                              : nullptr;
    if (slot && __atomic_load_n(&slot->state, __ATOMIC_SEQ_CST) == FLTThreadSlotRequested) {
        FLTThreadStateFromUserContext(&slot->registers, userContext);
        __atomic_store_n(&slot->state, FLTThreadSlotCaptured, __ATOMIC_SEQ_CST);
        futexWakeAll(&slot->state);
        const int64_t deadline = monotonicNanoseconds() + kReleaseTimeoutNanoseconds;
        while (__atomic_load_n(&slot->state, __ATOMIC_SEQ_CST) == FLTThreadSlotCaptured) {
            const int64_t left = deadline - monotonicNanoseconds();
            if (left <= 0)
                break;
            futexWait(&slot->state, FLTThreadSlotCaptured, left);
        }
    }
    errno = savedErrno;
}

bool FLTProcessGetThreadState(const FLTProcess *process, int32_t thread, FLTThreadState *state,
                              bool *pcIsReturnAddress)
{
    *pcIsReturnAddress = false;
    if (thread == process->crashedThread && process->userContext) {
        FLTThreadStateFromUserContext(state, process->userContext);
        return true;
    }
    if (thread == process->currentThread) {
        FLT_WARN("WARN  [%s:%d] Faking current thread\n");
        FLTThreadStateCaptureCurrent(state);
        *pcIsReturnAddress = true;
        return true;
    }
    FLTContext *context = FLTContextGet();
    if (!context || !context->writable)
        return false;
    FLTThreadSlot *slot = slotForThread(context->writable, thread);
    if (slot && __atomic_load_n(&slot->state, __ATOMIC_SEQ_CST) == FLTThreadSlotHeld) {
        // Seized but not stopped in time: it stops before it returns to user space, so its
        // stack stays as it is, and the kernel tells where it stands in it while it sleeps.
        uint64_t sp = 0;
        uint64_t pc = 0;
        if (sleepingThreadPointers(thread, &sp, &pc)) {
            const ThreadCondition condition = threadCondition(thread);
            FLT_WARN("WARN  [%s:%d] thread %d did not stop in time (state %s, waiting in %s): "
                     "only its stack and instruction pointers are known\n",
                     thread, condition.state, condition.waitsIn);
            memset(state, 0, sizeof *state);
            state->rsp = sp;
            state->rip = pc;
            return true;
        }
    }
    if (!slot || __atomic_load_n(&slot->state, __ATOMIC_SEQ_CST) != FLTThreadSlotCaptured) {
        FLT_ERROR("ERROR [%s:%d] failed to get thread state\n");
        return false;
    }
    *state = slot->registers;
    return true;
}

void FLTProcessRecordAllThreads(FLTProcess *process, FLTFile *file, bool suspendAfterFirst)
{
    FLTFileWriteSectionStart(file, "threads");
    FLTFileWriteArrayStart(file);
    for (uint32_t i = 0; i < process->threadCount; ++i) {
        // The crashed thread, first in the list, needs nothing of the others.
        if (i == 1 && suspendAfterFirst)
            FLTProcessSuspendAllOtherThreads(process);
        FLT_INFO("INFO  [%s:%d] recording thread %d data\n", static_cast<int>(i));
        recordThread(process, file, process->threads[i]);
    }
    FLTFileWriteArrayEnd(file);
    FLTFileWriteSectionEnd(file);
    FLT_INFO("INFO  [%s:%d] completed recording all thread data\n");
}

void FLTProcessRecordRuntimeInfo(const FLTProcess *, FLTFile *file)
{
    // There is no message-send runtime and ELF images carry no crash annotations.
    FLTFileWriteSectionStart(file, "runtime");
    FLTFileWriteHashStart(file);
    FLTFileWriteHashEntryString(file, "objc_selector", "");
    FLTFileWriteHashKey(file, "crash_info_entries");
    FLTFileWriteArrayStart(file);
    FLTFileWriteArrayEnd(file);
    FLTFileWriteHashEnd(file);
    FLTFileWriteSectionEnd(file);
}

void FLTProcessRecordDispatchQueueNames(const FLTProcess *process, FLTFile *file)
{
    FLTFileWriteSectionStart(file, "dispatch_queue_names");
    FLTFileWriteArrayStart(file);
    for (uint32_t i = 0; i < process->threadCount; ++i)
        FLTFileWriteArrayEntryString(file, "");
    FLTFileWriteArrayEnd(file);
    FLTFileWriteSectionEnd(file);
}

void FLTProcessRecordThreadNames(const FLTProcess *process, FLTFile *file)
{
    FLTFileWriteSectionStart(file, "thread_names");
    FLTFileWriteArrayStart(file);
    for (uint32_t i = 0; i < process->threadCount; ++i) {
        char path[64];
        char *end = appendText(path, "/proc/self/task/");
        end = appendDecimal(end, static_cast<uint64_t>(process->threads[i]));
        appendText(end, "/comm");
        char name[64] = {};
        ssize_t n = readSmallFile(path, name, sizeof name);
        if (n < 0)
            n = 0;
        // The name file ends with a newline; the record writer escapes whatever else it holds.
        for (ssize_t k = 0; k < n; ++k) {
            if (name[k] == '\n') {
                name[k] = '\0';
                break;
            }
        }
        FLTFileWriteArrayEntryString(file, name);
    }
    FLTFileWriteArrayEnd(file);
    FLTFileWriteSectionEnd(file);
}

void FLTProcessRecordStats(const FLTProcess *, FLTFile *file)
{
    FLTContext *context = FLTContextGet();
    const uint64_t page = context && context->pageSize ? context->pageSize : 4096;
    const uint64_t ticks =
        context && context->clockTicksPerSecond ? context->clockTicksPerSecond : 100;
    char meminfo[4096];
    if (readSmallFile("/proc/meminfo", meminfo, sizeof meminfo) <= 0) {
        FLT_WARN("WARN  [%s:%d] Failed to get vm statistics\n");
        FLT_WARN("WARN  [%s:%d] Unable to get process memory usage\n");
        return;
    }
    char statm[256];
    char stat[1024];
    if (readSmallFile("/proc/self/statm", statm, sizeof statm) <= 0
        || readSmallFile("/proc/self/stat", stat, sizeof stat) <= 0) {
        FLT_WARN("WARN  [%s:%d] Failed to get task info\n");
        FLT_WARN("WARN  [%s:%d] Unable to get process stats\n");
        return;
    }
    uint64_t sizes[2] = {};
    const char *p = statm;
    for (auto &value : sizes) {
        while (*p == ' ')
            ++p;
        while (*p >= '0' && *p <= '9')
            value = value * 10 + static_cast<uint64_t>(*p++ - '0');
    }
    // utime and stime are fields 14 and 15, counted after the ")" that ends the command name.
    uint64_t userTicks = 0;
    uint64_t systemTicks = 0;
    const char *q = strrchr(stat, ')');
    int field = 2;
    for (; q && *q; ++q) {
        if (*q != ' ')
            continue;
        ++field;
        uint64_t value = 0;
        const char *digits = q + 1;
        while (*digits >= '0' && *digits <= '9')
            value = value * 10 + static_cast<uint64_t>(*digits++ - '0');
        if (field == 14)
            userTicks = value;
        if (field == 15) {
            systemTicks = value;
            break;
        }
    }
    const uint64_t freeBytes = meminfoBytes(meminfo, "MemFree:");
    FLTFileWriteSectionStart(file, "process_stats");
    FLTFileWriteHashStart(file);
    FLTFileWriteHashEntryUInt64(file, "active", meminfoBytes(meminfo, "Active:"));
    FLTFileWriteHashEntryUInt64(file, "inactive", meminfoBytes(meminfo, "Inactive:"));
    FLTFileWriteHashEntryUInt64(file, "wired", meminfoBytes(meminfo, "Mlocked:"));
    FLTFileWriteHashEntryUInt64(file, "freeMem", freeBytes);
    FLTFileWriteHashEntryUInt64(file, "free_mem", freeBytes);
    FLTFileWriteHashEntryUInt64(file, "virtual", sizes[0] * page);
    FLTFileWriteHashEntryUInt64(file, "resident", sizes[1] * page);
    FLTFileWriteHashEntryUInt64(file, "user_time", userTicks * 1'000'000 / ticks);
    FLTFileWriteHashEntryUInt64(file, "sys_time", systemTicks * 1'000'000 / ticks);
    FLTFileWriteHashEnd(file);
    FLTFileWriteSectionEnd(file);
}

void FLTHostRecordStorage(FLTFile *file)
{
    FLTContext *context = FLTContextGet();
    FLTFileWriteSectionStart(file, "storage");
    FLTFileWriteHashStart(file);
    struct statfs info;
    if (context && context->documentsPath && statfs(context->documentsPath, &info) == 0) {
        FLTFileWriteHashEntryUInt64(file, "free",
                                    static_cast<uint64_t>(info.f_bsize) * info.f_bavail);
        FLTFileWriteHashEntryUInt64(file, "total",
                                    static_cast<uint64_t>(info.f_bsize) * info.f_blocks);
    }
    FLTFileWriteHashEnd(file);
    FLTFileWriteSectionEnd(file);
}

void FLTHandler(FLTFile *file, int32_t crashedThread, const void *userContext)
{
    // Libraries opened or closed since the last scan are known to the loader only: bring the table
    // up to date first, so frames unwind through the right images and the next launch can
    // symbolicate them.
    FLTBinaryImageSafeUpdateFromLoader();
    FLTProcess process;
    FLTProcessInit(&process, crashedThread, userContext);
    const bool ownsCache = __atomic_exchange_n(&g_unwindCacheBusy, 1, __ATOMIC_SEQ_CST) == 0;
    if (ownsCache) {
        FLTUnwindCacheClear(&g_unwindCache);
        process.unwindCache = &g_unwindCache;
    }
    // The crashed thread is written first; the others are stopped right after it.
    const bool crashedFirst = process.threadCount > 0 && process.threads[0] == crashedThread;
    if (!crashedFirst)
        FLTProcessSuspendAllOtherThreads(&process);
    FLTProcessRecordAllThreads(&process, file, crashedFirst);
    FLTProcessRecordRuntimeInfo(&process, file);
    FLTProcessRecordDispatchQueueNames(&process, file);
    FLTProcessRecordThreadNames(&process, file);
    FLTProcessRecordStats(&process, file);
    FLTHostRecordStorage(file);
    FLTProcessResumeAllOtherThreads(&process);
    if (ownsCache)
        __atomic_store_n(&g_unwindCacheBusy, 0, __ATOMIC_SEQ_CST);
    FLTContext *context = FLTContextGet();
    if (context && context->crashCallback) {
        FLT_WARN("WARN  [%s:%d] Performing syncrhonous crash callback - hold onto your butts\n");
        context->crashCallback(context->crashCallbackTarget);
    }
}
