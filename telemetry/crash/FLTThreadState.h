#pragma once

// The general registers of one x86-64 thread, in the order the crash records list them.

#include <cstdint>

struct FLTThreadState {
    uint64_t rax, rbx, rcx, rdx, rdi, rsi, rbp, rsp;
    uint64_t r8, r9, r10, r11, r12, r13, r14, r15;
    uint64_t rip, rflags, cs, fs, gs;
};

// Fills `state` from a signal handler's user context (a ucontext_t). Safe to call from a signal
// handler.
void FLTThreadStateFromUserContext(FLTThreadState *state, const void *userContext);

// Captures the caller's callee-saved registers, stack pointer and return address: the result
// describes the caller right after this call returns (rip is that return address). Safe to call
// from a signal handler.
extern "C" void FLTThreadStateCaptureCurrent(FLTThreadState *state);

bool FLTRegisterStateSetPC(FLTThreadState *state, uint64_t address);
uint64_t FLTRegisterStateGetPC(const FLTThreadState *state);
bool FLTRegisterStateSetSP(FLTThreadState *state, uint64_t address);
uint64_t FLTRegisterStateGetSP(const FLTThreadState *state);
bool FLTRegisterStateSetFP(FLTThreadState *state, uint64_t address);
uint64_t FLTRegisterStateGetFP(const FLTThreadState *state);
