// The unwinder on this process's own stacks (call-frame information of the real .eh_frame,
// signal frames included) and on call-frame programs made here.

#include "telemetry/crash/FLTBinaryImage.h"
#include "telemetry/crash/FLTContext.h"
#include "telemetry/crash/FLTDwarfUnwind.h"
#include "telemetry/crash/FLTUnwind.h"
#include "FLTCallFrameBuilder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

void startContext()
{
    static std::string folder;
    if (FLTContextIsInitialized())
        return;
    std::string pattern = (fs::temp_directory_path() / "flt-unwind-XXXXXX").string();
    folder = mkdtemp(pattern.data());
    std::atexit([] { fs::remove_all(folder); });
    FLTContextInitData data;
    data.reportPath = folder.c_str();
    ASSERT_TRUE(FLTContextInitializeWithoutHandlers(&data));
}

// Whether `pc` (a return address) lies in the function starting at `function`.
bool returnsInto(uintptr_t pc, void (*function)())
{
    const auto start = reinterpret_cast<uintptr_t>(function);
    return pc > start && pc - start < 512;
}

uintptr_t g_frames[64];
uint32_t g_frameCount = 0;

__attribute__((noinline)) void innermost()
{
    g_frameCount = FLTUnwindCurrentThread(g_frames, 64);
    asm volatile("" ::: "memory");
}

__attribute__((noinline)) void middle()
{
    innermost();
    asm volatile("" ::: "memory");
}

__attribute__((noinline)) void outermost()
{
    middle();
    asm volatile("" ::: "memory");
}

void onSignal(int)
{
    innermost();
}

__attribute__((noinline)) void raiser()
{
    raise(SIGUSR1);
    asm volatile("" ::: "memory");
}

__attribute__((noinline)) void raiserCaller()
{
    raiser();
    asm volatile("" ::: "memory");
}

TEST(Unwind, CurrentThreadGivesItsCallers)
{
    startContext();
    outermost();
    ASSERT_GE(g_frameCount, 3u);
    EXPECT_TRUE(returnsInto(g_frames[0], innermost));
    EXPECT_TRUE(returnsInto(g_frames[1], middle));
    EXPECT_TRUE(returnsInto(g_frames[2], outermost));
}

std::vector<uintptr_t> unwindAll(const FLTThreadState &state, FLTUnwindCache *cache)
{
    std::vector<uintptr_t> frames;
    FLTUnwindContext context;
    if (!FLTUnwindInit(&context, &state, true))
        return frames;
    FLTUnwindSetCache(&context, cache);
    while (FLTUnwindNextFrame(&context))
        frames.push_back(FLTUnwindGetPC(&context));
    return frames;
}

// Deep recursion, walked at its bottom without a cache, with an empty one and with a full one.
FLTUnwindCache g_cache; // too big for a test's stack
std::vector<uintptr_t> g_walks[3];
volatile int g_depthLimit = 300;

__attribute__((noinline)) int recurseAndWalk(int depth)
{
    if (depth == g_depthLimit) {
        FLTThreadState bottom;
        FLTThreadStateCaptureCurrent(&bottom);
        FLTUnwindCacheClear(&g_cache);
        g_walks[0] = unwindAll(bottom, nullptr);
        g_walks[1] = unwindAll(bottom, &g_cache);
        g_walks[2] = unwindAll(bottom, &g_cache);
        return 0;
    }
    volatile char pad[64];
    pad[0] = static_cast<char>(depth);
    const int result = recurseAndWalk(depth + 1) + pad[0];
    asm volatile("" ::: "memory");
    return result;
}

TEST(Unwind, KeptLookupsGiveTheSameFramesAsLookingEachUp)
{
    startContext();
    recurseAndWalk(0);
    ASSERT_GT(g_walks[0].size(), 300u);
    EXPECT_EQ(g_walks[1], g_walks[0]);
    EXPECT_EQ(g_walks[2], g_walks[0]);
    int entries = 0;
    for (const FLTUnwindCacheEntry &entry : g_cache.entries)
        entries += entry.pc != 0;
    EXPECT_GT(entries, 0);
}

TEST(Unwind, SignalFramesLeadBackToTheInterruptedCode)
{
    startContext();
    struct sigaction action {
    };
    struct sigaction previous {
    };
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGUSR1, &action, &previous);
    g_frameCount = 0;
    raiserCaller();
    sigaction(SIGUSR1, &previous, nullptr);
    ASSERT_GE(g_frameCount, 4u);
    EXPECT_TRUE(returnsInto(g_frames[0], innermost));
    // innermost <- onSignal <- the signal trampoline <- raise (in libc) ... <- raiser <-
    // raiserCaller
    bool sawRaiser = false;
    bool sawCaller = false;
    for (uint32_t i = 1; i < g_frameCount; ++i) {
        sawRaiser = sawRaiser || returnsInto(g_frames[i], raiser);
        sawCaller = sawCaller || (sawRaiser && returnsInto(g_frames[i], raiserCaller));
    }
    EXPECT_TRUE(sawRaiser);
    EXPECT_TRUE(sawCaller);
}

TEST(Unwind, ZeroPCGivesNoFrames)
{
    startContext();
    FLTThreadState state{};
    state.rsp = reinterpret_cast<uintptr_t>(&state);
    FLTUnwindContext context;
    ASSERT_TRUE(FLTUnwindInit(&context, &state));
    EXPECT_FALSE(FLTUnwindNextFrame(&context));
    EXPECT_FALSE(FLTUnwindNextFrame(nullptr));
}

TEST(Unwind, AFramePointerLoopEndsTheWalk)
{
    startContext();
    // Two frame records pointing at each other, with return addresses into this program where no
    // call-frame information applies (its ELF header).
    FLTBinaryImageDetails self{};
    ASSERT_TRUE(FLTBinaryImageMainExecutable(&self));
    uint64_t records[4];
    records[0] = reinterpret_cast<uintptr_t>(&records[2]);
    records[1] = self.base + 8;
    records[2] = reinterpret_cast<uintptr_t>(&records[0]);
    records[3] = self.base + 8;
    FLTThreadState state{};
    state.rip = self.base + 8;
    state.rsp = reinterpret_cast<uintptr_t>(&records[0]);
    state.rbp = reinterpret_cast<uintptr_t>(&records[0]);
    FLTUnwindContext context;
    ASSERT_TRUE(FLTUnwindInit(&context, &state));
    int frames = 0;
    while (FLTUnwindNextFrame(&context) && frames < 100)
        ++frames;
    EXPECT_LE(frames, 3);
}

TEST(Unwind, StackScanOfTheCrashedFrameTakesOnlyReturnAddresses)
{
    startContext();
    // The crashed frame has no call-frame information (its PC is in the program's ELF header)
    // and no frame record; above SP lie a data pointer into the program, a pointer into code
    // that follows no call, and finally a real return address (into outermost, after its call).
    FLTBinaryImageDetails self{};
    ASSERT_TRUE(FLTBinaryImageMainExecutable(&self));
    g_frameCount = 0;
    outermost();
    ASSERT_GE(g_frameCount, 3u);
    const uintptr_t returnAddress = g_frames[2];
    uint64_t stack[6] = {};
    stack[0] = self.base + 0x40;                        // program headers: data
    stack[1] = reinterpret_cast<uintptr_t>(&innermost); // code, but not after a call
    stack[2] = 7;
    stack[3] = returnAddress;
    FLTThreadState state{};
    state.rip = self.base + 8;
    state.rsp = reinterpret_cast<uintptr_t>(&stack[0]);
    FLTUnwindContext context;
    ASSERT_TRUE(FLTUnwindInit(&context, &state));
    ASSERT_TRUE(FLTUnwindNextFrame(&context));
    ASSERT_TRUE(FLTUnwindNextFrame(&context));
    EXPECT_EQ(FLTUnwindGetPC(&context), returnAddress);
    EXPECT_EQ(FLTUnwindGetSP(&context), reinterpret_cast<uintptr_t>(&stack[4]));
}

// A stack and registers for running a call-frame program made here.
struct Frame {
    uint64_t stack[8] = {};
    FLTThreadState state{};
    uintptr_t at(int word) const { return reinterpret_cast<uintptr_t>(&stack[word]); }
};

TEST(DwarfUnwind, RowsApplyUpToAndIncludingThePC)
{
    // push rbp (CFA = rsp + 16, rbp at CFA - 16), then at +4 remember the row, pretend an
    // epilogue (CFA = rsp + 8) at +5 and restore the remembered row at +6.
    FLTCallFrameBuilder frames;
    const uint64_t begin = 0x100000;
    const size_t offset =
        frames.addFDE(begin, 16, {0x41, 0x0e, 16, 0x86, 2, 0x43, 0x0a, 0x41, 0x0e, 8, 0x41, 0x0b});
    FLTDwarfFDE fde;
    ASSERT_TRUE(FLTDwarfParseFDERecord(frames.address(offset), &fde));
    EXPECT_EQ(fde.pcBegin, begin);
    EXPECT_EQ(fde.pcRange, 16u);

    Frame f;
    f.stack[0] = 0x5555; // saved rbp
    f.stack[1] = 0xaaaa; // return address after the push
    f.state.rsp = f.at(0);
    struct Case {
        uint64_t pc;
        uintptr_t callerSP;
        uint64_t callerPC;
    } cases[] = {
        {begin, f.at(1), 0x5555},     // before the push: the return address is at rsp
        {begin + 1, f.at(2), 0xaaaa}, // right after the push: its row applies at once
        {begin + 5, f.at(1), 0x5555}, // in the "epilogue"
        {begin + 6, f.at(2), 0xaaaa}, // row restored
    };
    for (const auto &c : cases) {
        FLTThreadState result;
        ASSERT_TRUE(FLTDwarfUnwindComputeRegisters(fde, &f.state, c.pc, &result)) << c.pc - begin;
        EXPECT_EQ(result.rsp, c.callerSP) << c.pc - begin;
        EXPECT_EQ(result.rip, c.callerPC) << c.pc - begin;
    }
}

TEST(DwarfUnwind, ExpressionMachine)
{
    FLTThreadState state{};
    uint64_t memory = 0x1234;
    state.rsp = 0x7000;
    state.rip = 0x40000b;
    state.rbx = reinterpret_cast<uintptr_t>(&memory);
    struct Case {
        std::vector<uint8_t> program;
        uint64_t expected;
    } cases[] = {
        {{0x77, 8}, 0x7008},              // DW_OP_breg7 8
        {{0x73, 0, 0x06}, 0x1234},        // DW_OP_breg3 0; DW_OP_deref
        {{0x73, 0, 0x94, 2}, 0x1234},     // DW_OP_deref_size 2
        {{0x31, 0x32, 0x22, 0x23, 4}, 7}, // 1 + 2, plus_uconst 4
        // The PLT entry expression: rsp + 8 + ((rip & 15) >= 11) << 3
        {{0x77, 8, 0x80, 0, 0x3f, 0x1a, 0x3b, 0x2a, 0x33, 0x24, 0x22}, 0x7010},
    };
    for (const auto &c : cases) {
        uint64_t result = 0;
        ASSERT_TRUE(FLTDwarfEvalulateExpression(reinterpret_cast<uintptr_t>(c.program.data()),
                                                c.program.size(), &state, nullptr, &result));
        EXPECT_EQ(result, c.expected);
    }
    uint64_t result;
    const uint8_t badDeref[] = {0x30, 0x06}; // deref of address 0
    EXPECT_FALSE(FLTDwarfEvalulateExpression(reinterpret_cast<uintptr_t>(badDeref), 2, &state,
                                             nullptr, &result));
    const uint8_t underflow[] = {0x22};
    EXPECT_FALSE(FLTDwarfEvalulateExpression(reinterpret_cast<uintptr_t>(underflow), 1, &state,
                                             nullptr, &result));
    EXPECT_FALSE(FLTDwarfEvalulateExpression(reinterpret_cast<uintptr_t>(underflow), 0, &state,
                                             nullptr, &result));
}

TEST(DwarfUnwind, SignalFrameAugmentationIsRecognised)
{
    FLTCallFrameBuilder frames(true);
    const size_t offset = frames.addFDE(0x200000, 8, {});
    FLTDwarfFDE fde;
    ASSERT_TRUE(FLTDwarfParseFDERecord(frames.address(offset), &fde));
    EXPECT_TRUE(fde.cie.signalFrame);
    EXPECT_EQ(fde.cie.dataAlignmentFactor, -8);
    EXPECT_EQ(fde.cie.returnAddressRegister, 16u);
}

TEST(BinaryImages, TableFindsLoadedImagesOnly)
{
    startContext();
    FLTBinaryImageSlot slot;
    EXPECT_TRUE(
        FLTBinaryImageSafeFindImageForAddress(reinterpret_cast<uintptr_t>(&innermost), &slot));
    EXPECT_NE(slot.ehFrameAddress, 0u);
    EXPECT_FALSE(FLTBinaryImageHasUnwindInfo(&slot));
    int onStack = 0;
    EXPECT_FALSE(
        FLTBinaryImageSafeFindImageForAddress(reinterpret_cast<uintptr_t>(&onStack), &slot));
    Dl_info info;
    ASSERT_TRUE(dladdr(reinterpret_cast<void *>(&abort), &info));
    EXPECT_TRUE(FLTBinaryImageSafeFindImageForAddress(reinterpret_cast<uintptr_t>(&abort), &slot));
    EXPECT_EQ(slot.base, reinterpret_cast<uintptr_t>(info.dli_fbase));

    // Load then unload frees the slot for reuse.
    FLTBinaryImageDetails fake{};
    fake.base = 0x10000000;
    fake.size = 0x1000;
    FLTBinaryImageStoreNode(true, fake);
    EXPECT_TRUE(FLTBinaryImageSafeFindImageForAddress(0x10000010, &slot));
    FLTBinaryImageStoreNode(false, fake);
    EXPECT_FALSE(FLTBinaryImageSafeFindImageForAddress(0x10000010, &slot));
}

TEST(BinaryImages, ConcurrentLoadsTakeDistinctSlots)
{
    startContext();
    constexpr int kThreads = 8;
    constexpr int kPerThread = 40;
    auto baseOf = [](int thread, int i) {
        return uintptr_t(0x20000000) + (thread * kPerThread + i) * 0x10000;
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) {
                FLTBinaryImageDetails details{};
                details.base = baseOf(t, i);
                details.size = 0x1000;
                FLTBinaryImageStoreNode(true, details);
            }
        });
    for (auto &thread : threads)
        thread.join();
    const FLTBinaryImageSlot *slots = FLTContextGet()->writable->images;
    std::set<uintptr_t> seen;
    for (int i = 0; i < kFLTBinaryImageSlotCount; ++i) {
        if (slots[i].base >= 0x20000000 && slots[i].base < 0x40000000) {
            EXPECT_TRUE(seen.insert(slots[i].base).second);
        }
    }
    EXPECT_EQ(seen.size(), size_t(kThreads * kPerThread));
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kPerThread; ++i) {
            FLTBinaryImageSlot slot;
            ASSERT_TRUE(FLTBinaryImageSafeFindImageForAddress(baseOf(t, i) + 8, &slot));
            EXPECT_EQ(slot.base, baseOf(t, i));
            FLTBinaryImageDetails details{};
            details.base = baseOf(t, i);
            FLTBinaryImageStoreNode(false, details);
        }
    FLTBinaryImageSlot slot;
    EXPECT_FALSE(FLTBinaryImageSafeFindImageForAddress(baseOf(0, 0) + 8, &slot));
}

} // namespace
