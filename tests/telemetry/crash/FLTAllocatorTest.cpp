// The guarded allocator: layout, bump allocation, fallback and protection.

#include "telemetry/crash/FLTAllocator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <thread>
#include <vector>

namespace {

TEST(Allocator, SizesRoundUpToOneMorePage)
{
    EXPECT_EQ(FLTAllocatorRoundedSize(4096), 8192u);
    EXPECT_EQ(FLTAllocatorRoundedSize(1), 4096u);
    EXPECT_EQ(FLTAllocatorRoundedSize(544872), 134u * 4096u);
    EXPECT_EQ(FLTAllocatorRoundedSize(17064 + 64), 5u * 4096u);
}

TEST(Allocator, LayoutHasGuardPagesAroundBothParts)
{
    FLTAllocator *allocator = FLTAllocatorCreate(544872, 17064);
    ASSERT_NE(allocator, nullptr);
    EXPECT_EQ(allocator->writable.start, allocator->mapping + 4096);
    EXPECT_EQ(allocator->writable.size, 134u * 4096u);
    EXPECT_EQ(FLTAllocatorReadOnlyStart(allocator), allocator->mapping + (1 + 134 + 1) * 4096u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(allocator), FLTAllocatorReadOnlyStart(allocator));
    EXPECT_EQ(allocator->readOnly.cursor, allocator->readOnly.start + 64);
}

TEST(Allocator, AllocationsThatDoNotFitFallBackToTheHeap)
{
    FLTAllocator *allocator = FLTAllocatorCreate(100, 100);
    ASSERT_NE(allocator, nullptr);
    void *first = FLTAllocatorSafeAllocate(allocator, 4000, FLTAllocationWritable);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(first), allocator->writable.start);
    const uintptr_t cursor = allocator->writable.cursor;
    void *tooBig = FLTAllocatorSafeAllocate(allocator, 4000, FLTAllocationWritable);
    ASSERT_NE(tooBig, nullptr);
    EXPECT_EQ(allocator->writable.cursor, cursor);
    EXPECT_TRUE(reinterpret_cast<uintptr_t>(tooBig) < allocator->mapping
                || reinterpret_cast<uintptr_t>(tooBig) > allocator->mapping + 4 * 4096u);
    free(tooBig);
    EXPECT_EQ(FLTAllocatorSafeAllocate(allocator, 8, 7), nullptr);
}

TEST(Allocator, ConcurrentAllocationsNeverOverlap)
{
    FLTAllocator *allocator = FLTAllocatorCreate(64 * 1024, 100);
    ASSERT_NE(allocator, nullptr);
    std::vector<uintptr_t> addresses(8 * 100);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 100; ++i)
                addresses[t * 100 + i] = reinterpret_cast<uintptr_t>(
                    FLTAllocatorSafeAllocateFromRegion(&allocator->writable, 64));
        });
    for (auto &thread : threads)
        thread.join();
    std::sort(addresses.begin(), addresses.end());
    EXPECT_NE(addresses.front(), 0u);
    for (size_t i = 1; i < addresses.size(); ++i)
        EXPECT_GE(addresses[i] - addresses[i - 1], 64u);
}

TEST(Allocator, ProtectionMakesTheReadOnlyPartReadOnlyAndLaterAllocationsUseTheHeap)
{
    FLTAllocator *allocator = FLTAllocatorCreate(4096, 4096);
    ASSERT_NE(allocator, nullptr);
    auto *text =
        static_cast<char *>(FLTAllocatorSafeAllocate(allocator, 16, FLTAllocationReadOnly));
    text[0] = 'x';
    EXPECT_TRUE(FLTAllocatorProtect(allocator));
    EXPECT_TRUE(FLTAllocatorProtect(allocator)); // already protected
    EXPECT_EQ(text[0], 'x');
    void *later = FLTAllocatorSafeAllocate(allocator, 16, FLTAllocationReadOnly);
    EXPECT_TRUE(reinterpret_cast<uintptr_t>(later) < FLTAllocatorReadOnlyStart(allocator)
                || reinterpret_cast<uintptr_t>(later)
                       >= FLTAllocatorReadOnlyStart(allocator) + allocator->readOnly.size);
    free(later);
    EXPECT_FALSE(FLTAllocatorProtect(nullptr));
    EXPECT_EXIT(
        {
            text[1] = 'y';
            _exit(0);
        },
        ::testing::KilledBySignal(SIGSEGV), "");
    auto *guard = reinterpret_cast<volatile char *>(allocator->mapping);
    EXPECT_EXIT(
        {
            (void)*guard;
            _exit(0);
        },
        ::testing::KilledBySignal(SIGSEGV), "");
}

} // namespace
