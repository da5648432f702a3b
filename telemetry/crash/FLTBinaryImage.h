#pragma once

// Loaded images of the process: a lock-free table of slots that crash-time code searches for the
// image holding an address, and the "binary_images.fltrecord" file of `load` and `unload` lines
// that the next launch symbolicates with.

#include <cstdint>

constexpr int kFLTBinaryImageSlotCount = 512;

struct FLTBinaryImageDetails;

// One table slot. `base` is claimed and released by compare-and-swap; a new claim first stores a
// busy marker, writes the other words and publishes `base` last, so a crash-time reader never
// pairs a new base with an old size.
struct FLTBinaryImageSlot {
    uintptr_t base;              // load address of the ELF header; 0 = free
    uint64_t size;               // from the header to the end of the last executable segment
    uintptr_t ehFrameAddress;    // the image's .eh_frame_hdr (binary search table), or 0
    uintptr_t unwindInfoAddress; // compact unwind information (Mach-O images only), or 0
    uintptr_t crashInfoAddress;  // crash annotations; ELF images carry none, so 0
    // The loader's load bias and dynamic section of the image: together they name it in the
    // loader's list of loaded objects (its l_addr and l_ld).
    uintptr_t slide;
    uintptr_t dynamicAddress;
    // The image's full details (path, build-id) for its unload line, or null. Owned by the
    // tracker; crash-time code copies them with the crash-safe reader only.
    const FLTBinaryImageDetails *details;
};

// Details of one image, filled from its program headers.
struct FLTBinaryImageDetails {
    char uuid[33];     // first 16 bytes of the build-id as 32 lower-case hex digits
    char buildId[129]; // the whole build-id in hex
    bool encrypted;
    uintptr_t base;
    uint64_t size;
    uintptr_t ehFrameAddress;
    uintptr_t unwindInfoAddress;
    uintptr_t crashInfoAddress;
    uintptr_t slide;          // load bias: run-time address - link-time address
    uintptr_t dynamicAddress; // run-time address of the dynamic section, or 0
    char path[512];
};

// Scans the loaded images into the table and writes one `load` line each. Not signal-safe.
void FLTBinaryImageInit();

// Picks up images loaded or unloaded since the last scan: the table follows, and each change gets
// its `load` or `unload` line. Cheap when nothing changed. Runs wherever the crash kit is about
// to keep addresses for a later launch (recorded errors and exceptions). Not signal-safe (asks
// the loader, takes the tracker's lock).
void FLTBinaryImageRefresh();

// Table updates for one image; `loaded` false releases its slot. Not signal-safe (writes the record
// file under a lock).
void FLTBinaryImageStoreNode(bool loaded, const FLTBinaryImageDetails &details);

// Brings the table in line with the loader's list of loaded objects, walked with crash-safe
// reads: an image missing from the table (a library opened since the last scan) is added with a
// `load` line, and an image the loader no longer lists (a library closed since) is dropped with
// an `unload` line. Drops nothing while the loader is half-way through a change. Safe to call
// from a signal handler.
void FLTBinaryImageSafeUpdateFromLoader();

// Copies the slot of the image that holds `address`. Lock-free; safe to call from a signal handler.
bool FLTBinaryImageSafeFindImageForAddress(uintptr_t address, FLTBinaryImageSlot *slot);

bool FLTBinaryImageHasUnwindInfo(const FLTBinaryImageSlot *slot);

// Details of the main executable. Not signal-safe.
bool FLTBinaryImageMainExecutable(FLTBinaryImageDetails *details);

// Finds a loaded image by its `uuid` text. Not signal-safe.
bool FLTBinaryImageFindImageForUUID(const char *uuid, FLTBinaryImageDetails *details);
