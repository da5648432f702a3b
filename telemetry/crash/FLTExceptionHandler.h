#pragma once

// Language exceptions: C++ exceptions that reach std::terminate are recorded as crashes in
// "exception.fltrecord" (with the state of the process); exceptions handed in by the host
// (uncaught exceptions of its own runtime, script errors, custom ones) go to the same file as a
// crash or, for the non-fatal kinds, to the rotating custom exception files.
//
// A fatal exception claims the crash before it records it: one crash gives one report, so the
// abort that follows is not recorded again as a signal but goes to the signal handlers that were
// there before ours.
//
// Terminate runs outside signal context, so the rule here is "no deadlock" rather than "no
// allocation": recording is serialised by the exception lock, and the crash path it runs is the
// signal-safe one.

#include "FLTContext.h"

#include <cstdint>
#include <string>
#include <vector>

enum FLTExceptionKind : int {
    FLTExceptionKindObjectiveC = 1, // the host runtime's uncaught exceptions
    FLTExceptionKindCpp = 2,
    FLTExceptionKindJavaScript = 3,
    FLTExceptionKindCustom = 4,
};

struct FLTExceptionFrame {
    uint64_t address = 0;
    std::string symbol; // empty when unknown
    uint64_t offset = 0;
    std::string library;  // empty when unknown
    std::string fileName; // empty when unknown
    uint32_t lineNumber = 0;
};

// Resets the exception file, installs the terminate handler and resets the custom counter.
void FLTExceptionInitialize(FLTExceptionStore *store, uint32_t *customExceptionCounter);

void FLTExceptionRecord(int kind, const char *name, const char *reason,
                        const std::vector<FLTExceptionFrame> &frames, bool notify);

[[noreturn]] void FLTTerminateHandler();
void FLTCatchAndRecordActiveException(const char *type);
void FLTExceptionCheckHandlers();
void FLTHandlerNotifyObserver();

// Readable form of a mangled C++ type name (the name itself when it cannot be demangled).
std::string FLTDemangleTypeName(const char *mangledName);
