#pragma once

// Handlers for the fatal signals SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGSEGV, SIGSYS and SIGTRAP.
// The first thread to fault records "signal.fltrecord" and the state of the process, puts back the
// handlers that were there before and lets the fault take its course, so the process ends as it
// would have without us. Machine exception ports do not exist on Linux; signals are the only
// source of faults here.

#include "FLTContext.h"

#include <csignal>

// Resets the signal file, gives the calling thread an alternate stack, installs the capture
// signal's handler and the seven fatal signal handlers. Not signal-safe.
void FLTSignalInitialize(FLTSignalStore *store);

// Gives the calling thread its own alternate signal stack (mapped with a guard page), so a stack
// overflow on it can still be recorded. Threads that may recurse deeply call this once; the
// threads the telemetry library starts get one by themselves once the handlers are installed, and
// the application's threads through Faultline::prepareCurrentThread.
// The stack is unmapped when the thread ends. Not signal-safe (maps memory). Returns false when
// the thread already has one or mapping failed.
bool FLTSignalInstallAltStackForCurrentThread();

// Takes back the stack the call above gave the calling thread, unless a handler runs on it now.
// Returns whether a stack was released. Not signal-safe.
bool FLTSignalReleaseAltStackForCurrentThread();

void FLTSignalHandler(int signal, siginfo_t *info, void *userContext);

// Safe to call from a signal handler.
void FLTSignalSafeRemoveHandlers(bool includingAbort);
bool FLTSignalSafeInstallPreexistingHandlers(const FLTSignalStore *store);
void FLTSignalNameLookup(int signal, const char **name, const char **codeName);
template <typename Block> void FLTSignalEnumerateHandledSignals(Block block);

// Prints a warning for every handled signal whose handler is no longer ours. Not signal-safe.
void FLTSignalCheckHandlers();

extern const int kFLTHandledSignals[kFLTHandledSignalCount];

template <typename Block> void FLTSignalEnumerateHandledSignals(Block block)
{
    for (int i = 0; i < kFLTHandledSignalCount; ++i)
        block(i, kFLTHandledSignals[i]);
}
