#pragma once

// The stack unwinder: turns one thread's registers into the return addresses of its stack, one
// frame per call. For each frame it tries, in order, the image's compact unwind information (Mach-O
// images), the DWARF call-frame information of the image's .eh_frame, a validated frame-pointer
// step and, for the frame that crashed, a stack scan. Nothing is allocated, no lock is taken and
// every load goes through the crash-safe reader. Safe to call from a signal handler.

#include "FLTCompactUnwind.h"
#include "FLTDwarfUnwind.h"
#include "FLTThreadState.h"

#include <cstdint>

constexpr uint32_t kFLTUnwindMaximumFrames = 600000;

// What the call-frame information says of a PC, kept by the unwinders that share this cache: a
// deep recursion passes the same few PCs thousands of times, and each look-up (the image, the
// search table, the CIE and FDE programs) costs dozens of crash-safe reads. The owner provides
// the storage and lets one unwinder at a time use it; the cache is valid while no image is
// unloaded.
constexpr int kFLTUnwindCacheSize = 64;
struct FLTUnwindCacheEntry {
    uintptr_t pc; // the lookup address; 0 = empty
    uint64_t returnAddressRegister;
    bool signalFrame;
    FLTDwarfState rules;
};
struct FLTUnwindCache {
    FLTUnwindCacheEntry entries[kFLTUnwindCacheSize];
};
void FLTUnwindCacheClear(FLTUnwindCache *cache);

struct FLTUnwindContext {
    FLTThreadState registers;
    uint32_t frameCount;
    FLTCompactUnwindContext compactUnwind;
    uintptr_t previousPC;
    uint32_t repeatCount;
    // The current PC is the exact address of an instruction (a fault, an interrupted thread, the
    // frame below a signal frame) rather than a return address, so it is looked up as it is.
    bool pcIsExact;
    FLTUnwindCache *cache; // or null
};

// `pcIsReturnAddress` is set when `state` was captured by a call (its rip is a return address).
bool FLTUnwindInit(FLTUnwindContext *context, const FLTThreadState *state,
                   bool pcIsReturnAddress = false);

// Lets the unwinder keep its call-frame look-ups in `cache` (set after FLTUnwindInit).
void FLTUnwindSetCache(FLTUnwindContext *context, FLTUnwindCache *cache);

// Advances by one frame; the first call produces the thread's own PC.
bool FLTUnwindNextFrame(FLTUnwindContext *context);
bool FLTUnwindNextFrameUsingAllStrategies(FLTUnwindContext *context);

uintptr_t FLTUnwindGetPC(const FLTUnwindContext *context);
uintptr_t FLTUnwindGetSP(const FLTUnwindContext *context);
uint32_t FLTUnwindGetRepeatCount(const FLTUnwindContext *context);

bool FLTUnwindWithFramePointer(FLTUnwindContext *context, bool firstStep);

// Fills `frames` with the calling thread's return addresses, starting with its caller.
uint32_t FLTUnwindCurrentThread(uintptr_t *frames, uint32_t capacity);
