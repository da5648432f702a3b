#pragma once

// Loaded images of the process: a lock-free table of slots that crash-time code searches for the
// image holding an address, and the "binary_images.fltrecord" file of `load` and `unload` lines
// that the next launch symbolicates with.

#include <cstdint>

constexpr int kFLTBinaryImageSlotCount = 512;

// One table slot. `base` is claimed and released by compare-and-swap; a new claim first stores a
// busy marker, writes the other words and publishes `base` last, so a crash-time reader never
// pairs a new base with an old size.
struct FLTBinaryImageSlot {
    uintptr_t base;              // load address of the ELF header; 0 = free
    uint64_t size;               // from the header to the end of the last executable segment
    uintptr_t ehFrameAddress;    // the image's .eh_frame_hdr (binary search table), or 0
    uintptr_t unwindInfoAddress; // compact unwind information (Mach-O images only), or 0
    uintptr_t crashInfoAddress;  // crash annotations; ELF images carry none, so 0
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
    uintptr_t slide; // load bias: run-time address - link-time address
    char path[512];
};

// Scans the loaded images into the table and writes one `load` line each. Not signal-safe.
void FLTBinaryImageInit();

// Picks up images loaded or unloaded since the last scan. Not signal-safe (asks the loader).
void FLTBinaryImageRefresh();

// Table updates for one image; `loaded` false releases its slot. Not signal-safe (writes the record
// file under a lock).
void FLTBinaryImageStoreNode(bool loaded, const FLTBinaryImageDetails &details);

// Walks the loader's list of loaded objects with crash-safe reads and adds to the table (and to
// the record file) every image that is missing there, such as a library opened after the last
// scan. Safe to call from a signal handler.
void FLTBinaryImageSafeAddLateImages();

// Copies the slot of the image that holds `address`. Lock-free; safe to call from a signal handler.
bool FLTBinaryImageSafeFindImageForAddress(uintptr_t address, FLTBinaryImageSlot *slot);

bool FLTBinaryImageHasUnwindInfo(const FLTBinaryImageSlot *slot);

// Details of the main executable. Not signal-safe.
bool FLTBinaryImageMainExecutable(FLTBinaryImageDetails *details);

// Finds a loaded image by its `uuid` text. Not signal-safe.
bool FLTBinaryImageFindImageForUUID(const char *uuid, FLTBinaryImageDetails *details);
