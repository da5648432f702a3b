#include "FLTThreadState.h"

#include <cstddef>
#include <cstring>
#include <ucontext.h>

// Hand-written so that no prologue disturbs the registers being captured.
asm(R"(
    .text
    .globl FLTThreadStateCaptureCurrent
    .type FLTThreadStateCaptureCurrent, @function
FLTThreadStateCaptureCurrent:
    .cfi_startproc
    movq %rax, 0(%rdi)
    movq %rbx, 8(%rdi)
    movq %rcx, 16(%rdi)
    movq %rdx, 24(%rdi)
    movq %rdi, 32(%rdi)
    movq %rsi, 40(%rdi)
    movq %rbp, 48(%rdi)
    leaq 8(%rsp), %rax
    movq %rax, 56(%rdi)
    movq %r8, 64(%rdi)
    movq %r9, 72(%rdi)
    movq %r10, 80(%rdi)
    movq %r11, 88(%rdi)
    movq %r12, 96(%rdi)
    movq %r13, 104(%rdi)
    movq %r14, 112(%rdi)
    movq %r15, 120(%rdi)
    movq (%rsp), %rax
    movq %rax, 128(%rdi)
    pushfq
    popq %rax
    movq %rax, 136(%rdi)
    xorl %eax, %eax
    movw %cs, %ax
    movq %rax, 144(%rdi)
    movq $0, 152(%rdi)
    movq $0, 160(%rdi)
    movq 0(%rdi), %rax
    ret
    .cfi_endproc
    .size FLTThreadStateCaptureCurrent, .-FLTThreadStateCaptureCurrent
)");

static_assert(offsetof(FLTThreadState, rsp) == 56 && offsetof(FLTThreadState, rip) == 128
              && offsetof(FLTThreadState, gs) == 160);

void FLTThreadStateFromUserContext(FLTThreadState *state, const void *userContext)
{
    const auto *uc = static_cast<const ucontext_t *>(userContext);
    const greg_t *g = uc->uc_mcontext.gregs;
    state->rax = g[REG_RAX];
    state->rbx = g[REG_RBX];
    state->rcx = g[REG_RCX];
    state->rdx = g[REG_RDX];
    state->rdi = g[REG_RDI];
    state->rsi = g[REG_RSI];
    state->rbp = g[REG_RBP];
    state->rsp = g[REG_RSP];
    state->r8 = g[REG_R8];
    state->r9 = g[REG_R9];
    state->r10 = g[REG_R10];
    state->r11 = g[REG_R11];
    state->r12 = g[REG_R12];
    state->r13 = g[REG_R13];
    state->r14 = g[REG_R14];
    state->r15 = g[REG_R15];
    state->rip = g[REG_RIP];
    state->rflags = g[REG_EFL];
    // cs, gs and fs share one word: cs in bits 0-15, gs in 16-31, fs in 32-47.
    const auto csgsfs = static_cast<uint64_t>(g[REG_CSGSFS]);
    state->cs = csgsfs & 0xffff;
    state->gs = (csgsfs >> 16) & 0xffff;
    state->fs = (csgsfs >> 32) & 0xffff;
}

uint64_t FLTRegisterStateGetPC(const FLTThreadState *state)
{
    return state ? state->rip : 0;
}

bool FLTRegisterStateSetPC(FLTThreadState *state, uint64_t address)
{
    if (!state)
        return false;
    state->rip = address;
    return true;
}

uint64_t FLTRegisterStateGetSP(const FLTThreadState *state)
{
    return state ? state->rsp : 0;
}

bool FLTRegisterStateSetSP(FLTThreadState *state, uint64_t address)
{
    if (reinterpret_cast<uintptr_t>(state) < 4096)
        return false;
    state->rsp = address;
    return true;
}

uint64_t FLTRegisterStateGetFP(const FLTThreadState *state)
{
    if (reinterpret_cast<uintptr_t>(state) < 4096)
        return 0;
    return state->rbp;
}

bool FLTRegisterStateSetFP(FLTThreadState *state, uint64_t address)
{
    if (reinterpret_cast<uintptr_t>(state) < 4096)
        return false;
    state->rbp = address;
    return true;
}
