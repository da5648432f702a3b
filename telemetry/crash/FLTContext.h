#pragma once

// The one process-wide crash context: everything the crash handlers need, prepared at start-up
// in the guarded allocator's memory. The context record and its strings become read-only once
// start-up is complete; what changes at crash time lives in the writable crash state.

#include "FLTAllocator.h"
#include "FLTBinaryImage.h"
#include "FLTThreadState.h"
#include "FLTUserLogging.h"

#include <csignal>
#include <cstdint>

constexpr int kFLTHandledSignalCount = 7;
constexpr int kFLTMaxRecordedThreads = 256;
constexpr uint64_t kFLTSignalStackSize = 262144;

// Filled by the crash kit's start-up; strings are UTF-8 and owned by the caller for the call.
struct FLTContextInitData {
    const char *apiKey = nullptr;
    bool firstInstall = false;
    // Called on the crashed thread after the crash has been recorded; must be signal-safe.
    void (*crashCallback)(void *target) = nullptr;
    void *crashCallbackTarget = nullptr;
    const char *customBundleIdentifier = nullptr;
    const char *bundleIdentifier = nullptr;
    const char *buildVersion = nullptr;
    const char *displayVersion = nullptr;
    const char *hostModel = nullptr;
    const char *reportPath = nullptr;
    const char *sessionIdentifier = nullptr;
    const char *installIdentifier = nullptr;
    const char *betaToken = nullptr;
    uint32_t machExceptionMask = 0;
    bool errorReportingEnabled = true;
    bool customExceptionsEnabled = true;
    uint32_t maxCustomExceptions = 8;
    uint32_t errorLogBufferSize = 128 * 1024;
    uint32_t logBufferSize = 64 * 1024;
    uint32_t maxCustomKeys = 64;
};

// Where another thread's registers are parked while the crashed thread records them.
struct FLTThreadSlot {
    int32_t tid;
    int32_t state; // FLTThreadSlotState
    FLTThreadState registers;
};

enum FLTThreadSlotState : int32_t {
    FLTThreadSlotFree = 0,
    FLTThreadSlotRequested = 1,
    FLTThreadSlotCaptured = 2,
    FLTThreadSlotReleased = 3,
    // Seized by the capture child but not yet stopped when its wait ended (asleep in the kernel,
    // or waiting for a processor): the thread stops as soon as it runs again, so what it left in
    // user space stays as it is.
    FLTThreadSlotHeld = 4,
};

enum FLTCaptureOutcome : int32_t {
    FLTCaptureWaiting = 0,
    FLTCaptureStopped = 1, // the child holds the other threads stopped, registers in their slots
    FLTCaptureRefused = 2, // tracing is not allowed here
};

// Changes at crash time; zero-filled at start-up.
struct FLTWritableState {
    int32_t sdkLogDescriptor; // -1 until "sdk.log" is first written
    int32_t logThreshold;     // kit log lines below this level are dropped
    uint64_t sdkLogBytes;     // bytes written to "sdk.log" in this launch
    uint8_t crashOccurred;
    int32_t crashingThread; // thread id of the one thread allowed to record, 0 = none yet
    int32_t crashRecorded;  // futex word: 1 once the recording thread is done
    FLTBinaryImageSlot images[kFLTBinaryImageSlotCount];
    const char *logActivePath;
    const char *errorsActivePath;
    const char *customExceptionsActivePath;
    uint32_t errorCount;
    uint32_t customExceptionCount;
    uint32_t userKVCount;
    uint32_t internalKVCount;
    int32_t captureCount; // slots in use during a capture
    FLTThreadSlot threads[kFLTMaxRecordedThreads];
    // Futex words between the recording thread and the capture child (FLTProcess.cpp).
    int32_t captureAllowed;  // 1: the child may trace this process
    int32_t captureOutcome;  // FLTCaptureOutcome, set by the child
    int32_t captureRelease;  // 1: the record is written, the child lets the threads go
    int32_t captureFinished; // 1: the child has let every thread go and ends
};

struct FLTSignalStore {
    const char *path;
    struct sigaction previousActions[kFLTHandledSignalCount];
    bool hasPreviousAction[kFLTHandledSignalCount];
    stack_t previousAltStack;
    bool hasPreviousAltStack;
    int captureSignal; // the real-time signal that parks other threads
    bool installed;    // the fatal signal handlers went in
};

struct FLTExceptionStore {
    const char *path;
    uint32_t maxCustomExceptions;
    void (*previousTerminateHandler)();
};

struct FLTContext {
    uint8_t initialized;
    uint8_t debuggerAttached;
    const char *sdkLogPath;
    void *signalStack;
    void *machExceptionStack; // kept for the layout; Linux has no exception server
    void (*crashCallback)(void *target);
    void *crashCallbackTarget;
    bool firstInstall;
    const char *binaryImagesPath;
    FLTExceptionStore exceptionStore;
    const char *documentsPath;
    uint64_t pageSize;
    uint64_t clockTicksPerSecond;
    FLTSignalStore signalStore;
    FLTUserLoggingKVStore userKVStore;
    FLTUserLoggingKVStore internalKVStore;
    FLTUserLoggingABStore logStore;
    FLTUserLoggingABStore errorStore;
    FLTUserLoggingABStore customExceptionStore;
    const char *reportPath;
    const char *metadataPath;
    const char *executablePath;
    FLTAllocator *allocator;
    FLTWritableState *writable;
};

// The current context, or nullptr before the first initialisation. Safe to call from a signal
// handler.
FLTContext *FLTContextGet();

// Builds the context for the launch folder of `data`, tracks images, installs the handlers
// (unless a debugger is attached), writes the metadata file and protects the context.
// Not signal-safe.
bool FLTContextInitialize(const FLTContextInitData *data);

// The same, but leaves the process's signal and terminate handlers alone (used where the host
// process must keep its own, as in tests of the recorders).
bool FLTContextInitializeWithoutHandlers(const FLTContextInitData *data);

// Safe to call from a signal handler.
bool FLTContextIsInitialized();

// Claims the crash for the calling thread: false for the first caller (who records), true for
// every later one. Works whether or not start-up has finished. Safe to call from a signal handler.
bool FLTContextMarkAndCheckIfCrashed();

// Told by the thread that claimed the crash once its record is complete: threads that fault
// meanwhile wait for this before they go on to the previous handlers. Safe to call from a signal
// handler.
void FLTContextMarkCrashRecorded();

// Copies into the read-only part. Not signal-safe.
const char *FLTDuplicateString(const char *text);
const char *FLTContextAppendPath(const char *folder, const char *fileName);

void FLTContextRecordMetadata(const FLTContextInitData *data);
void FLTHostInitialize();
bool FLTProcessDebuggerAttached();
