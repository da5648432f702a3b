#include "FLTAllocator.h"

#include "FLTSDKLog.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace {

constexpr uint64_t kPageSize = 4096;
constexpr uint64_t kAllocatorRecordSize = 64;

void *heapFallback(uint64_t size)
{
    return std::malloc(size ? size : 1);
}

} // namespace

uint64_t FLTHostGetPageSize()
{
    // Every layout decision assumes 4096-byte pages; the system value is only checked.
    if (sysconf(_SC_PAGESIZE) <= 0)
        FLT_WARN("WARN  [%s:%d] sysconf failed while trying to get the page size\n");
    return kPageSize;
}

uint64_t FLTAllocatorRoundedSize(uint64_t requested)
{
    const uint64_t page = FLTHostGetPageSize();
    return (requested / page + 1) * page;
}

uintptr_t FLTAllocatorReadOnlyStart(const FLTAllocator *allocator)
{
    return allocator->mapping + allocator->writable.size + 2 * FLTHostGetPageSize();
}

FLTAllocator *FLTAllocatorCreate(uint64_t writableSize, uint64_t readOnlySize)
{
    const uint64_t page = FLTHostGetPageSize();
    const uint64_t writable = FLTAllocatorRoundedSize(writableSize);
    const uint64_t readOnly = FLTAllocatorRoundedSize(readOnlySize + kAllocatorRecordSize);
    const uint64_t total = writable + readOnly + 3 * page;
    void *mapping =
        mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED) {
        FLT_ERROR("ERROR [%s:%d] Mapping failed %s\n", strerror(errno));
        return nullptr;
    }
    const auto base = reinterpret_cast<uintptr_t>(mapping);
    const uintptr_t writableStart = base + page;
    const uintptr_t readOnlyStart = writableStart + writable + page;
    FLT_INFO("INFO  [%s:%d] Mapping: %p %p %p, total: %zu K\n", mapping,
             reinterpret_cast<void *>(writableStart), reinterpret_cast<void *>(readOnlyStart),
             static_cast<unsigned>(total / 1024));
    if (mprotect(mapping, page, PROT_NONE) != 0) {
        FLT_ERROR("ERROR [%s:%d] First guard protection failed %s\n", strerror(errno));
        return nullptr;
    }
    if (mprotect(reinterpret_cast<void *>(writableStart + writable), page, PROT_NONE) != 0) {
        FLT_ERROR("ERROR [%s:%d] Middle guard protection failed %s\n", strerror(errno));
        return nullptr;
    }
    if (mprotect(reinterpret_cast<void *>(readOnlyStart + readOnly), page, PROT_NONE) != 0) {
        FLT_ERROR("ERROR [%s:%d] Last guard protection failed %s\n", strerror(errno));
        return nullptr;
    }
    auto *allocator = reinterpret_cast<FLTAllocator *>(readOnlyStart);
    allocator->mapping = base;
    allocator->isProtected = false;
    allocator->writable = {writable, writableStart, writableStart};
    allocator->readOnly = {readOnly, readOnlyStart, readOnlyStart + kAllocatorRecordSize};
    FLT_DEBUG("DEBUG [%s:%d] Allocator successfully created %p\n", allocator);
    return allocator;
}

void *FLTAllocatorSafeAllocateFromRegion(FLTAllocatorRegion *region, uint64_t size)
{
    uintptr_t cursor = __atomic_load_n(&region->cursor, __ATOMIC_SEQ_CST);
    for (;;) {
        if (cursor + size > region->start + region->size)
            return nullptr;
        if (__atomic_compare_exchange_n(&region->cursor, &cursor, cursor + size, false,
                                        __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST))
            return reinterpret_cast<void *>(cursor);
    }
}

void *FLTAllocatorSafeAllocate(FLTAllocator *allocator, uint64_t size, int kind)
{
    if (kind != FLTAllocationReadOnly && kind != FLTAllocationWritable)
        return nullptr;
    if (!allocator) {
        FLT_WARN("WARN  [%s:%d] Allocator invalid, falling back to malloc\n");
        return heapFallback(size);
    }
    if (allocator->isProtected) {
        FLT_WARN("WARN  [%s:%d] Allocator already protected, falling back to malloc\n");
        return heapFallback(size);
    }
    FLTAllocatorRegion *region =
        kind == FLTAllocationWritable ? &allocator->writable : &allocator->readOnly;
    void *memory = FLTAllocatorSafeAllocateFromRegion(region, size);
    if (!memory) {
        FLT_WARN("WARN  [%s:%d] Unable to allocate sufficient memory, falling back to malloc\n");
        return heapFallback(size);
    }
    return memory;
}

bool FLTAllocatorProtect(FLTAllocator *allocator)
{
    if (!allocator) {
        FLT_ERROR("ERROR [%s:%d] Invalid allocator\n");
        return false;
    }
    if (allocator->isProtected) {
        FLT_WARN("WARN  [%s:%d] Write protection already enabled\n");
        return true;
    }
    allocator->isProtected = true;
    return mprotect(reinterpret_cast<void *>(FLTAllocatorReadOnlyStart(allocator)),
                    allocator->readOnly.size, PROT_READ)
           == 0;
}
