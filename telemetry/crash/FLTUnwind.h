#pragma once

// The stack unwinder: turns one thread's registers into the return addresses of its stack, one
// frame per call. For each frame it tries, in order, the image's compact unwind information (Mach-O
// images), the DWARF call-frame information of the image's .eh_frame, a validated frame-pointer
// step and, for the frame that crashed, a stack scan. Nothing is allocated, no lock is taken and
// every load goes through the crash-safe reader. Safe to call from a signal handler.

#include "FLTCompactUnwind.h"
#include "FLTThreadState.h"

#include <cstdint>

constexpr uint32_t kFLTUnwindMaximumFrames = 600000;

struct FLTUnwindContext {
    FLTThreadState registers;
    uint32_t frameCount;
    FLTCompactUnwindContext compactUnwind;
    uintptr_t previousPC;
    uint32_t repeatCount;
    // The current PC is the exact address of an instruction (a fault, an interrupted thread, the
    // frame below a signal frame) rather than a return address, so it is looked up as it is.
    bool pcIsExact;
};

// `pcIsReturnAddress` is set when `state` was captured by a call (its rip is a return address).
bool FLTUnwindInit(FLTUnwindContext *context, const FLTThreadState *state,
                   bool pcIsReturnAddress = false);

// Advances by one frame; the first call produces the thread's own PC.
bool FLTUnwindNextFrame(FLTUnwindContext *context);
bool FLTUnwindNextFrameUsingAllStrategies(FLTUnwindContext *context);

uintptr_t FLTUnwindGetPC(const FLTUnwindContext *context);
uintptr_t FLTUnwindGetSP(const FLTUnwindContext *context);
uint32_t FLTUnwindGetRepeatCount(const FLTUnwindContext *context);

bool FLTUnwindWithFramePointer(FLTUnwindContext *context, bool firstStep);

// Fills `frames` with the calling thread's return addresses, starting with its caller.
uint32_t FLTUnwindCurrentThread(uintptr_t *frames, uint32_t capacity);
