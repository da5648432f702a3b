#include "FLTUnwind.h"

#include "FLTBinaryImage.h"
#include "FLTDwarfUnwind.h"
#include "FLTSDKLog.h"
#include "FLTUnwindMemory.h"

#include <cstring>

namespace {

constexpr uint32_t kStackScanWords = 1024;

bool inKnownImage(uintptr_t address)
{
    FLTBinaryImageSlot slot;
    return FLTBinaryImageSafeFindImageForAddress(address, &slot);
}

FLTUnwindCacheEntry *cacheEntry(FLTUnwindCache *cache, uintptr_t pc)
{
    const uint64_t hash = (static_cast<uint64_t>(pc) * 0x9e3779b97f4a7c15ull) >> 58;
    return &cache->entries[hash % kFLTUnwindCacheSize];
}

bool unwindWithDwarf(const FLTBinaryImageSlot &image, FLTThreadState *state, uintptr_t lookupPC,
                     bool *signalFrame, FLTUnwindCache *cache)
{
    FLTDwarfFDE fde;
    if (!FLTDwarfFindFDE(image.ehFrameAddress, lookupPC, &fde))
        return false;
    FLTDwarfState rules;
    if (!FLTDwarfComputeRules(fde, lookupPC, &rules))
        return false;
    FLTThreadState next;
    if (!FLTDwarfApplyRules(rules, fde.cie.returnAddressRegister, state, &next))
        return false;
    *signalFrame = fde.cie.signalFrame;
    *state = next;
    if (cache) {
        FLTUnwindCacheEntry *entry = cacheEntry(cache, lookupPC);
        entry->pc = lookupPC;
        entry->returnAddressRegister = fde.cie.returnAddressRegister;
        entry->signalFrame = fde.cie.signalFrame;
        entry->rules = rules;
    }
    return true;
}

bool unwindFromCache(FLTUnwindCache *cache, FLTThreadState *state, uintptr_t lookupPC,
                     bool *signalFrame)
{
    if (!cache)
        return false;
    const FLTUnwindCacheEntry *entry = cacheEntry(cache, lookupPC);
    if (entry->pc != lookupPC)
        return false;
    FLTThreadState next;
    if (!FLTDwarfApplyRules(entry->rules, entry->returnAddressRegister, state, &next))
        return false;
    *signalFrame = entry->signalFrame;
    *state = next;
    return true;
}

// Whether the bytes just before `address` end a call instruction: direct (E8 rel32), through
// memory relative to rip (FF 15 disp32) or through a register or memory operand (FF /2).
bool followsCall(uintptr_t address)
{
    uint8_t before[7];
    if (!FLTUnwindReadMemory(address - sizeof before, before, sizeof before))
        return false;
    if (before[2] == 0xe8 || (before[1] == 0xff && before[2] == 0x15))
        return true;
    for (int length = 2; length <= 7; ++length) {
        const uint8_t opcode = before[7 - length];
        const uint8_t modrm = before[8 - length];
        if (opcode == 0xff && ((modrm >> 3) & 7) == 2)
            return true;
    }
    return false;
}

// Word-by-word scan upwards from SP for a return address: a word that points into a known image
// right after a call instruction.
bool stackScan(FLTUnwindContext *context)
{
    FLT_INFO("INFO  [%s:%d] Attempting stack scan\n");
    const uint64_t sp = FLTRegisterStateGetSP(&context->registers);
    for (uint32_t i = 0; i < kStackScanWords; ++i) {
        const uint64_t address = sp + i * 8;
        uint64_t word;
        if (!FLTUnwindReadWord(address, &word))
            return false;
        FLT_DEBUG("DEBUG [%s:%d] Checking address %p => %p\n", reinterpret_cast<void *>(address),
                  reinterpret_cast<void *>(word));
        FLT_DEBUG("DEBUG [%s:%d] Checking for executable %p\n", reinterpret_cast<void *>(word));
        if (word >= 4096 && inKnownImage(word) && followsCall(word)) {
            FLT_INFO("INFO  [%s:%d] Stack scan successful\n");
            FLTRegisterStateSetPC(&context->registers, word);
            FLTRegisterStateSetSP(&context->registers, address + 8);
            return true;
        }
    }
    return false;
}

} // namespace

bool FLTUnwindInit(FLTUnwindContext *context, const FLTThreadState *state, bool pcIsReturnAddress)
{
    if (!context || !state)
        return false;
    memset(context, 0, sizeof *context);
    context->registers = *state;
    context->pcIsExact = !pcIsReturnAddress;
    return true;
}

void FLTUnwindSetCache(FLTUnwindContext *context, FLTUnwindCache *cache)
{
    if (context)
        context->cache = cache;
}

void FLTUnwindCacheClear(FLTUnwindCache *cache)
{
    if (cache)
        memset(cache, 0, sizeof *cache);
}

uintptr_t FLTUnwindGetPC(const FLTUnwindContext *context)
{
    if (reinterpret_cast<uintptr_t>(context) < 4096)
        return 0;
    return FLTRegisterStateGetPC(&context->registers);
}

uintptr_t FLTUnwindGetSP(const FLTUnwindContext *context)
{
    if (reinterpret_cast<uintptr_t>(context) < 4096)
        return 0;
    return FLTRegisterStateGetSP(&context->registers);
}

uint32_t FLTUnwindGetRepeatCount(const FLTUnwindContext *context)
{
    return context ? context->repeatCount : 0;
}

bool FLTUnwindWithFramePointer(FLTUnwindContext *context, bool firstStep)
{
    FLTThreadState next = context->registers;
    const uint64_t fp = FLTRegisterStateGetFP(&next);
    const uint64_t sp = FLTRegisterStateGetSP(&next);
    // A frame record lies at or above SP, links to a higher record (or ends the chain with 0)
    // and holds a return address into a known image; anything else is not a frame record.
    if (fp >= sp && fp - sp < (64u << 20) && FLTCompactUnwindBPFrame(&next)) {
        const uint64_t callerFP = FLTRegisterStateGetFP(&next);
        if ((callerFP == 0 || callerFP > fp) && inKnownImage(FLTRegisterStateGetPC(&next))) {
            context->registers = next;
            return true;
        }
    }
    return firstStep && stackScan(context);
}

bool FLTUnwindNextFrameUsingAllStrategies(FLTUnwindContext *context)
{
    FLTThreadState *state = &context->registers;
    const uint64_t pc = FLTRegisterStateGetPC(state);
    const uint64_t sp = FLTRegisterStateGetSP(state);
    const uint64_t lookupPC = context->pcIsExact ? pc : pc - 1;
    if (lookupPC < 4096) {
        FLT_ERROR("ERROR [%s:%d] PC is invalid\n");
        return false;
    }
    bool signalFrame = false;
    bool done = unwindFromCache(context->cache, state, lookupPC, &signalFrame);
    FLTBinaryImageSlot image;
    if (done) {
        // Known from an earlier frame with the same PC.
    } else if (FLTBinaryImageSafeFindImageForAddress(lookupPC, &image)) {
        FLT_DEBUG("DEBUG [%s:%d] Binary image for %p at %p\n", reinterpret_cast<void *>(lookupPC),
                  reinterpret_cast<void *>(image.base));
        if (FLTBinaryImageHasUnwindInfo(&image)) {
            FLTThreadState attempt = *state;
            attempt.rip = lookupPC;
            if (FLTCompactUnwindInit(&context->compactUnwind, image.unwindInfoAddress,
                                     image.ehFrameAddress, image.base)
                && FLTCompactUnwindLookupAndCompute(&context->compactUnwind, &attempt, lookupPC)) {
                *state = attempt;
                done = true;
            }
        } else {
            FLT_INFO("INFO  [%s:%d] Binary image at %p has no unwind info\n",
                     reinterpret_cast<void *>(image.base));
        }
        if (!done && image.ehFrameAddress)
            done = unwindWithDwarf(image, state, lookupPC, &signalFrame, context->cache);
    } else {
        FLT_WARN("WARN  [%s:%d] Unable to find binary for %p\n",
                 reinterpret_cast<void *>(lookupPC));
    }
    if (!done) {
        if (FLTRegisterStateGetFP(state) == 0 && context->frameCount != 1) {
            FLT_WARN("WARN  [%s:%d] FP is zero, aborting unwind\n");
            return false;
        }
        if (!FLTUnwindWithFramePointer(context, context->frameCount == 1)) {
            FLT_ERROR("ERROR [%s:%d] Unable to use frame pointer\n");
            return false;
        }
    }
    const uint64_t newSP = FLTRegisterStateGetSP(state);
    // Stacks grow down: a caller's frame lies above its callee's. Only a signal frame may lead
    // back to a lower stack (the interrupted one, below an alternate signal stack).
    if (!signalFrame && newSP <= sp) {
        FLT_WARN("WARN  [%s:%d] Error: Stack pointer hasn't changed\n");
        return false;
    }
    context->pcIsExact = signalFrame;
    return true;
}

bool FLTUnwindNextFrame(FLTUnwindContext *context)
{
    if (!context) {
        FLT_WARN("WARN  [%s:%d] Error: invalid inputs\n");
        return false;
    }
    if (FLTUnwindGetPC(context) < 4096 || FLTUnwindGetSP(context) < 4096) {
        if (context->frameCount == 0)
            FLT_WARN("WARN  [%s:%d] Cancelling unwind for thread with invalid PC/SP\n");
        else
            FLT_WARN("WARN  [%s:%d] Error: thread PC/SP invalid before unwind\n");
        return false;
    }
    if (context->frameCount >= kFLTUnwindMaximumFrames) {
        FLT_WARN("WARN  [%s:%d] Exceeded maximum number of frames\n");
        FLT_ERROR("ERROR [%s:%d] Failed to advance to the next frame\n");
        return false;
    }
    if (context->frameCount > 0 && !FLTUnwindNextFrameUsingAllStrategies(context))
        return false;
    const uintptr_t pc = FLTUnwindGetPC(context);
    if (pc < 4096)
        return false;
    if (FLTUnwindGetSP(context) < 4096) {
        FLT_WARN("WARN  [%s:%d] Error: SP (%p) isn't a valid pointer\n",
                 reinterpret_cast<void *>(FLTUnwindGetSP(context)));
        return false;
    }
    context->repeatCount =
        (context->frameCount > 0 && pc == context->previousPC) ? context->repeatCount + 1 : 0;
    context->frameCount += 1;
    context->previousPC = pc;
    return true;
}

uint32_t FLTUnwindCurrentThread(uintptr_t *frames, uint32_t capacity)
{
    FLTThreadState state;
    FLTThreadStateCaptureCurrent(&state);
    FLTUnwindContext context;
    if (!FLTUnwindInit(&context, &state, true))
        return 0;
    // The first frame is this function itself.
    if (!FLTUnwindNextFrame(&context))
        return 0;
    uint32_t count = 0;
    while (count < capacity && FLTUnwindNextFrame(&context))
        frames[count++] = FLTUnwindGetPC(&context);
    return count;
}
