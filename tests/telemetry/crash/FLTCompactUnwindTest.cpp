// Compact unwind information of a Mach-O dylib built here with the LLVM tools, read from a copy
// of the file in memory and checked against llvm-objdump's reading of it.

#include "common/ChildProcess.h"
#include "telemetry/core/PLNMachO.h"
#include "telemetry/crash/FLTBinaryImage.h"
#include "telemetry/crash/FLTCompactUnwind.h"
#include "telemetry/crash/FLTContext.h"
#include "telemetry/crash/FLTDwarfUnwind.h"
#include "telemetry/crash/FLTUnwind.h"
#include "FLTCallFrameBuilder.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace fs = std::filesystem;

using qnt::test::runShell;

namespace {

struct Entry {
    uint32_t offset;
    uint32_t encodingIndex;
    uint32_t encoding;
};

class CompactUnwind : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const std::string path = FLT_COMPACT_UNWIND_FIXTURE;
        if (path.empty() || !fs::exists(path))
            GTEST_SKIP() << "the LLVM tools that build the Mach-O fixture are missing";
        std::ifstream in(path, std::ios::binary);
        m_bytes.assign(std::istreambuf_iterator<char>(in), {});
        m_bytes.resize(m_bytes.size() + 16); // room for reads just past the end
        m_base = reinterpret_cast<uintptr_t>(m_bytes.data());
        PLNMachOSlice slice = PLNMachOSliceWithHeader(m_bytes.data());
        slice.size = m_bytes.size();
        PLNMachOSection unwind;
        PLNMachOSection eh;
        ASSERT_TRUE(PLNMachOSliceGetSection(&slice, "__TEXT", "__unwind_info", &unwind));
        ASSERT_TRUE(PLNMachOSliceGetSection(&slice, "__TEXT", "__eh_frame", &eh));
        m_unwindInfo = m_base + unwind.offset;
        m_ehFrame = m_base + eh.offset;
        m_ehFrameSize = eh.size;

        const std::string dump =
            runShell(std::string(FLT_LLVM_OBJDUMP) + " --macho --unwind-info " + path).output;
        const std::regex entry(
            R"(\[\d+\]: function offset=0x([0-9a-f]+), encoding\[(\d+)\]=0x([0-9a-f]+))");
        for (std::sregex_iterator it(dump.begin(), dump.end(), entry), end; it != end; ++it)
            m_entries.push_back({static_cast<uint32_t>(std::stoul((*it)[1], nullptr, 16)),
                                 static_cast<uint32_t>(std::stoul((*it)[2])),
                                 static_cast<uint32_t>(std::stoul((*it)[3], nullptr, 16))});
        const std::string symbols =
            runShell(std::string(FLT_LLVM_OBJDUMP) + " --macho --syms " + path).output;
        const std::regex symbol(R"(([0-9a-f]{16}) g\s+F __TEXT,__text _(\w+))");
        for (std::sregex_iterator it(symbols.begin(), symbols.end(), symbol), end; it != end; ++it)
            m_symbols[(*it)[2]] = static_cast<uint32_t>(std::stoul((*it)[1], nullptr, 16));
        ASSERT_GE(m_entries.size(), 6u);
        ASSERT_EQ(m_symbols.size(), 6u);
    }

    FLTCompactUnwindContext context()
    {
        FLTCompactUnwindContext lookup;
        EXPECT_TRUE(FLTCompactUnwindInit(&lookup, m_unwindInfo, m_ehFrame, m_base));
        return lookup;
    }

    uintptr_t function(const std::string &name) { return m_base + m_symbols.at(name); }

    // A thread state whose stack is `m_stack`.
    FLTThreadState stateAt(uintptr_t pc)
    {
        FLTThreadState state{};
        state.rip = pc;
        state.rsp = reinterpret_cast<uintptr_t>(m_stack.data());
        return state;
    }
    uintptr_t stackAddress(size_t word) { return reinterpret_cast<uintptr_t>(&m_stack[word]); }

    std::vector<char> m_bytes;
    uintptr_t m_base = 0;
    uintptr_t m_unwindInfo = 0;
    uintptr_t m_ehFrame = 0;
    uint64_t m_ehFrameSize = 0;
    std::vector<Entry> m_entries;
    std::map<std::string, uint32_t> m_symbols;
    std::vector<uint64_t> m_stack = std::vector<uint64_t>(10000, 0);
};

TEST_F(CompactUnwind, LookupMatchesObjdumpForEveryFunction)
{
    FLTCompactUnwindContext lookup = context();
    for (size_t i = 0; i < m_entries.size(); ++i) {
        const Entry &entry = m_entries[i];
        const uint32_t end = i + 1 < m_entries.size() ? m_entries[i + 1].offset
                                                      : lookup.firstLevelNextFunctionOffset;
        std::vector<uint32_t> offsets = {entry.offset};
        if (i + 1 < m_entries.size())
            offsets.insert(offsets.end(), {entry.offset + 1, end - 1});
        for (uint32_t offset : offsets) {
            const bool found = FLTCompactUnwindLookup(&lookup, m_base + offset);
            if (entry.encoding == 0) {
                EXPECT_FALSE(found) << std::hex << offset;
                continue;
            }
            ASSERT_TRUE(found) << std::hex << offset;
            EXPECT_EQ(lookup.encoding, entry.encoding) << std::hex << offset;
            EXPECT_EQ(lookup.functionStart, m_base + entry.offset);
            if (i + 1 < m_entries.size()) {
                EXPECT_EQ(lookup.functionEnd, m_base + end);
            }
        }
    }
}

TEST_F(CompactUnwind, FramelessWithASmallStack)
{
    FLTCompactUnwindContext lookup = context();
    m_stack[1] = 0xaaaa0000;
    FLTThreadState state = stateAt(function("frameless_small") + 5);
    ASSERT_TRUE(FLTCompactUnwindLookupAndCompute(&lookup, &state, state.rip));
    EXPECT_EQ(state.rip, 0xaaaa0000u);
    EXPECT_EQ(state.rsp, stackAddress(2));
}

TEST_F(CompactUnwind, FramelessRestoresSavedRegistersInPermutationOrder)
{
    FLTCompactUnwindContext lookup = context();
    // push rbp; push r14; push rbx: rbx lowest, then r14, rbp, and the return address.
    m_stack[0] = 0xb0b0;
    m_stack[1] = 0x1414;
    m_stack[2] = 0xbeb0;
    m_stack[3] = 0xaaaa1000;
    FLTThreadState state = stateAt(function("frameless_saves") + 9);
    ASSERT_TRUE(FLTCompactUnwindLookupAndCompute(&lookup, &state, state.rip));
    EXPECT_EQ(state.rip, 0xaaaa1000u);
    EXPECT_EQ(state.rsp, stackAddress(4));
    EXPECT_EQ(state.rbx, 0xb0b0u);
    EXPECT_EQ(state.r14, 0x1414u);
    EXPECT_EQ(state.rbp, 0xbeb0u);
}

TEST_F(CompactUnwind, FramelessWithTheStackSizeReadFromTheFunction)
{
    FLTCompactUnwindContext lookup = context();
    // subq $70000, %rsp after push rbx: 70016 bytes with the return address.
    m_stack[70000 / 8] = 0xb0b1;
    m_stack[70008 / 8] = 0xaaaa2000;
    FLTThreadState state = stateAt(function("big_stack") + 0x19);
    ASSERT_TRUE(FLTCompactUnwindLookupAndCompute(&lookup, &state, state.rip));
    EXPECT_EQ(state.rip, 0xaaaa2000u);
    EXPECT_EQ(state.rsp, stackAddress(70016 / 8));
    EXPECT_EQ(state.rbx, 0xb0b1u);
}

TEST_F(CompactUnwind, FrameBasedUsesTheFrameRecord)
{
    FLTCompactUnwindContext lookup = context();
    m_stack[100] = stackAddress(200);
    m_stack[101] = 0xaaaa3000;
    FLTThreadState state = stateAt(function("dynamic_alloca") + 0x27);
    state.rbp = stackAddress(100);
    ASSERT_TRUE(FLTCompactUnwindLookupAndCompute(&lookup, &state, state.rip));
    EXPECT_EQ(state.rip, 0xaaaa3000u);
    EXPECT_EQ(state.rbp, stackAddress(200));
    EXPECT_EQ(state.rsp, stackAddress(102));
}

TEST_F(CompactUnwind, DwarfModeRunsTheFDEItPointsAt)
{
    // lld-14 emits no DWARF-mode entries (and leaves its __eh_frame copy unrelocated), so one
    // function's encoding is switched to the DWARF mode, pointing at an FDE made here that
    // describes: push rbx (CFA = rsp + 16, rbx at CFA - 16), then r12 kept in r11.
    const uintptr_t start = function("frameless_small");
    FLTCallFrameBuilder frames;
    const size_t fdeOffset =
        frames.addFDE(start, 16, {0x41, 0x0e, 16, 0x83, 2, 0x43, 0x09, 12, 11});
    const auto entry = std::find_if(m_entries.begin(), m_entries.end(),
                                    [&](const Entry &e) { return m_base + e.offset == start; });
    ASSERT_NE(entry, m_entries.end());
    uint32_t commonOffset;
    memcpy(&commonOffset, reinterpret_cast<void *>(m_unwindInfo + 4), 4);
    const uint32_t encoding = 0x04000000 | static_cast<uint32_t>(fdeOffset);
    memcpy(reinterpret_cast<void *>(m_unwindInfo + commonOffset + 4 * entry->encodingIndex),
           &encoding, 4);

    FLTCompactUnwindContext lookup;
    ASSERT_TRUE(FLTCompactUnwindInit(&lookup, m_unwindInfo, frames.address(0), m_base));
    m_stack[0] = 0xb0b2;                       // rbx, pushed
    m_stack[1] = 0xaaaa4000;                   // return address
    FLTThreadState state = stateAt(start + 5); // past the move: r12 kept in r11
    state.r11 = 0x1212;
    ASSERT_TRUE(FLTCompactUnwindLookupAndCompute(&lookup, &state, state.rip));
    EXPECT_EQ(lookup.encoding, encoding);
    EXPECT_EQ(state.rip, 0xaaaa4000u);
    EXPECT_EQ(state.rsp, stackAddress(2));
    EXPECT_EQ(state.rbx, 0xb0b2u);
    EXPECT_EQ(state.r12, 0x1212u);
}

TEST(CompactUnwindPages, RegularSecondLevelPagesAreNotSearched)
{
    // Header, two index entries, one regular page with one entry.
    alignas(8) uint32_t info[64] = {};
    info[0] = 1;  // version
    info[1] = 28; // common encodings (none)
    info[3] = 28; // personalities (none)
    info[5] = 28; // index
    info[6] = 2;
    info[7] = 0x1000;         // index[0]: function offset
    info[8] = 52;             //           second-level page
    info[10] = 0x2000;        // index[1]: end of the table
    info[13] = 2;             // regular page kind
    info[14] = 8 | (1 << 16); // entries at +8, one entry
    info[15] = 0x1000;
    info[16] = 0x02020000;
    FLTCompactUnwindContext lookup;
    const auto base = reinterpret_cast<uintptr_t>(info) & ~uintptr_t(0xfff);
    ASSERT_TRUE(FLTCompactUnwindInit(&lookup, reinterpret_cast<uintptr_t>(info), 0, base));
    // Point the page at the right place relative to this buffer's "image".
    EXPECT_FALSE(FLTCompactUnwindLookup(&lookup, base + 0x1010));
    EXPECT_FALSE(FLTCompactUnwindLookup(&lookup, base + 0x3000)); // beyond the table
}

TEST(CompactUnwindPages, PermutationDecoding)
{
    uint32_t registers[6];
    ASSERT_TRUE(FLTCompactUnwindDecompressPermutation(11, 3, registers));
    EXPECT_EQ(registers[0], 1u); // rbx
    EXPECT_EQ(registers[1], 4u); // r14
    EXPECT_EQ(registers[2], 6u); // rbp
    ASSERT_TRUE(FLTCompactUnwindDecompressPermutation(0, 6, registers));
    for (uint32_t i = 0; i < 6; ++i)
        EXPECT_EQ(registers[i], i + 1);
    EXPECT_FALSE(FLTCompactUnwindDecompressPermutation(0, 7, registers));
}

} // namespace
