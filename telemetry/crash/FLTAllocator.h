#pragma once

// The crash context's private memory: one anonymous mapping laid out as
//   guard page | writable part | guard page | read-only part | guard page
// with lock-free bump allocation from each part. Once start-up is complete the read-only part is
// protected, so a stray write elsewhere in the process cannot damage what the crash handlers read.
// Memory is never freed back.

#include <cstddef>
#include <cstdint>

enum FLTAllocationKind : int {
    FLTAllocationReadOnly = 0,
    FLTAllocationWritable = 1,
};

struct FLTAllocatorRegion {
    uint64_t size = 0;
    uintptr_t start = 0;
    uintptr_t cursor = 0; // next free byte, advanced by compare-and-swap
};

// Carved from the first 64 bytes of its own read-only part.
struct FLTAllocator {
    uintptr_t mapping;
    bool isProtected;
    FLTAllocatorRegion writable;
    FLTAllocatorRegion readOnly;
};
static_assert(sizeof(FLTAllocator) <= 64, "the allocator record must fit its 64 bytes");

// The page size the allocator rounds with. Safe to call from a signal handler.
uint64_t FLTHostGetPageSize();

// (requested / page + 1) pages: a request that already is a multiple of the page still gains one.
uint64_t FLTAllocatorRoundedSize(uint64_t requested);

// Maps and guards the memory. Not signal-safe (maps memory).
FLTAllocator *FLTAllocatorCreate(uint64_t writableSize, uint64_t readOnlySize);

// Takes `size` bytes from the part of `kind`; falls back to the heap (with a warning) when there is
// no allocator, when it is already protected, or when the part is full. Not signal-safe.
void *FLTAllocatorSafeAllocate(FLTAllocator *allocator, uint64_t size, int kind);

// The lock-free bump step; nullptr when the region cannot hold `size` more bytes.
// Safe to call from a signal handler.
void *FLTAllocatorSafeAllocateFromRegion(FLTAllocatorRegion *region, uint64_t size);

// Makes the read-only part read-only. Not signal-safe.
bool FLTAllocatorProtect(FLTAllocator *allocator);

// Start of the read-only part: mapping + writable size + two pages.
uintptr_t FLTAllocatorReadOnlyStart(const FLTAllocator *allocator);
