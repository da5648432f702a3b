#pragma once

// Reader of Mach-O files and slices: per-architecture UUIDs, version-min data, segments and
// sections. The records live on the caller's stack, files are mapped rather than read, and
// slices and load commands are handed to callbacks in place (no allocation).
// Every offset and size read from a file is checked against the mapping, so short, truncated
// or garbage files are refused instead of read out of bounds. Thread-safe (no shared state).

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

struct PLNMachOFile {
    std::int32_t descriptor = -1;
    std::int64_t size = 0;
    const void *mapping = nullptr;
};

struct PLNMachOSlice {
    const void *header = nullptr;
    std::int32_t cputype = 0;
    std::int32_t cpusubtype = 0;
    // Bytes readable from `header` on; 0 for a loaded image whose extent is not known, which
    // is then trusted as the loader laid it out.
    std::uint64_t size = 0;
};

struct PLNMachOSection {
    std::uint64_t address = 0;
    std::uint64_t size = 0;
    std::uint32_t offset = 0;
};

struct PLNMachOSegment {
    char name[16] = {};
    std::uint64_t vmaddr = 0;
    std::uint64_t vmsize = 0;
};

struct PLNMachOVersion {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t bugfix = 0;
};

enum : std::uint32_t {
    PLNMachOLoadCommandSegment = 0x1,
    PLNMachOLoadCommandSegment64 = 0x19,
    PLNMachOLoadCommandUUID = 0x1b,
    PLNMachOLoadCommandVersionMinMacOSX = 0x24,
    PLNMachOLoadCommandVersionMinIPhoneOS = 0x25,
    PLNMachOLoadCommandEncryptionInfo = 0x21,
    PLNMachOLoadCommandEncryptionInfo64 = 0x2c,
    PLNMachOLoadCommandBuildVersion = 0x32,
};

using PLNMachOSliceBlock = std::function<void(const PLNMachOSlice &slice)>;
using PLNMachOLoadCommandBlock =
    std::function<void(std::uint32_t type, std::uint32_t size, const void *command)>;

// Opens and maps a regular file of at least 16 bytes; false (nothing left open) otherwise.
bool PLNMachOFileInitWithPath(PLNMachOFile *file, const char *path);
// The file of the running executable.
bool PLNMachOFileInitWithCurrentExecutable(PLNMachOFile *file);
void PLNMachOFileDestroy(PLNMachOFile *file);
// Fat files: one call per fat_arch entry whose slice lies inside the file, in file order.
// Other files: one call with the whole mapping.
void PLNMachOFileEnumerateSlices(const PLNMachOFile *file, const PLNMachOSliceBlock &block);
// The last slice with that architecture name; a zero record when none.
PLNMachOSlice PLNMachOFileSliceForArchitectureName(const PLNMachOFile *file, const char *name);

// The running executable's header in memory with the host's architecture type.
PLNMachOSlice PLNMachOSliceGetCurrent();
PLNMachOSlice PLNMachOSliceWithHeader(const void *header);
// Path of the loaded image that contains the slice's header; null when none does.
const char *PLNMachOSliceGetImagePath(const PLNMachOSlice *slice);
// Addresses (slide applied) of "__TEXT,__eh_frame" and "__TEXT,__unwind_info" of the loaded
// Mach-O image whose header is the slice's. False when no loaded image has that header or the
// sections are missing (always so for the ELF images of this platform).
bool PLNMachOSliceGetUnwindSections(PLNMachOSlice *slice, const void **ehFrame,
                                    const void **unwindInfo);
// One call per load command that lies inside the slice (and inside sizeofcmds); stops at the
// first command whose size is below 8 or runs out of bounds. Byte-swapped (big-endian)
// headers are refused.
void PLNMachOSliceEnumerateLoadCommands(PLNMachOSlice *slice,
                                        const PLNMachOLoadCommandBlock &block);
std::string PLNMachOSliceGetArchitectureName(const PLNMachOSlice *slice);
bool PLNMachOSliceIs64Bit(const PLNMachOSlice *slice);
// Section "segment,section" of the slice; address = header + the section's file offset.
bool PLNMachOSliceGetSectionAddress(PLNMachOSlice *slice, const char *segment, const char *section,
                                    const void **address);
bool PLNMachOSliceGetSection(PLNMachOSlice *slice, const char *segment, const char *section,
                             PLNMachOSection *out);

// Load command accessors: `command` points at the command, `size` is its cmdsize.
bool PLNMachOGetUUIDFromCommand(const void *command, std::uint32_t size, std::uint8_t uuid[16]);
std::optional<std::string> PLNMachOGetStringFromCommand(const void *command, std::uint32_t size);
bool PLNMachOIsEncryptedFromCommand(const void *command, std::uint32_t size);
// Version-min commands (and the build-version command, which newer linkers write instead).
PLNMachOVersion PLNMachOGetMinimumOSVersionFromCommand(const void *command, std::uint32_t size);
PLNMachOVersion PLNMachOGetSDKVersionFromCommand(const void *command, std::uint32_t size);
PLNMachOSegment PLNMachOGetSegmentFromCommand(const void *command, std::uint32_t size);
std::string PLNMachOFormatUUID(const std::uint8_t uuid[16]);
std::optional<std::string> PLNMachOFormatVersion(const PLNMachOVersion *version);
PLNMachOVersion PLNMachOVersionFromPacked(std::uint32_t value);
