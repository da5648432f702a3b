#include "FLTCompactUnwind.h"

#include "FLTDwarfUnwind.h"
#include "FLTSDKLog.h"
#include "FLTUnwindMemory.h"

#include <cstring>

namespace {

constexpr uint32_t kModeMask = 0x0f000000;
constexpr uint32_t kRegularPage = 2;
constexpr uint32_t kCompressedPage = 3;

bool read32(uintptr_t address, uint32_t *value)
{
    return FLTUnwindReadMemory(address, value, 4);
}

bool read16(uintptr_t address, uint16_t *value)
{
    return FLTUnwindReadMemory(address, value, 2);
}

uint64_t *savedRegisterSlot(FLTThreadState *state, uint32_t reg)
{
    switch (reg) {
    case 1: return &state->rbx;
    case 2: return &state->r12;
    case 3: return &state->r13;
    case 4: return &state->r14;
    case 5: return &state->r15;
    case 6: return &state->rbp;
    default: return nullptr;
    }
}

bool lookupCompressedPage(FLTCompactUnwindContext *context, uintptr_t page, uint32_t target)
{
    uint16_t entriesOffset, entryCount, encodingsOffset, encodingsCount;
    if (!read16(page + 4, &entriesOffset) || !read16(page + 6, &entryCount)
        || !read16(page + 8, &encodingsOffset) || !read16(page + 10, &encodingsCount)
        || entryCount == 0)
        return false;
    const uintptr_t entries = page + entriesOffset;
    const uint32_t relativeTarget = target - context->firstLevelFunctionOffset;
    // The last entry whose function offset is not above the target.
    uint32_t low = 0;
    uint32_t high = entryCount;
    while (high - low > 1) {
        const uint32_t middle = low + (high - low) / 2;
        uint32_t entry;
        if (!read32(entries + middle * 4, &entry))
            return false;
        if ((entry & 0x00ffffff) <= relativeTarget)
            low = middle;
        else
            high = middle;
    }
    uint32_t entry;
    if (!read32(entries + low * 4, &entry))
        return false;
    const uint32_t start = context->firstLevelFunctionOffset + (entry & 0x00ffffff);
    uint32_t end = context->firstLevelNextFunctionOffset;
    if (low + 1 < entryCount) {
        uint32_t next;
        if (!read32(entries + (low + 1) * 4, &next))
            return false;
        end = context->firstLevelFunctionOffset + (next & 0x00ffffff);
    }
    if (target < start || target >= end) {
        FLT_WARN("WARN  [%s:%d] PC does not match computed function range\n");
        return false;
    }
    const uint32_t index = entry >> 24;
    uint32_t encoding;
    if (index < context->commonEncodingsCount) {
        if (!read32(context->unwindInfo + context->commonEncodingsOffset + index * 4, &encoding))
            return false;
    } else {
        if (index - context->commonEncodingsCount >= encodingsCount)
            return false;
        if (!read32(page + encodingsOffset + (index - context->commonEncodingsCount) * 4,
                    &encoding))
            return false;
    }
    if (encoding == 0) {
        FLT_INFO("INFO  [%s:%d] Entry has has no unwind info\n");
        return false;
    }
    context->encoding = encoding;
    context->functionStart = context->loadAddress + start;
    context->functionEnd = context->loadAddress + end;
    return true;
}

} // namespace

bool FLTCompactUnwindInit(FLTCompactUnwindContext *context, uintptr_t unwindInfo, uintptr_t ehFrame,
                          uintptr_t loadAddress)
{
    if (!context) {
        FLT_WARN("WARN  [%s:%d] Error: invalid context passed to compact unwind init\n");
        return false;
    }
    if (unwindInfo < 4096) {
        FLT_WARN("WARN  [%s:%d] Error: invalid unwind info passed to compact unwind init\n");
        return false;
    }
    if (loadAddress < 4096) {
        FLT_WARN("WARN  [%s:%d] Error: invalid load address passed to compact unwind init\n");
        return false;
    }
    memset(context, 0, sizeof *context);
    uint32_t header[7];
    if (!FLTUnwindReadMemory(unwindInfo, header, sizeof header)) {
        FLT_WARN("WARN  [%s:%d] Error: could not read memory contents of unwindInfo\n");
        return false;
    }
    if (header[0] != 1) {
        FLT_WARN("WARN  [%s:%d] Error: bad unwind_info structure version (%d != %d)\n",
                 static_cast<int>(header[0]), 1);
        return false;
    }
    context->unwindInfo = unwindInfo;
    context->ehFrame = ehFrame;
    context->loadAddress = loadAddress;
    context->commonEncodingsOffset = header[1];
    context->commonEncodingsCount = header[2];
    context->indexOffset = header[5];
    context->indexCount = header[6];
    return true;
}

bool FLTCompactUnwindLookup(FLTCompactUnwindContext *context, uintptr_t pc)
{
    if (pc <= context->loadAddress) {
        FLT_WARN("WARN  [%s:%d] Error: PC is invalid\n");
        return false;
    }
    const uint64_t target64 = pc - context->loadAddress;
    if (target64 > UINT32_MAX || context->indexCount < 2)
        return false;
    const auto target = static_cast<uint32_t>(target64);
    const uintptr_t index = context->unwindInfo + context->indexOffset;
    bool found = false;
    for (uint32_t i = 0; i + 1 < context->indexCount; ++i) {
        uint32_t entry[3];
        uint32_t nextOffset;
        if (!FLTUnwindReadMemory(index + i * 12, entry, sizeof entry)
            || !read32(index + (i + 1) * 12, &nextOffset))
            return false;
        if (entry[0] <= target && nextOffset > target) {
            context->firstLevelFunctionOffset = entry[0];
            context->firstLevelNextFunctionOffset = nextOffset;
            context->secondLevelPage = entry[1];
            found = true;
            FLT_DEBUG("DEBUG [%s:%d] Found first level (second => %u)\n", entry[1]);
            break;
        }
    }
    if (!found) {
        FLT_WARN("WARN  [%s:%d] Unable to find pc in first level\n");
        return false;
    }
    if (context->secondLevelPage == 0)
        return false;
    const uintptr_t page = context->unwindInfo + context->secondLevelPage;
    uint32_t kind;
    if (!read32(page, &kind))
        return false;
    if (kind == kCompressedPage) {
        FLT_INFO("INFO  [%s:%d] Found a second level compressed header\n");
        if (lookupCompressedPage(context, page, target))
            return true;
        FLT_INFO("INFO  [%s:%d] Second-level PC lookup failed\n");
        return false;
    }
    if (kind == kRegularPage) {
        FLT_INFO("INFO  [%s:%d] Found a second level regular header\n");
        FLT_WARN("WARN  [%s:%d] Encountered a regular second-level page\n");
        return false;
    }
    FLT_ERROR("ERROR [%s:%d] Unrecognized header kind - unable to continue\n");
    return false;
}

bool FLTCompactUnwindLookupAndCompute(FLTCompactUnwindContext *context, FLTThreadState *state,
                                      uintptr_t pc)
{
    if (!FLTCompactUnwindLookup(context, pc)) {
        FLT_INFO("INFO  [%s:%d] Unable to lookup compact unwind for pc %p\n",
                 reinterpret_cast<void *>(pc));
        return false;
    }
    if (!FLTCompactUnwindComputeRegisters(context, state)) {
        FLT_ERROR("ERROR [%s:%d] Failed to compute registers\n");
        return false;
    }
    return true;
}

bool FLTCompactUnwindComputeRegisters(FLTCompactUnwindContext *context, FLTThreadState *state)
{
    const uint32_t encoding = context->encoding;
    FLT_DEBUG("DEBUG [%s:%d] Computing registers for encoding %x\n", encoding);
    switch ((encoding & kModeMask) >> 24) {
    case FLTCompactUnwindModeFrame: return FLTCompactUnwindBPFrame(state);
    case FLTCompactUnwindModeStackImmediate:
    case FLTCompactUnwindModeStackIndirect: return FLTCompactUnwindFrameless(context, state);
    case FLTCompactUnwindModeDwarf:
        return FLTCompactUnwindDwarfFrame(context, encoding & 0x00ffffff, state);
    default: FLT_ERROR("ERROR [%s:%d] Invalid encoding %x\n", encoding); return false;
    }
}

bool FLTCompactUnwindBPFrame(FLTThreadState *state)
{
    const uint64_t fp = FLTRegisterStateGetFP(state);
    uint64_t record[2];
    if (!FLTUnwindReadMemory(fp, record, sizeof record)) {
        FLT_WARN("WARN  [%s:%d] Error: failed to read memory at address %p\n",
                 reinterpret_cast<void *>(fp));
        return false;
    }
    FLTRegisterStateSetPC(state, record[1]);
    FLTRegisterStateSetFP(state, record[0]);
    FLTRegisterStateSetSP(state, fp + 16);
    return true;
}

bool FLTCompactUnwindDecompressPermutation(uint32_t permutation, uint32_t count,
                                           uint32_t registers[6])
{
    if (count > 6)
        return false;
    uint32_t digits[6] = {};
    switch (count) {
    case 6:
    case 5:
        digits[0] = permutation / 120;
        permutation -= digits[0] * 120;
        digits[1] = permutation / 24;
        permutation -= digits[1] * 24;
        digits[2] = permutation / 6;
        permutation -= digits[2] * 6;
        digits[3] = permutation / 2;
        permutation -= digits[3] * 2;
        digits[4] = permutation;
        break;
    case 4:
        digits[0] = permutation / 60;
        permutation -= digits[0] * 60;
        digits[1] = permutation / 12;
        permutation -= digits[1] * 12;
        digits[2] = permutation / 3;
        permutation -= digits[2] * 3;
        digits[3] = permutation;
        break;
    case 3:
        digits[0] = permutation / 20;
        permutation -= digits[0] * 20;
        digits[1] = permutation / 4;
        permutation -= digits[1] * 4;
        digits[2] = permutation;
        break;
    case 2:
        digits[0] = permutation / 5;
        permutation -= digits[0] * 5;
        digits[1] = permutation;
        break;
    case 1: digits[0] = permutation; break;
    default: break;
    }
    bool used[7] = {};
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t rank = 0;
        bool placed = false;
        for (uint32_t reg = 1; reg <= 6; ++reg) {
            if (used[reg])
                continue;
            if (rank == digits[i]) {
                registers[i] = reg;
                used[reg] = true;
                placed = true;
                break;
            }
            ++rank;
        }
        if (!placed)
            return false;
    }
    return true;
}

bool FLTCompactUnwindFrameless(FLTCompactUnwindContext *context, FLTThreadState *state)
{
    const uint32_t encoding = context->encoding;
    FLT_WARN("WARN  [%s:%d] Frameless unwind encountered with encoding %x\n", encoding);
    uint64_t stackSize = ((encoding >> 16) & 0xff) * 8;
    if (((encoding & kModeMask) >> 24) == FLTCompactUnwindModeStackIndirect) {
        uint32_t sub;
        if (!read32(context->functionStart + ((encoding >> 16) & 0xff), &sub)) {
            FLT_WARN("WARN  [%s:%d] Error: unable to read subl value\n");
            FLT_WARN("WARN  [%s:%d] Error: unable to compute stack size for encoding %x\n",
                     encoding);
            return false;
        }
        stackSize = sub + ((encoding >> 13) & 7) * 8;
    }
    const uint32_t count = (encoding >> 10) & 7;
    uint32_t registers[6] = {};
    if (count > 6 || !FLTCompactUnwindDecompressPermutation(encoding & 0x3ff, count, registers)) {
        FLT_WARN("WARN  [%s:%d] Error: unable to decompress registers %x\n", encoding);
        return false;
    }
    const uint64_t sp = FLTRegisterStateGetSP(state);
    uint64_t location = sp + stackSize - 8 - 8 * count;
    FLTThreadState next = *state;
    for (uint32_t i = 0; i < count; ++i, location += 8) {
        uint64_t value;
        if (!FLTUnwindReadWord(location, &value)) {
            FLT_WARN("WARN  [%s:%d] Error: unable to read memory to set register\n");
            return false;
        }
        uint64_t *slot = savedRegisterSlot(&next, registers[i]);
        if (!slot) {
            FLT_WARN("WARN  [%s:%d] Error: unable to remap registers %x\n", encoding);
            return false;
        }
        *slot = value;
    }
    FLT_WARN("WARN  [%s:%d] SP is %p and we are reading %p\n", reinterpret_cast<void *>(sp),
             reinterpret_cast<void *>(sp + stackSize - 8));
    uint64_t pc;
    if (!FLTUnwindReadWord(sp + stackSize - 8, &pc)) {
        FLT_WARN("WARN  [%s:%d] Error: unable to read memory to set register\n");
        return false;
    }
    FLT_WARN("WARN  [%s:%d] Read PC to be %p\n", reinterpret_cast<void *>(pc));
    if (pc < 4096) {
        FLT_WARN("WARN  [%s:%d] Error: computed PC is invalid\n");
        return false;
    }
    next.rip = pc;
    next.rsp = sp + stackSize;
    *state = next;
    return true;
}

bool FLTCompactUnwindDwarfFrame(FLTCompactUnwindContext *context, uint32_t offset,
                                FLTThreadState *state)
{
    FLT_INFO("INFO  [%s:%d] Trying to read dwarf data with offset %x\n", offset);
    if (context->ehFrame < 4096)
        return false;
    FLTDwarfFDE fde;
    if (!FLTDwarfParseFDERecord(context->ehFrame + offset, &fde)) {
        FLT_ERROR("ERROR [%s:%d] Unable to init FDE\n");
        return false;
    }
    FLTThreadState next;
    if (!FLTDwarfUnwindComputeRegisters(fde, state, state->rip, &next)) {
        FLT_ERROR("ERROR [%s:%d] Failed to compute DWARF registers\n");
        return false;
    }
    *state = next;
    return true;
}
