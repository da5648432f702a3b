#pragma once

// The common crash path: once a fatal record has been written, the state of the whole process is
// appended to the same file: every thread's registers and unwound stack, runtime information,
// thread names, memory and CPU statistics and free disk space.
//
// The recording thread writes its own thread first, from its own context, before anything else
// is asked of the others. The other threads are then stopped by a capture child: a process made
// with a raw clone that shares this one's memory, allowed to trace it (PR_SET_PTRACER where Yama
// asks for that), which attaches to each thread with ptrace, stores its registers in a
// pre-allocated slot of the writable crash state and holds it stopped while the recording thread
// unwinds its stack, then detaches from all of them and ends. A thread that blocks signals (as
// graphics drivers' threads do) is stopped like any other. Where tracing is refused (some
// containers), each thread is sent the capture signal instead (a reserved real-time signal),
// whose handler stores the thread's registers in its slot and waits there until released; threads
// that block it are given up after a short limit and listed without registers. Everything here is
// signal-safe: raw system calls, the crash-safe reader, the unwinder and the unbuffered record
// writer.

#include "FLTContext.h"
#include "FLTThreadState.h"
#include "FLTUnwind.h"

#include <cstdint>
#include <sys/types.h>

struct FLTFile;

struct FLTProcess {
    pid_t pid;
    int32_t currentThread;
    int32_t crashedThread;
    const void *userContext; // the signal handler's ucontext_t, or nullptr
    int32_t threads[kFLTMaxRecordedThreads];
    uint32_t threadCount;
    bool parked;
    pid_t captureChild;          // the child holding the other threads stopped, or 0
    FLTUnwindCache *unwindCache; // shared by the threads' unwinders while recording, or null
};

// Runs the whole crash path on the calling thread. Safe to call from a signal handler.
void FLTHandler(FLTFile *file, int32_t crashedThread, const void *userContext);

// Lists the process's threads, the crashed one first.
bool FLTProcessInit(FLTProcess *process, int32_t crashedThread, const void *userContext);
bool FLTProcessSuspendAllOtherThreads(FLTProcess *process);
bool FLTProcessResumeAllOtherThreads(FLTProcess *process);
bool FLTProcessGetThreadState(const FLTProcess *process, int32_t thread, FLTThreadState *state,
                              bool *pcIsReturnAddress);
// The `threads` section; with `suspendAfterFirst` the other threads are stopped only once the
// first thread of the list (the crashed one) is written.
void FLTProcessRecordAllThreads(FLTProcess *process, FLTFile *file, bool suspendAfterFirst);
void FLTProcessRecordRuntimeInfo(const FLTProcess *process, FLTFile *file);
void FLTProcessRecordDispatchQueueNames(const FLTProcess *process, FLTFile *file);
void FLTProcessRecordThreadNames(const FLTProcess *process, FLTFile *file);
void FLTProcessRecordStats(const FLTProcess *process, FLTFile *file);
void FLTHostRecordStorage(FLTFile *file);

// The capture signal's handler, installed with the crash handlers.
void FLTProcessCaptureSignalHandler(int signal, siginfo_t *info, void *userContext);

// Thread id of the caller. Safe to call from a signal handler.
int32_t FLTCurrentThreadId();
