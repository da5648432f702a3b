#pragma once

// DWARF call-frame information (the .eh_frame format) for the stack unwinder: CIE and FDE
// parsing, the call-frame program, the expression machine and the register assignment. Every
// load goes through the crash-safe memory reader. Safe to call from a signal handler.

#include "FLTThreadState.h"

#include <cstdint>

constexpr int kFLTDwarfRegisterCount = 17; // rax..r15 and the return address (16)
constexpr uint64_t kFLTDwarfReturnAddressRegister = 16;

struct FLTDwarfCIE {
    uintptr_t start; // first byte of the length field
    uintptr_t end;   // one past the last byte
    uintptr_t instructionsStart;
    uint64_t codeAlignmentFactor;
    int64_t dataAlignmentFactor;
    uint64_t returnAddressRegister;
    uint8_t pointerEncoding; // of the FDE addresses ('R')
    uint8_t lsdaEncoding;
    bool hasAugmentationData; // 'z'
    bool signalFrame;         // 'S'
};

struct FLTDwarfFDE {
    uintptr_t start;
    uintptr_t end;
    uintptr_t instructionsStart;
    uintptr_t pcBegin;
    uint64_t pcRange;
    FLTDwarfCIE cie;
};

enum FLTDwarfRuleType : uint8_t {
    FLTDwarfRuleUnused = 0, // same value
    FLTDwarfRuleUndefined,
    FLTDwarfRuleOffset,        // saved at CFA + offset
    FLTDwarfRuleValOffset,     // value is CFA + offset
    FLTDwarfRuleRegister,      // in another register
    FLTDwarfRuleExpression,    // saved at the address an expression yields
    FLTDwarfRuleValExpression, // value an expression yields
};

struct FLTDwarfRule {
    uint8_t type;
    int64_t offset;
    uint64_t reg;
    uintptr_t expression;
    uint64_t expressionLength;
};

struct FLTDwarfState {
    bool cfaIsExpression;
    uint64_t cfaRegister;
    int64_t cfaOffset;
    uintptr_t cfaExpression;
    uint64_t cfaExpressionLength;
    FLTDwarfRule registers[kFLTDwarfRegisterCount];
};

bool FLTDwarfParseCIERecord(uintptr_t address, FLTDwarfCIE *cie);
bool FLTDwarfParseFDERecord(uintptr_t address, FLTDwarfFDE *fde);

// Finds the FDE covering `pc` through an image's .eh_frame_hdr search table.
bool FLTDwarfFindFDE(uintptr_t ehFrameHeader, uintptr_t pc, FLTDwarfFDE *fde);

// Runs call-frame instructions from `start` to `end` on `state`, applying every row whose location
// is at most `target` (the PC's offset from the function start). `initial` is the state after the
// CIE's instructions, for DW_CFA_restore; `pcBegin` serves DW_CFA_set_loc.
bool FLTDwarfInstructionsEnumerate(uintptr_t start, uintptr_t end, const FLTDwarfCIE &cie,
                                   uintptr_t pcBegin, uint64_t target, FLTDwarfState *state,
                                   const FLTDwarfState *initial);

// The register rules of the row for `pc` (the CIE's instructions, then the FDE's): what
// FLTDwarfUnwindComputeRegisters applies. They depend on `pc` alone, so an unwinder may keep them.
bool FLTDwarfComputeRules(const FLTDwarfFDE &fde, uintptr_t pc, FLTDwarfState *rules);
// The caller's registers from `state` by `rules`.
bool FLTDwarfApplyRules(const FLTDwarfState &rules, uint64_t returnAddressRegister,
                        const FLTThreadState *state, FLTThreadState *result);

// Computes the caller's registers for the frame whose lookup address is `pc`.
bool FLTDwarfUnwindComputeRegisters(const FLTDwarfFDE &fde, const FLTThreadState *state,
                                    uintptr_t pc, FLTThreadState *result);

bool FLTDwarfUnwindGetRegisterValue(const FLTThreadState *state, uint64_t reg, uint64_t *value);
bool FLTDwarfUnwindSetRegisterValue(FLTThreadState *state, uint64_t reg, uint64_t value);

// Evaluates a DWARF expression; `initial` (when given) is pushed first.
bool FLTDwarfEvalulateExpression(uintptr_t expression, uint64_t length, const FLTThreadState *state,
                                 const uint64_t *initial, uint64_t *result);
