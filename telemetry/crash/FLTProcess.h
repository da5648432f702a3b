#pragma once

// The common crash path: once a fatal record has been written, the state of the whole process is
// appended to the same file: every thread's registers and unwound stack, runtime information,
// thread names, memory and CPU statistics and free disk space.
//
// Other threads are parked while this runs: each is sent the capture signal (a reserved real-time
// signal); its handler stores the thread's registers in a pre-allocated slot of the writable crash
// state and waits there until released. Everything here is signal-safe: raw system calls, the
// crash-safe reader, the unwinder and the unbuffered record writer.

#include "FLTContext.h"
#include "FLTThreadState.h"

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
};

// Runs the whole crash path on the calling thread. Safe to call from a signal handler.
void FLTHandler(FLTFile *file, int32_t crashedThread, const void *userContext);

bool FLTProcessInit(FLTProcess *process, int32_t crashedThread, const void *userContext);
bool FLTProcessSuspendAllOtherThreads(FLTProcess *process);
bool FLTProcessResumeAllOtherThreads(FLTProcess *process);
bool FLTProcessGetThreadState(const FLTProcess *process, int32_t thread, FLTThreadState *state,
                              bool *pcIsReturnAddress);
void FLTProcessRecordAllThreads(const FLTProcess *process, FLTFile *file);
void FLTProcessRecordRuntimeInfo(const FLTProcess *process, FLTFile *file);
void FLTProcessRecordDispatchQueueNames(const FLTProcess *process, FLTFile *file);
void FLTProcessRecordThreadNames(const FLTProcess *process, FLTFile *file);
void FLTProcessRecordStats(const FLTProcess *process, FLTFile *file);
void FLTHostRecordStorage(FLTFile *file);

// The capture signal's handler, installed with the crash handlers.
void FLTProcessCaptureSignalHandler(int signal, siginfo_t *info, void *userContext);

// Thread id of the caller. Safe to call from a signal handler.
int32_t FLTCurrentThreadId();
