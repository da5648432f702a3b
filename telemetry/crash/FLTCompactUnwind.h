#pragma once

// Compact unwind information (the Mach-O `__unwind_info` section, version 1, x86-64 encodings).
// Linux images carry none, so on this system it serves Mach-O images mapped into the process.
// Every load goes through the crash-safe reader. Safe to call from a signal handler.

#include "FLTThreadState.h"

#include <cstdint>

struct FLTCompactUnwindContext {
    uintptr_t unwindInfo;
    uintptr_t ehFrame;
    uintptr_t loadAddress;
    uint32_t commonEncodingsOffset;
    uint32_t commonEncodingsCount;
    uint32_t indexOffset;
    uint32_t indexCount;
    // Results of the last lookup.
    uint32_t firstLevelFunctionOffset;
    uint32_t firstLevelNextFunctionOffset;
    uint32_t secondLevelPage;
    uint32_t encoding;
    uintptr_t functionStart;
    uintptr_t functionEnd;
};

enum FLTCompactUnwindMode : uint32_t {
    FLTCompactUnwindModeFrame = 1,
    FLTCompactUnwindModeStackImmediate = 2,
    FLTCompactUnwindModeStackIndirect = 3,
    FLTCompactUnwindModeDwarf = 4,
};

bool FLTCompactUnwindInit(FLTCompactUnwindContext *context, uintptr_t unwindInfo, uintptr_t ehFrame,
                          uintptr_t loadAddress);

// Finds the encoding and function range for `pc`.
bool FLTCompactUnwindLookup(FLTCompactUnwindContext *context, uintptr_t pc);

// Looks `pc` up and computes the caller's registers into `state`.
bool FLTCompactUnwindLookupAndCompute(FLTCompactUnwindContext *context, FLTThreadState *state,
                                      uintptr_t pc);

bool FLTCompactUnwindComputeRegisters(FLTCompactUnwindContext *context, FLTThreadState *state);

// The frame-pointer step: caller's rbp and return address from the frame record at rbp.
bool FLTCompactUnwindBPFrame(FLTThreadState *state);

bool FLTCompactUnwindFrameless(FLTCompactUnwindContext *context, FLTThreadState *state);

bool FLTCompactUnwindDwarfFrame(FLTCompactUnwindContext *context, uint32_t offset,
                                FLTThreadState *state);

// Decodes the factorial-base permutation of the saved registers (1 rbx, 2 r12, 3 r13, 4 r14,
// 5 r15, 6 rbp) in save order.
bool FLTCompactUnwindDecompressPermutation(uint32_t permutation, uint32_t count,
                                           uint32_t registers[6]);
