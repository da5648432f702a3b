#include "FLTBinaryImage.h"

#include "FLTContext.h"
#include "FLTFile.h"
#include "FLTSDKLog.h"
#include "FLTUtilities.h"

#include <cerrno>
#include <cstring>
#include <elf.h>
#include <memory>
#include <link.h>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// A slot being filled holds this marker: below 4096, so no reader takes it for an image.
constexpr uintptr_t kSlotBusy = 1;

std::mutex g_recordLock; // serialises the record file and the known-image list
// Images reported to the record file and the table; the table points at these details, so each
// keeps its address until its image has been dropped from the table.
std::vector<std::unique_ptr<FLTBinaryImageDetails>> g_known;
unsigned long long g_adds = 0;
unsigned long long g_subs = 0;

void hexInto(char *out, const unsigned char *bytes, size_t count)
{
    static const char digits[] = "0123456789abcdef";
    for (size_t i = 0; i < count; ++i) {
        out[2 * i] = digits[bytes[i] >> 4];
        out[2 * i + 1] = digits[bytes[i] & 15];
    }
    out[2 * count] = '\0';
}

void readBuildId(const dl_phdr_info *info, FLTBinaryImageDetails *details)
{
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr) &ph = info->dlpi_phdr[i];
        if (ph.p_type != PT_NOTE)
            continue;
        auto *cursor = reinterpret_cast<const unsigned char *>(info->dlpi_addr + ph.p_vaddr);
        const unsigned char *end = cursor + ph.p_memsz;
        while (cursor + sizeof(ElfW(Nhdr)) <= end) {
            const auto *note = reinterpret_cast<const ElfW(Nhdr) *>(cursor);
            const unsigned char *name = cursor + sizeof(ElfW(Nhdr));
            const unsigned char *desc = name + ((note->n_namesz + 3) & ~3u);
            const unsigned char *next = desc + ((note->n_descsz + 3) & ~3u);
            if (next > end)
                break;
            if (note->n_type == NT_GNU_BUILD_ID && note->n_namesz == 4
                && memcmp(name, "GNU", 4) == 0 && note->n_descsz > 0) {
                const size_t count = note->n_descsz < 64 ? note->n_descsz : 64;
                hexInto(details->buildId, desc, count);
                unsigned char uuid[16] = {};
                memcpy(uuid, desc, count < 16 ? count : 16);
                hexInto(details->uuid, uuid, 16);
                return;
            }
            cursor = next;
        }
    }
}

void fillDetails(const dl_phdr_info *info, bool first, FLTBinaryImageDetails *details)
{
    memset(details, 0, sizeof *details);
    memset(details->uuid, '0', 32);
    uintptr_t lowest = UINTPTR_MAX;
    uintptr_t header = 0;
    uintptr_t textEnd = 0;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr) &ph = info->dlpi_phdr[i];
        const uintptr_t start = info->dlpi_addr + ph.p_vaddr;
        if (ph.p_type == PT_LOAD) {
            if (start < lowest)
                lowest = start;
            if (ph.p_offset == 0 && !header)
                header = start;
            if ((ph.p_flags & PF_X) && start + ph.p_memsz > textEnd)
                textEnd = start + ph.p_memsz;
        } else if (ph.p_type == PT_GNU_EH_FRAME) {
            details->ehFrameAddress = start;
        } else if (ph.p_type == PT_DYNAMIC) {
            details->dynamicAddress = start;
        }
    }
    details->base = header ? header : (lowest == UINTPTR_MAX ? info->dlpi_addr : lowest);
    details->size = textEnd > details->base ? textEnd - details->base : 0;
    details->slide = info->dlpi_addr;
    readBuildId(info, details);
    const char *name = info->dlpi_name;
    if ((!name || !*name) && first) {
        FLTContext *context = FLTContextGet();
        name = context && context->executablePath ? context->executablePath : "";
    }
    strncpy(details->path, name ? name : "", sizeof details->path - 1);
}

struct ScanResult {
    std::vector<FLTBinaryImageDetails> images;
};

int collect(dl_phdr_info *info, size_t, void *data)
{
    auto *result = static_cast<ScanResult *>(data);
    FLTBinaryImageDetails details;
    fillDetails(info, result->images.empty(), &details);
    if (details.size > 0)
        result->images.push_back(details);
    return 0;
}

int readCounters(dl_phdr_info *info, size_t size, void *)
{
    if (size >= offsetof(dl_phdr_info, dlpi_subs) + sizeof info->dlpi_subs) {
        g_adds = info->dlpi_adds;
        g_subs = info->dlpi_subs;
    }
    return 1;
}

void recordDetails(FLTFile *file, const FLTBinaryImageDetails &details)
{
    FLTFileWriteHashEntryString(file, "uuid", details.uuid);
    FLTFileWriteHashEntryString(file, "build_id", details.buildId);
    FLTFileWriteHashEntryUInt64(file, "base", details.base);
    FLTFileWriteHashEntryUInt64(file, "size", details.size);
}

void recordSlice(FLTFile *file, const FLTBinaryImageDetails &details, bool loaded)
{
    FLTFileWriteSectionStart(file, loaded ? "load" : "unload");
    FLTFileWriteHashStart(file);
    // An image added and dropped at crash time has no path on record for its unload line.
    FLTFileWriteHashEntryString(file, "path", loaded || details.path[0] ? details.path : nullptr);
    recordDetails(file, details);
    FLTFileWriteHashEnd(file);
    FLTFileWriteSectionEnd(file);
}

// Takes a free slot for the image: busy marker first, the other words, the base last. Answers
// the slot's index, or -1 when the table is full. Signal-safe.
int claimSlot(FLTBinaryImageSlot *slots, const FLTBinaryImageDetails &details,
              const FLTBinaryImageDetails *stable)
{
    for (int i = 0; i < kFLTBinaryImageSlotCount; ++i) {
        FLTBinaryImageSlot &slot = slots[i];
        uintptr_t expected = 0;
        if (!__atomic_compare_exchange_n(&slot.base, &expected, kSlotBusy, false, __ATOMIC_SEQ_CST,
                                         __ATOMIC_SEQ_CST))
            continue;
        slot.size = details.size;
        slot.ehFrameAddress = details.ehFrameAddress;
        slot.unwindInfoAddress = details.unwindInfoAddress;
        slot.crashInfoAddress = details.crashInfoAddress;
        slot.slide = details.slide;
        slot.dynamicAddress = details.dynamicAddress;
        __atomic_store_n(&slot.details, stable, __ATOMIC_SEQ_CST);
        __atomic_store_n(&slot.base, details.base, __ATOMIC_SEQ_CST);
        return i;
    }
    return -1;
}

// Frees the slot if it still holds `base`. Signal-safe.
bool releaseSlot(FLTBinaryImageSlot &slot, uintptr_t base)
{
    __atomic_store_n(&slot.details, nullptr, __ATOMIC_SEQ_CST);
    uintptr_t expected = base;
    return __atomic_compare_exchange_n(&slot.base, &expected, 0, false, __ATOMIC_SEQ_CST,
                                       __ATOMIC_SEQ_CST);
}

FLTBinaryImageSlot *writableSlots()
{
    FLTContext *context = FLTContextGet();
    if (!context || !context->writable) {
        FLT_WARN("WARN  [%s:%d] Error: Writable context is NULL\n");
        return nullptr;
    }
    return context->writable->images;
}

void trackLoad(const FLTBinaryImageDetails &details, const FLTBinaryImageDetails *stable)
{
    FLTBinaryImageSlot *slots = writableSlots();
    if (slots && claimSlot(slots, details, stable) < 0)
        FLT_WARN("WARN  [%s:%d] Error: Unable to track a %s node %p\n", "loaded",
                 reinterpret_cast<void *>(details.base));
}

// Frees the slot that points at `known`; a slot made without details is matched by its base.
void trackUnload(const FLTBinaryImageDetails &known)
{
    FLTBinaryImageSlot *slots = writableSlots();
    if (!slots)
        return;
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < kFLTBinaryImageSlotCount; ++i) {
            FLTBinaryImageSlot &slot = slots[i];
            if (__atomic_load_n(&slot.base, __ATOMIC_SEQ_CST) != known.base)
                continue;
            const FLTBinaryImageDetails *details = __atomic_load_n(&slot.details, __ATOMIC_SEQ_CST);
            if (pass == 0 ? details != &known : details != nullptr)
                continue;
            if (!releaseSlot(slot, known.base))
                FLT_WARN("WARN  [%s:%d] Error: Failed to swap during image unload\n");
            return;
        }
    }
    FLT_WARN("WARN  [%s:%d] Error: Unable to track a %s node %p\n", "unloaded",
             reinterpret_cast<void *>(known.base));
}

bool sameImage(const FLTBinaryImageDetails &a, const FLTBinaryImageDetails &b)
{
    return a.base == b.base && a.slide == b.slide && a.dynamicAddress == b.dynamicAddress
           && strcmp(a.path, b.path) == 0;
}

// Table updates and record lines for a change: unloads first, so an image that took the place of
// a closed one never meets that one's slot. The caller holds the record lock.
void storeChange(const std::vector<const FLTBinaryImageDetails *> &unloads,
                 const std::vector<const FLTBinaryImageDetails *> &loads)
{
    for (const FLTBinaryImageDetails *details : unloads)
        trackUnload(*details);
    for (const FLTBinaryImageDetails *details : loads)
        trackLoad(*details, details);
    FLTContext *context = FLTContextGet();
    if (!context || !context->binaryImagesPath || (loads.empty() && unloads.empty()))
        return;
    // Lines are written at once, unbuffered: a crash soon after a load must still find it.
    FLTFile file;
    if (!FLTFileInitWithPath(&file, context->binaryImagesPath, false)) {
        FLT_WARN("WARN  [%s:%d] Error: unable to open binary image log file\n");
        return;
    }
    for (const FLTBinaryImageDetails *details : unloads)
        recordSlice(&file, *details, false);
    for (const FLTBinaryImageDetails *details : loads)
        recordSlice(&file, *details, true);
    FLTFileClose(&file);
}

} // namespace

void FLTBinaryImageStoreNode(bool loaded, const FLTBinaryImageDetails &details)
{
    if (loaded) {
        trackLoad(details, nullptr);
        return;
    }
    FLTBinaryImageSlot *slots = writableSlots();
    if (!slots)
        return;
    for (int i = 0; i < kFLTBinaryImageSlotCount; ++i) {
        if (__atomic_load_n(&slots[i].base, __ATOMIC_SEQ_CST) != details.base)
            continue;
        if (!releaseSlot(slots[i], details.base))
            FLT_WARN("WARN  [%s:%d] Error: Failed to swap during image unload\n");
        return;
    }
    FLT_WARN("WARN  [%s:%d] Error: Unable to track a %s node %p\n", "unloaded",
             reinterpret_cast<void *>(details.base));
}

void FLTBinaryImageInit()
{
    FLTContext *context = FLTContextGet();
    if (!context || !context->writable)
        return;
    std::lock_guard lock(g_recordLock);
    memset(context->writable->images, 0, sizeof context->writable->images);
    if (context->binaryImagesPath && unlink(context->binaryImagesPath) != 0 && errno != ENOENT)
        FLT_WARN("WARN  [%s:%d] Unable to reset the binary image log file %s\n", strerror(errno));
    ScanResult scan;
    dl_iterate_phdr(collect, &scan);
    dl_iterate_phdr(readCounters, nullptr);
    g_known.clear();
    std::vector<const FLTBinaryImageDetails *> loads;
    for (const auto &image : scan.images) {
        g_known.push_back(std::make_unique<FLTBinaryImageDetails>(image));
        loads.push_back(g_known.back().get());
    }
    storeChange({}, loads);
}

void FLTBinaryImageRefresh()
{
    if (!FLTContextIsInitialized())
        return;
    std::lock_guard lock(g_recordLock);
    const auto adds = g_adds;
    const auto subs = g_subs;
    dl_iterate_phdr(readCounters, nullptr);
    if (adds == g_adds && subs == g_subs)
        return;
    ScanResult scan;
    dl_iterate_phdr(collect, &scan);
    std::vector<const FLTBinaryImageDetails *> unloads;
    std::vector<std::unique_ptr<FLTBinaryImageDetails>> kept;
    std::vector<std::unique_ptr<FLTBinaryImageDetails>> gone;
    for (auto &before : g_known) {
        bool present = false;
        for (const auto &now : scan.images)
            present = present || sameImage(*before, now);
        if (!present)
            unloads.push_back(before.get());
        (present ? kept : gone).push_back(std::move(before));
    }
    std::vector<const FLTBinaryImageDetails *> loads;
    for (const auto &now : scan.images) {
        bool known = false;
        for (const auto &before : kept)
            known = known || sameImage(*before, now);
        if (known)
            continue;
        kept.push_back(std::make_unique<FLTBinaryImageDetails>(now));
        loads.push_back(kept.back().get());
    }
    g_known = std::move(kept);
    storeChange(unloads, loads);
    // The slots of the images that went no longer point at their details: let them go.
    gone.clear();
}

bool FLTBinaryImageSafeFindImageForAddress(uintptr_t address, FLTBinaryImageSlot *out)
{
    FLTContext *context = FLTContextGet();
    if (!context || !context->writable || !out)
        return false;
    const FLTBinaryImageSlot *slots = context->writable->images;
    for (int i = 0; i < kFLTBinaryImageSlotCount; ++i) {
        const uintptr_t base = __atomic_load_n(&slots[i].base, __ATOMIC_SEQ_CST);
        if (base < 4096)
            continue;
        const uint64_t size = slots[i].size;
        if (address >= base && address - base < size) {
            out->base = base;
            out->size = size;
            out->ehFrameAddress = slots[i].ehFrameAddress;
            out->unwindInfoAddress = slots[i].unwindInfoAddress;
            out->crashInfoAddress = slots[i].crashInfoAddress;
            out->slide = slots[i].slide;
            out->dynamicAddress = slots[i].dynamicAddress;
            out->details = nullptr; // not the caller's to follow
            return true;
        }
    }
    return false;
}

bool FLTBinaryImageHasUnwindInfo(const FLTBinaryImageSlot *slot)
{
    return slot && slot->unwindInfoAddress != 0;
}

bool FLTBinaryImageFindImageForUUID(const char *uuid, FLTBinaryImageDetails *details)
{
    if (!uuid || !details) {
        FLT_WARN("WARN  [%s:%d] null input\n");
        return false;
    }
    ScanResult scan;
    dl_iterate_phdr(collect, &scan);
    for (const auto &image : scan.images) {
        if (strncmp(image.uuid, uuid, 33) == 0) {
            *details = image;
            return true;
        }
    }
    return false;
}

bool FLTBinaryImageMainExecutable(FLTBinaryImageDetails *details)
{
    ScanResult scan;
    dl_iterate_phdr(collect, &scan);
    if (scan.images.empty())
        return false;
    *details = scan.images.front();
    return true;
}

namespace {

bool safeRead(uintptr_t address, void *destination, size_t length)
{
    return FLTReadMemory(reinterpret_cast<const void *>(address), destination, length);
}

// Index of the slot that holds the image the loader lists with this bias and dynamic section,
// or -1. Signal-safe.
int slotForLoaderEntry(const FLTBinaryImageSlot *slots, uintptr_t bias, uintptr_t dynamic)
{
    for (int i = 0; i < kFLTBinaryImageSlotCount; ++i) {
        const uintptr_t base = __atomic_load_n(&slots[i].base, __ATOMIC_SEQ_CST);
        if (base >= kFLTMinimumValidAddress && slots[i].slide == bias
            && slots[i].dynamicAddress == dynamic)
            return i;
    }
    return -1;
}

// Details of the image whose ELF header is at `header`, read crash-safely; false when it does
// not look like one.
bool safeDetails(uintptr_t bias, uintptr_t header, FLTBinaryImageDetails *details)
{
    ElfW(Ehdr) ehdr;
    if (!safeRead(header, &ehdr, sizeof ehdr) || memcmp(ehdr.e_ident, ELFMAG, SELFMAG) != 0
        || ehdr.e_phentsize != sizeof(ElfW(Phdr)) || ehdr.e_phnum == 0 || ehdr.e_phnum > 64)
        return false;
    details->base = header;
    uintptr_t textEnd = 0;
    for (int i = 0; i < ehdr.e_phnum; ++i) {
        ElfW(Phdr) ph;
        if (!safeRead(header + ehdr.e_phoff + i * sizeof ph, &ph, sizeof ph))
            return false;
        const uintptr_t start = bias + ph.p_vaddr;
        if (ph.p_type == PT_LOAD && (ph.p_flags & PF_X) && start + ph.p_memsz > textEnd)
            textEnd = start + ph.p_memsz;
        if (ph.p_type == PT_GNU_EH_FRAME)
            details->ehFrameAddress = start;
        if (ph.p_type == PT_DYNAMIC)
            details->dynamicAddress = start;
        if (ph.p_type == PT_NOTE) {
            for (uintptr_t at = start; at + sizeof(ElfW(Nhdr)) <= start + ph.p_memsz;) {
                ElfW(Nhdr) note;
                if (!safeRead(at, &note, sizeof note))
                    break;
                const uintptr_t desc = at + sizeof note + ((note.n_namesz + 3) & ~3u);
                char name[4];
                if (note.n_type == NT_GNU_BUILD_ID && note.n_namesz == 4
                    && safeRead(at + sizeof note, name, 4) && memcmp(name, "GNU", 4) == 0) {
                    unsigned char id[64] = {};
                    const size_t count = note.n_descsz < 64 ? note.n_descsz : 64;
                    if (safeRead(desc, id, count)) {
                        hexInto(details->buildId, id, count);
                        hexInto(details->uuid, id, 16);
                    }
                    break;
                }
                at = desc + ((note.n_descsz + 3) & ~3u);
            }
        }
    }
    details->size = textEnd > header ? textEnd - header : 0;
    details->slide = bias;
    return details->size > 0;
}

} // namespace

namespace {

// One namespace of the loader: its state word, its list, and the next namespace (0 for none).
struct LoaderNamespace {
    int state;
    uintptr_t firstMap;
    uintptr_t next;
};

bool readNamespace(uintptr_t address, LoaderNamespace *out)
{
    r_debug debug;
    if (!safeRead(address, &debug, sizeof debug))
        return false;
    out->state = debug.r_state;
    out->firstMap = reinterpret_cast<uintptr_t>(debug.r_map);
    out->next = 0;
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 35))
    // Version 2 links the namespaces of dlmopen behind the default one.
    r_debug_extended extended;
    if (debug.r_version >= 2 && safeRead(address, &extended, sizeof extended))
        out->next = reinterpret_cast<uintptr_t>(extended.r_next);
#endif
    return true;
}

// Whether every namespace of the loader is at rest (no load or unload half-way).
bool loaderAtRest()
{
    LoaderNamespace space;
    uintptr_t address = reinterpret_cast<uintptr_t>(&_r_debug);
    for (int guard = 0; address != 0 && guard < 64; ++guard) {
        if (!readNamespace(address, &space) || space.state != r_debug::RT_CONSISTENT)
            return false;
        address = space.next;
    }
    return address == 0;
}

} // namespace

void FLTBinaryImageSafeUpdateFromLoader()
{
    FLTContext *context = FLTContextGet();
    if (!context || !context->writable)
        return;
    FLTBinaryImageSlot *slots = context->writable->images;
    bool listed[kFLTBinaryImageSlotCount] = {};
    FLTFile file;
    bool fileOpen = false;
    const auto openFile = [&] {
        if (!fileOpen && context->binaryImagesPath)
            fileOpen = FLTFileInitWithPath(&file, context->binaryImagesPath, false);
        return fileOpen;
    };
    const bool restingBefore = loaderAtRest();
    bool walkedEverything = true;
    uintptr_t space = reinterpret_cast<uintptr_t>(&_r_debug);
    int spaces = 0;
    for (; space != 0 && spaces < 64; ++spaces) {
        LoaderNamespace current;
        if (!readNamespace(space, &current)) {
            walkedEverything = false;
            break;
        }
        space = current.next;
        uintptr_t next = current.firstMap;
        int guard = 0;
        for (; next != 0 && guard < 4096; ++guard) {
            link_map map;
            if (next < kFLTMinimumValidAddress || !safeRead(next, &map, sizeof map))
                break;
            next = reinterpret_cast<uintptr_t>(map.l_next);
            const int known =
                slotForLoaderEntry(slots, map.l_addr, reinterpret_cast<uintptr_t>(map.l_ld));
            if (known >= 0) {
                listed[known] = true;
                continue;
            }
            // Shared objects are linked at 0, so their header sits at the load bias.
            const uintptr_t header = map.l_addr;
            if (header < kFLTMinimumValidAddress)
                continue;
            FLTBinaryImageDetails details;
            memset(&details, 0, sizeof details);
            memset(details.uuid, '0', 32);
            if (!safeDetails(map.l_addr, header, &details))
                continue;
            const char *name = nullptr;
            if (map.l_name && FLTReadString(map.l_name, &name, sizeof details.path - 1)) {
                size_t i = 0;
                for (; i < sizeof details.path - 1 && name[i]; ++i)
                    details.path[i] = name[i];
                details.path[i] = '\0';
            }
            const int claimed = claimSlot(slots, details, nullptr);
            if (claimed >= 0)
                listed[claimed] = true;
            if (openFile())
                recordSlice(&file, details, true);
        }
        walkedEverything = walkedEverything && next == 0;
    }
    walkedEverything = walkedEverything && space == 0;
    // Only whole lists, taken while the loader was at rest, tell which images are gone.
    if (walkedEverything && restingBefore && loaderAtRest()) {
        for (int i = 0; i < kFLTBinaryImageSlotCount; ++i) {
            const uintptr_t base = __atomic_load_n(&slots[i].base, __ATOMIC_SEQ_CST);
            if (listed[i] || base < kFLTMinimumValidAddress)
                continue;
            FLTBinaryImageDetails details;
            const FLTBinaryImageDetails *known =
                __atomic_load_n(&slots[i].details, __ATOMIC_SEQ_CST);
            if (!known || !safeRead(reinterpret_cast<uintptr_t>(known), &details, sizeof details)
                || details.base != base) {
                memset(&details, 0, sizeof details);
                memset(details.uuid, '0', 32);
                details.base = base;
                details.size = slots[i].size;
            }
            details.path[sizeof details.path - 1] = '\0';
            details.uuid[sizeof details.uuid - 1] = '\0';
            details.buildId[sizeof details.buildId - 1] = '\0';
            releaseSlot(slots[i], base);
            if (openFile())
                recordSlice(&file, details, false);
        }
    }
    if (fileOpen)
        FLTFileClose(&file);
}
