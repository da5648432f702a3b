#include "FLTDwarfUnwind.h"

#include "FLTSDKLog.h"
#include "FLTUnwindMemory.h"

#include <cstring>

namespace {

constexpr int kRememberStackDepth = 8;
constexpr int kExpressionStackSize = 100;

// Reads the length field; yields the first byte after it and the end of the record.
bool readRecordLength(FLTSafeCursor &cursor, uintptr_t *end)
{
    uint32_t length32;
    if (!cursor.u32(&length32) || length32 == 0)
        return false;
    uint64_t length = length32;
    if (length32 == 0xffffffff && !cursor.u64(&length))
        return false;
    *end = cursor.position() + length;
    return *end > cursor.position();
}

uint64_t *registerSlot(FLTThreadState *state, uint64_t reg)
{
    switch (reg) {
    case 0: return &state->rax;
    case 1: return &state->rdx;
    case 2: return &state->rcx;
    case 3: return &state->rbx;
    case 4: return &state->rsi;
    case 5: return &state->rdi;
    case 6: return &state->rbp;
    case 7: return &state->rsp;
    case 8: return &state->r8;
    case 9: return &state->r9;
    case 10: return &state->r10;
    case 11: return &state->r11;
    case 12: return &state->r12;
    case 13: return &state->r13;
    case 14: return &state->r14;
    case 15: return &state->r15;
    case 16: return &state->rip;
    default: return nullptr;
    }
}

bool validRegister(uint64_t reg)
{
    return reg < kFLTDwarfRegisterCount;
}

bool getCFA(const FLTDwarfState &rules, const FLTThreadState *state, uint64_t *cfa)
{
    if (rules.cfaIsExpression) {
        if (!FLTDwarfEvalulateExpression(rules.cfaExpression, rules.cfaExpressionLength, state,
                                         nullptr, cfa)) {
            FLT_WARN("WARN  [%s:%d] Error: failed to compute CFA expression\n");
            return false;
        }
        return true;
    }
    uint64_t base;
    if (!FLTDwarfUnwindGetRegisterValue(state, rules.cfaRegister, &base)) {
        FLT_WARN("WARN  [%s:%d] Error: failed to get CFA\n");
        return false;
    }
    *cfa = base + static_cast<uint64_t>(rules.cfaOffset);
    return true;
}

bool savedRegister(const FLTDwarfRule &rule, uint64_t cfa, const FLTThreadState *state,
                   uint64_t *value)
{
    switch (rule.type) {
    case FLTDwarfRuleOffset:
        if (!FLTUnwindReadWord(cfa + static_cast<uint64_t>(rule.offset), value)) {
            FLT_WARN("WARN  [%s:%d] Error: Unable to read CFA value\n");
            return false;
        }
        return true;
    case FLTDwarfRuleValOffset: *value = cfa + static_cast<uint64_t>(rule.offset); return true;
    case FLTDwarfRuleRegister: return FLTDwarfUnwindGetRegisterValue(state, rule.reg, value);
    case FLTDwarfRuleExpression: {
        uint64_t address;
        if (!FLTDwarfEvalulateExpression(rule.expression, rule.expressionLength, state, &cfa,
                                         &address)
            || !FLTUnwindReadWord(address, value)) {
            FLT_WARN("WARN  [%s:%d] Error: Unable to read memory computed from expression\n");
            return false;
        }
        return true;
    }
    case FLTDwarfRuleValExpression:
        if (!FLTDwarfEvalulateExpression(rule.expression, rule.expressionLength, state, &cfa,
                                         value)) {
            FLT_WARN("WARN  [%s:%d] Error: unable to evaluate expression\n");
            return false;
        }
        return true;
    default:
        FLT_WARN("WARN  [%s:%d] Error: Unrecognized register save location 0x%x\n",
                 static_cast<unsigned>(rule.type));
        return false;
    }
}

} // namespace

bool FLTDwarfUnwindGetRegisterValue(const FLTThreadState *state, uint64_t reg, uint64_t *value)
{
    uint64_t *slot = registerSlot(const_cast<FLTThreadState *>(state), reg);
    if (!slot)
        return false;
    *value = *slot;
    return true;
}

bool FLTDwarfUnwindSetRegisterValue(FLTThreadState *state, uint64_t reg, uint64_t value)
{
    uint64_t *slot = registerSlot(state, reg);
    if (!slot)
        return false;
    *slot = value;
    return true;
}

bool FLTDwarfParseCIERecord(uintptr_t address, FLTDwarfCIE *cie)
{
    memset(cie, 0, sizeof *cie);
    FLTSafeCursor cursor(address, UINTPTR_MAX);
    uintptr_t end;
    if (!readRecordLength(cursor, &end)) {
        FLT_WARN("WARN  [%s:%d] Error: CIE length invalid\n");
        return false;
    }
    cursor = FLTSafeCursor(cursor.position(), end);
    uint32_t id;
    if (!cursor.u32(&id))
        return false;
    if (id != 0)
        FLT_WARN("WARN  [%s:%d] Error: CIE flag not found\n");
    uint8_t version;
    if (!cursor.u8(&version))
        return false;
    if (version != 1 && version != 3) {
        FLT_WARN("WARN  [%s:%d] Error: CIE version %u unsupported\n",
                 static_cast<unsigned>(version));
        return false;
    }
    char augmentation[16];
    int length = 0;
    for (;;) {
        uint8_t c;
        if (!cursor.u8(&c))
            return false;
        if (c == 0)
            break;
        if (length < static_cast<int>(sizeof augmentation) - 1)
            augmentation[length++] = static_cast<char>(c);
    }
    augmentation[length] = '\0';
    if (!cursor.uleb128(&cie->codeAlignmentFactor) || !cursor.sleb128(&cie->dataAlignmentFactor))
        return false;
    if (version == 1) {
        uint8_t ra;
        if (!cursor.u8(&ra))
            return false;
        cie->returnAddressRegister = ra;
    } else if (!cursor.uleb128(&cie->returnAddressRegister)) {
        return false;
    }
    cie->pointerEncoding = 0; // absolute pointers unless 'R' says otherwise
    cie->lsdaEncoding = 0xff;
    if (length > 0) {
        if (augmentation[0] != 'z') {
            FLT_WARN("WARN  [%s:%d] Error: Unimplemented: augmentation string %s\n", augmentation);
            return false;
        }
        cie->hasAugmentationData = true;
        uint64_t dataLength;
        if (!cursor.uleb128(&dataLength))
            return false;
        const uintptr_t dataEnd = cursor.position() + dataLength;
        for (int i = 1; i < length; ++i) {
            switch (augmentation[i]) {
            case 'L':
                if (!cursor.u8(&cie->lsdaEncoding))
                    return false;
                break;
            case 'P': {
                uint8_t encoding;
                uint64_t personality;
                if (!cursor.u8(&encoding) || !cursor.encodedPointer(encoding & 0x7f, &personality))
                    return false;
                break;
            }
            case 'R':
                if (!cursor.u8(&cie->pointerEncoding))
                    return false;
                break;
            case 'S': cie->signalFrame = true; break;
            default:
                FLT_WARN("WARN  [%s:%d] Error: Unhandled augmentation string entry %c\n",
                         static_cast<int>(augmentation[i]));
                break;
            }
        }
        cursor.setPosition(dataEnd);
    }
    cie->start = address;
    cie->end = end;
    cie->instructionsStart = cursor.position();
    return cie->instructionsStart <= end;
}

bool FLTDwarfParseFDERecord(uintptr_t address, FLTDwarfFDE *fde)
{
    memset(fde, 0, sizeof *fde);
    FLTSafeCursor cursor(address, UINTPTR_MAX);
    uintptr_t end;
    if (!readRecordLength(cursor, &end))
        return false;
    cursor = FLTSafeCursor(cursor.position(), end);
    const uintptr_t ciePointerAddress = cursor.position();
    uint32_t ciePointer;
    if (!cursor.u32(&ciePointer) || ciePointer == 0)
        return false;
    if (!FLTDwarfParseCIERecord(ciePointerAddress - ciePointer, &fde->cie))
        return false;
    uint64_t pcBegin;
    uint64_t pcRange;
    if (!cursor.encodedPointer(fde->cie.pointerEncoding, &pcBegin)
        || !cursor.encodedPointer(fde->cie.pointerEncoding & 0x0f, &pcRange))
        return false;
    if (fde->cie.hasAugmentationData) {
        uint64_t dataLength;
        if (!cursor.uleb128(&dataLength))
            return false;
        cursor.setPosition(cursor.position() + dataLength);
    }
    fde->start = address;
    fde->end = end;
    fde->instructionsStart = cursor.position();
    fde->pcBegin = pcBegin;
    fde->pcRange = pcRange;
    return fde->instructionsStart <= end;
}

bool FLTDwarfFindFDE(uintptr_t ehFrameHeader, uintptr_t pc, FLTDwarfFDE *fde)
{
    if (ehFrameHeader < 4096)
        return false;
    FLTSafeCursor cursor(ehFrameHeader, UINTPTR_MAX);
    uint8_t version, framePointerEncoding, countEncoding, tableEncoding;
    if (!cursor.u8(&version) || version != 1 || !cursor.u8(&framePointerEncoding)
        || !cursor.u8(&countEncoding) || !cursor.u8(&tableEncoding))
        return false;
    uint64_t ehFrame, count;
    if (!cursor.encodedPointer(framePointerEncoding, &ehFrame, ehFrameHeader)
        || !cursor.encodedPointer(countEncoding, &count, ehFrameHeader) || count == 0)
        return false;
    // Linkers write the table as pairs of 4-byte data-relative signed values.
    if (tableEncoding != 0x3b) {
        FLT_WARN("WARN  [%s:%d] Unhandled: encoding 0x%x\n", static_cast<unsigned>(tableEncoding));
        return false;
    }
    const uintptr_t table = cursor.position();
    uint64_t low = 0;
    uint64_t high = count;
    while (high - low > 1) {
        const uint64_t middle = low + (high - low) / 2;
        int32_t start;
        if (!FLTUnwindReadMemory(table + middle * 8, &start, 4))
            return false;
        if (ehFrameHeader + static_cast<int64_t>(start) <= pc)
            low = middle;
        else
            high = middle;
    }
    int32_t entry[2];
    if (!FLTUnwindReadMemory(table + low * 8, entry, sizeof entry))
        return false;
    if (!FLTDwarfParseFDERecord(ehFrameHeader + static_cast<int64_t>(entry[1]), fde))
        return false;
    return pc >= fde->pcBegin && pc - fde->pcBegin < fde->pcRange;
}

bool FLTDwarfInstructionsEnumerate(uintptr_t start, uintptr_t end, const FLTDwarfCIE &cie,
                                   uintptr_t pcBegin, uint64_t target, FLTDwarfState *state,
                                   const FLTDwarfState *initial)
{
    FLTSafeCursor cursor(start, end);
    uint64_t location = 0;
    FLTDwarfState remembered[kRememberStackDepth];
    int rememberedCount = 0;
    const int64_t dataAlign = cie.dataAlignmentFactor;

    auto advance = [&](uint64_t delta) {
        const uint64_t next = location + delta * cie.codeAlignmentFactor;
        if (next > target)
            return false; // the row for the target is complete
        location = next;
        return true;
    };
    auto setRule = [&](uint64_t reg, uint8_t type, int64_t offset, const char *name) {
        if (!validRegister(reg)) {
            FLT_WARN("WARN  [%s:%d] Error: Found an invalid %s register number\n", name);
            return false;
        }
        state->registers[reg] = {type, offset, 0, 0, 0};
        return true;
    };
    auto restore = [&](uint64_t reg) {
        if (!validRegister(reg))
            return false;
        state->registers[reg] = initial ? initial->registers[reg] : FLTDwarfRule{};
        return true;
    };

    while (!cursor.atEnd()) {
        uint8_t opcode;
        if (!cursor.u8(&opcode))
            return false;
        const uint8_t high = opcode & 0xc0;
        const uint8_t low = opcode & 0x3f;
        bool ok = true;
        if (high == 0x40) {
            if (!advance(low))
                return true;
            continue;
        }
        if (high == 0x80) {
            uint64_t offset;
            ok = cursor.uleb128(&offset)
                 && setRule(low, FLTDwarfRuleOffset, static_cast<int64_t>(offset) * dataAlign,
                            "DW_CFA_offset");
        } else if (high == 0xc0) {
            ok = restore(low);
        } else {
            uint64_t a = 0, b = 0;
            int64_t s = 0;
            switch (opcode) {
            case 0x00: // DW_CFA_nop
                break;
            case 0x01: { // DW_CFA_set_loc
                uint64_t address;
                ok = cursor.encodedPointer(cie.pointerEncoding, &address);
                if (ok) {
                    if (address - pcBegin > target)
                        return true;
                    location = address - pcBegin;
                }
                break;
            }
            case 0x02: {
                uint8_t d;
                ok = cursor.u8(&d);
                if (ok && !advance(d))
                    return true;
                break;
            }
            case 0x03: {
                uint16_t d;
                ok = cursor.u16(&d);
                if (ok && !advance(d))
                    return true;
                break;
            }
            case 0x04: {
                uint32_t d;
                ok = cursor.u32(&d);
                if (ok && !advance(d))
                    return true;
                break;
            }
            case 0x05: // DW_CFA_offset_extended
                ok = cursor.uleb128(&a) && cursor.uleb128(&b)
                     && setRule(a, FLTDwarfRuleOffset, static_cast<int64_t>(b) * dataAlign,
                                "DW_CFA_offset_extended");
                break;
            case 0x06: // DW_CFA_restore_extended
                ok = cursor.uleb128(&a) && restore(a);
                break;
            case 0x07: // DW_CFA_undefined
                ok = cursor.uleb128(&a) && setRule(a, FLTDwarfRuleUndefined, 0, "DW_CFA_undefined");
                break;
            case 0x08: // DW_CFA_same_value
                ok = cursor.uleb128(&a) && setRule(a, FLTDwarfRuleUnused, 0, "DW_CFA_same_value");
                break;
            case 0x09: // DW_CFA_register
                ok = cursor.uleb128(&a) && cursor.uleb128(&b)
                     && setRule(a, FLTDwarfRuleRegister, 0, "DW_CFA_register");
                if (ok)
                    state->registers[a].reg = b;
                break;
            case 0x0a: // DW_CFA_remember_state
                if (rememberedCount == kRememberStackDepth)
                    ok = false;
                else
                    remembered[rememberedCount++] = *state;
                break;
            case 0x0b: // DW_CFA_restore_state: compilers expect the CFA rule back too
                if (rememberedCount == 0)
                    ok = false;
                else
                    *state = remembered[--rememberedCount];
                break;
            case 0x0c: // DW_CFA_def_cfa
                ok = cursor.uleb128(&a) && cursor.uleb128(&b);
                state->cfaIsExpression = false;
                state->cfaRegister = a;
                state->cfaOffset = static_cast<int64_t>(b);
                break;
            case 0x0d: // DW_CFA_def_cfa_register
                ok = cursor.uleb128(&a);
                state->cfaIsExpression = false;
                state->cfaRegister = a;
                break;
            case 0x0e: // DW_CFA_def_cfa_offset
                ok = cursor.uleb128(&b);
                state->cfaOffset = static_cast<int64_t>(b);
                break;
            case 0x0f: // DW_CFA_def_cfa_expression
                ok = cursor.uleb128(&b);
                state->cfaIsExpression = true;
                state->cfaExpression = cursor.position();
                state->cfaExpressionLength = b;
                cursor.setPosition(cursor.position() + b);
                break;
            case 0x10: // DW_CFA_expression
            case 0x16: // DW_CFA_val_expression
                ok = cursor.uleb128(&a) && cursor.uleb128(&b)
                     && setRule(a,
                                opcode == 0x10 ? FLTDwarfRuleExpression : FLTDwarfRuleValExpression,
                                0, "DW_CFA_expression");
                if (ok) {
                    state->registers[a].expression = cursor.position();
                    state->registers[a].expressionLength = b;
                    cursor.setPosition(cursor.position() + b);
                }
                break;
            case 0x11: // DW_CFA_offset_extended_sf
                ok = cursor.uleb128(&a) && cursor.sleb128(&s)
                     && setRule(a, FLTDwarfRuleOffset, s * dataAlign, "DW_CFA_offset_extended_sf");
                break;
            case 0x12: // DW_CFA_def_cfa_sf
                ok = cursor.uleb128(&a) && cursor.sleb128(&s);
                state->cfaIsExpression = false;
                state->cfaRegister = a;
                state->cfaOffset = s * dataAlign;
                break;
            case 0x13: // DW_CFA_def_cfa_offset_sf
                ok = cursor.sleb128(&s);
                state->cfaOffset = s * dataAlign;
                break;
            case 0x14: // DW_CFA_val_offset
                ok = cursor.uleb128(&a) && cursor.uleb128(&b)
                     && setRule(a, FLTDwarfRuleValOffset, static_cast<int64_t>(b) * dataAlign,
                                "DW_CFA_val_offset");
                break;
            case 0x15: // DW_CFA_val_offset_sf
                ok = cursor.uleb128(&a) && cursor.sleb128(&s)
                     && setRule(a, FLTDwarfRuleValOffset, s * dataAlign, "DW_CFA_val_offset_sf");
                break;
            case 0x2e: // DW_CFA_GNU_args_size: only matters for landing pads
                ok = cursor.uleb128(&a);
                break;
            case 0x2f: // DW_CFA_GNU_negative_offset_extended
                ok = cursor.uleb128(&a) && cursor.uleb128(&b)
                     && setRule(a, FLTDwarfRuleOffset, -static_cast<int64_t>(b) * dataAlign,
                                "DW_CFA_GNU_negative_offset_extended");
                break;
            default:
                FLT_WARN("WARN  [%s:%d] Error: Unrecognized DWARF instruction 0x%x\n",
                         static_cast<unsigned>(opcode));
                ok = false;
                break;
            }
        }
        if (!ok) {
            FLT_WARN("WARN  [%s:%d] Error: Failed to execute dwarf instruction 0x%x\n",
                     static_cast<unsigned>(opcode));
            return false;
        }
    }
    return true;
}

bool FLTDwarfComputeRules(const FLTDwarfFDE &fde, uintptr_t pc, FLTDwarfState *rules)
{
    memset(rules, 0, sizeof *rules);
    if (!FLTDwarfInstructionsEnumerate(fde.cie.instructionsStart, fde.cie.end, fde.cie, fde.pcBegin,
                                       UINT64_MAX, rules, nullptr)) {
        FLT_WARN("WARN  [%s:%d] Error: Unable to run CIE instructions\n");
        return false;
    }
    if (pc < fde.pcBegin) {
        FLT_WARN("WARN  [%s:%d] Error: The FDE pcOffset value cannot be negative\n");
        return false;
    }
    const FLTDwarfState initial = *rules;
    if (!FLTDwarfInstructionsEnumerate(fde.instructionsStart, fde.end, fde.cie, fde.pcBegin,
                                       pc - fde.pcBegin, rules, &initial)) {
        FLT_WARN("WARN  [%s:%d] Error: Unable to run FDE instructions\n");
        return false;
    }
    return true;
}

bool FLTDwarfApplyRules(const FLTDwarfState &rules, uint64_t returnAddressRegister,
                        const FLTThreadState *state, FLTThreadState *result)
{
    uint64_t cfa;
    if (!getCFA(rules, state, &cfa))
        return false;
    const uint64_t ra = returnAddressRegister;
    if (!validRegister(ra) || rules.registers[ra].type == FLTDwarfRuleUndefined)
        return false; // the outermost frame: nothing called it
    FLTThreadState next = *state;
    for (uint64_t reg = 0; reg < kFLTDwarfRegisterCount; ++reg) {
        const FLTDwarfRule &rule = rules.registers[reg];
        if (rule.type == FLTDwarfRuleUnused || rule.type == FLTDwarfRuleUndefined)
            continue;
        uint64_t value;
        if (!savedRegister(rule, cfa, state, &value)
            || !FLTDwarfUnwindSetRegisterValue(&next, reg, value)) {
            FLT_WARN("WARN  [%s:%d] Error: Unable to restore register value\n");
            return false;
        }
    }
    uint64_t returnAddress;
    if (!FLTDwarfUnwindGetRegisterValue(&next, ra, &returnAddress))
        return false;
    next.rip = returnAddress;
    next.rsp = cfa;
    *result = next;
    return true;
}

bool FLTDwarfUnwindComputeRegisters(const FLTDwarfFDE &fde, const FLTThreadState *state,
                                    uintptr_t pc, FLTThreadState *result)
{
    FLTDwarfState rules;
    return FLTDwarfComputeRules(fde, pc, &rules)
           && FLTDwarfApplyRules(rules, fde.cie.returnAddressRegister, state, result);
}

bool FLTDwarfEvalulateExpression(uintptr_t expression, uint64_t length, const FLTThreadState *state,
                                 const uint64_t *initial, uint64_t *result)
{
    if (length == 0) {
        FLT_WARN("WARN  [%s:%d] Error: DWARF expression length is zero\n");
        return false;
    }
    uint64_t stack[kExpressionStackSize];
    int depth = 0;
    if (initial)
        stack[depth++] = *initial;
    FLTSafeCursor cursor(expression, expression + length);
    auto push = [&](uint64_t value) {
        if (depth >= kExpressionStackSize)
            return false;
        stack[depth++] = value;
        return true;
    };
    auto need = [&](int count) { return depth >= count; };

    while (!cursor.atEnd()) {
        uint8_t op;
        if (!cursor.u8(&op))
            return false;
        bool ok = true;
        if (op >= 0x30 && op <= 0x4f) { // DW_OP_lit0..31
            ok = push(op - 0x30);
        } else if (op >= 0x50 && op <= 0x6f) { // DW_OP_reg0..31
            uint64_t value;
            ok = FLTDwarfUnwindGetRegisterValue(state, op - 0x50, &value) && push(value);
        } else if (op >= 0x70 && op <= 0x8f) { // DW_OP_breg0..31
            int64_t offset;
            uint64_t value;
            if (!cursor.sleb128(&offset))
                return false;
            if (!FLTDwarfUnwindGetRegisterValue(state, op - 0x70, &value)) {
                FLT_WARN("WARN  [%s:%d] Error: DW_OP_breg invalid register number\n");
                return false;
            }
            ok = push(value + static_cast<uint64_t>(offset));
        } else {
            uint64_t u = 0;
            int64_t s = 0;
            switch (op) {
            case 0x03: ok = cursor.u64(&u) && push(u); break; // DW_OP_addr
            case 0x06:                                        // DW_OP_deref
                if (!need(1) || !FLTUnwindReadWord(stack[depth - 1], &stack[depth - 1])) {
                    FLT_WARN("WARN  [%s:%d] Error: DW_OP_deref failed to read memory\n");
                    return false;
                }
                break;
            case 0x08: {
                uint8_t v;
                ok = cursor.u8(&v) && push(v);
                break;
            }
            case 0x09: {
                int8_t v;
                ok = cursor.read(&v, 1) && push(static_cast<uint64_t>(static_cast<int64_t>(v)));
                break;
            }
            case 0x0a: {
                uint16_t v;
                ok = cursor.u16(&v) && push(v);
                break;
            }
            case 0x0b: {
                int16_t v;
                ok = cursor.read(&v, 2) && push(static_cast<uint64_t>(static_cast<int64_t>(v)));
                break;
            }
            case 0x0c: {
                uint32_t v;
                ok = cursor.u32(&v) && push(v);
                break;
            }
            case 0x0d: {
                int32_t v;
                ok = cursor.read(&v, 4) && push(static_cast<uint64_t>(static_cast<int64_t>(v)));
                break;
            }
            case 0x0e:
            case 0x0f: ok = cursor.u64(&u) && push(u); break;
            case 0x10: ok = cursor.uleb128(&u) && push(u); break; // DW_OP_constu
            case 0x11: ok = cursor.sleb128(&s) && push(static_cast<uint64_t>(s)); break;
            case 0x12: ok = need(1) && push(stack[depth - 1]); break; // DW_OP_dup
            case 0x13:
                ok = need(1);
                if (ok)
                    --depth;
                break;                                                // DW_OP_drop
            case 0x14: ok = need(2) && push(stack[depth - 2]); break; // DW_OP_over
            case 0x15: {
                uint8_t i;
                ok = cursor.u8(&i) && need(i + 1) && push(stack[depth - 1 - i]);
                break;
            }
            case 0x16:
                ok = need(2);
                if (ok) {
                    const uint64_t t = stack[depth - 1];
                    stack[depth - 1] = stack[depth - 2];
                    stack[depth - 2] = t;
                }
                break;
            case 0x17:
                ok = need(3);
                if (ok) {
                    const uint64_t t = stack[depth - 1];
                    stack[depth - 1] = stack[depth - 2];
                    stack[depth - 2] = stack[depth - 3];
                    stack[depth - 3] = t;
                }
                break;
            case 0x19:
                ok = need(1);
                if (ok)
                    stack[depth - 1] =
                        static_cast<uint64_t>(static_cast<int64_t>(stack[depth - 1]) < 0
                                                  ? -static_cast<int64_t>(stack[depth - 1])
                                                  : static_cast<int64_t>(stack[depth - 1]));
                break;
            case 0x1f:
                ok = need(1);
                if (ok)
                    stack[depth - 1] = 0 - stack[depth - 1];
                break; // neg
            case 0x20:
                ok = need(1);
                if (ok)
                    stack[depth - 1] = ~stack[depth - 1];
                break; // not
            case 0x23:
                ok = cursor.uleb128(&u) && need(1);
                if (ok)
                    stack[depth - 1] += u;
                break;   // plus_uconst
            case 0x94: { // DW_OP_deref_size
                uint8_t size;
                if (!cursor.u8(&size) || !need(1))
                    return false;
                if (size != 1 && size != 2 && size != 4 && size != 8) {
                    FLT_WARN("WARN  [%s:%d] Error: unrecognized DW_OP_deref_size argument %x\n",
                             static_cast<unsigned>(size));
                    return false;
                }
                uint64_t value = 0;
                if (!FLTUnwindReadMemory(stack[depth - 1], &value, size)) {
                    FLT_WARN("WARN  [%s:%d] Error: DW_OP_deref failed to read memory\n");
                    return false;
                }
                stack[depth - 1] = value;
                break;
            }
            case 0x96: break; // DW_OP_nop
            case 0x2f: {      // DW_OP_skip
                int16_t offset;
                ok = cursor.read(&offset, 2);
                if (ok)
                    cursor.setPosition(cursor.position() + offset);
                break;
            }
            case 0x28: { // DW_OP_bra
                int16_t offset;
                ok = cursor.read(&offset, 2) && need(1);
                if (ok && stack[--depth] != 0)
                    cursor.setPosition(cursor.position() + offset);
                break;
            }
            default: {
                // Binary operators: pop b, then a, push a op b.
                if (!need(2)) {
                    FLT_WARN("WARN  [%s:%d] Error: DWARF machine stack invalid\n");
                    return false;
                }
                const uint64_t b = stack[depth - 1];
                const uint64_t a = stack[depth - 2];
                const auto sa = static_cast<int64_t>(a);
                const auto sb = static_cast<int64_t>(b);
                uint64_t r;
                switch (op) {
                case 0x1a: r = a & b; break;
                case 0x1b:
                    if (sb == 0)
                        return false;
                    r = static_cast<uint64_t>(sa / sb);
                    break;
                case 0x1c: r = a - b; break;
                case 0x1d:
                    if (b == 0)
                        return false;
                    r = a % b;
                    break;
                case 0x1e: r = a * b; break;
                case 0x21: r = a | b; break;
                case 0x22: r = a + b; break;
                case 0x24: r = b < 64 ? a << b : 0; break;
                case 0x25: r = b < 64 ? a >> b : 0; break;
                case 0x26: r = static_cast<uint64_t>(b < 64 ? sa >> b : (sa < 0 ? -1 : 0)); break;
                case 0x27: r = a ^ b; break;
                case 0x29: r = sa == sb; break;
                case 0x2a: r = sa >= sb; break;
                case 0x2b: r = sa > sb; break;
                case 0x2c: r = sa <= sb; break;
                case 0x2d: r = sa < sb; break;
                case 0x2e: r = sa != sb; break;
                default:
                    FLT_WARN("WARN  [%s:%d] Error: unsupported DWARF expression opcode 0x%x\n",
                             static_cast<unsigned>(op));
                    return false;
                }
                --depth;
                stack[depth - 1] = r;
                break;
            }
            }
        }
        if (!ok || depth < 0) {
            FLT_WARN("WARN  [%s:%d] Error: DWARF machine stack invalid\n");
            return false;
        }
    }
    if (depth < 1)
        return false;
    *result = stack[depth - 1];
    return true;
}
