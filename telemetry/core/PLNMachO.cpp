#include "PLNMachO.h"

#include "PLNApplicationInfo.h"
#include "telemetry/platform/AppInfo.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/utsname.h>

#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::uint32_t kFatMagic = 0xcafebabe;
constexpr std::uint32_t kFatCigam = 0xbebafeca;
constexpr std::uint32_t kMhMagic = 0xfeedface;
constexpr std::uint32_t kMhCigam = 0xcefaedfe;
constexpr std::uint32_t kMhMagic64 = 0xfeedfacf;
constexpr std::uint32_t kMhCigam64 = 0xcffaedfe;
constexpr std::int32_t kCpuArch64 = 0x01000000;

std::uint32_t read32(const void *p)
{
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

std::uint64_t read64(const void *p)
{
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

std::uint32_t readBig32(const unsigned char *p)
{
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8)
           | std::uint32_t(p[3]);
}

struct ArchName {
    std::int32_t cputype;
    std::int32_t cpusubtype; // -1 = any
    const char *name;
};

constexpr ArchName kArchitectures[] = {
    {0x01000007, 8, "x86_64h"},
    {0x01000007, -1, "x86_64"},
    {7, -1, "i386"},
    {0x0100000C, 2, "arm64e"},
    {0x0100000C, 1, "arm64v8"},
    {0x0100000C, -1, "arm64"},
    {0x0200000C, -1, "arm64_32"},
    {12, 6, "armv6"},
    {12, 9, "armv7"},
    {12, 10, "armv7f"},
    {12, 14, "armv6m"},
    {12, 15, "armv7m"},
    {12, 16, "armv7em"},
    {12, -1, "arm"},
    {18, -1, "ppc"},
    {0x01000012, -1, "ppc64"},
};

} // namespace

bool PLNMachOFileInitWithPath(PLNMachOFile *file, const char *path)
{
    if (!file || !path)
        return false;
    *file = PLNMachOFile{};
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {
    };
    if (::fstat(fd, &st) != 0 || st.st_size < 16 || !(st.st_mode & 0x8000)) {
        ::close(fd);
        return false;
    }
    void *mapping =
        ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_SHARED, fd, 0);
    if (!mapping || mapping == MAP_FAILED) {
        ::close(fd);
        return false;
    }
    file->descriptor = fd;
    file->size = st.st_size;
    file->mapping = mapping;
    return true;
}

void PLNMachOFileDestroy(PLNMachOFile *file)
{
    if (!file)
        return;
    if (file->mapping && file->size > 0)
        ::munmap(const_cast<void *>(file->mapping), static_cast<std::size_t>(file->size));
    if (file->descriptor >= 0)
        ::close(file->descriptor);
    *file = PLNMachOFile{};
}

void PLNMachOFileEnumerateSlices(const PLNMachOFile *file, const PLNMachOSliceBlock &block)
{
    if (!file || !file->mapping || file->size < 4 || !block)
        return;
    const auto *base = static_cast<const unsigned char *>(file->mapping);
    const std::uint64_t fileSize = static_cast<std::uint64_t>(file->size);
    const std::uint32_t magic = read32(base);
    if (magic == kFatMagic || magic == kFatCigam) {
        if (fileSize < 8)
            return;
        const std::uint32_t count = readBig32(base + 4);
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint64_t entry = 8 + std::uint64_t(i) * 20;
            if (entry + 20 > fileSize)
                return;
            const unsigned char *arch = base + entry;
            const std::uint64_t offset = readBig32(arch + 8);
            const std::uint64_t size = readBig32(arch + 12);
            if (offset >= fileSize || size > fileSize - offset)
                continue;
            PLNMachOSlice slice;
            slice.header = base + offset;
            slice.cputype = static_cast<std::int32_t>(readBig32(arch));
            slice.cpusubtype = static_cast<std::int32_t>(readBig32(arch + 4));
            slice.size = size;
            block(slice);
        }
        return;
    }
    PLNMachOSlice slice;
    slice.header = base;
    slice.size = fileSize;
    if ((magic == kMhMagic || magic == kMhMagic64 || magic == kMhCigam || magic == kMhCigam64)
        && fileSize >= 12) {
        slice.cputype = static_cast<std::int32_t>(read32(base + 4));
        slice.cpusubtype = static_cast<std::int32_t>(read32(base + 8));
    }
    block(slice);
}

PLNMachOSlice PLNMachOFileSliceForArchitectureName(const PLNMachOFile *file, const char *name)
{
    PLNMachOSlice found;
    if (!name)
        return found;
    PLNMachOFileEnumerateSlices(file, [&](const PLNMachOSlice &slice) {
        if (PLNMachOSliceGetArchitectureName(&slice) == name)
            found = slice;
    });
    return found;
}

PLNMachOSlice PLNMachOSliceWithHeader(const void *header)
{
    PLNMachOSlice slice;
    slice.header = header;
    return slice;
}

void PLNMachOSliceEnumerateLoadCommands(PLNMachOSlice *slice, const PLNMachOLoadCommandBlock &block)
{
    if (!slice || !slice->header || !block)
        return;
    const bool bounded = slice->size != 0;
    if (bounded && slice->size < 28)
        return;
    const auto *base = static_cast<const unsigned char *>(slice->header);
    const std::uint32_t magic = read32(base);
    std::uint64_t headerSize = 0;
    if (magic == kMhMagic)
        headerSize = 28;
    else if (magic == kMhMagic64)
        headerSize = 32;
    else
        return; // other byte order or no Mach-O header at all
    if (bounded && slice->size < headerSize)
        return;
    slice->cputype = static_cast<std::int32_t>(read32(base + 4));
    slice->cpusubtype = static_cast<std::int32_t>(read32(base + 8));
    const std::uint32_t ncmds = read32(base + 16);
    const std::uint64_t sizeofcmds = read32(base + 20);
    const std::uint64_t limit =
        bounded ? std::min(slice->size, headerSize + sizeofcmds) : headerSize + sizeofcmds;
    std::uint64_t offset = headerSize;
    for (std::uint32_t i = 0; i < ncmds; ++i) {
        if (offset + 8 > limit)
            return;
        const std::uint32_t cmd = read32(base + offset);
        const std::uint32_t cmdsize = read32(base + offset + 4);
        if (cmdsize < 8 || cmdsize > limit - offset)
            return;
        block(cmd, cmdsize, base + offset);
        offset += cmdsize;
    }
}

std::string PLNMachOSliceGetArchitectureName(const PLNMachOSlice *slice)
{
    if (!slice)
        return "unknown";
    const std::int32_t type = slice->cputype;
    const std::int32_t subtype = slice->cpusubtype & 0x00ffffff; // drop capability bits
    if (type == 0x0100000C && subtype == 0)
        return "arm64";
    if (type == 12 && subtype == 11)
        return "armv7s";
    if (type == 12 && subtype == 12)
        return "armv7k";
    for (const ArchName &arch : kArchitectures)
        if (arch.cputype == type && (arch.cpusubtype == -1 || arch.cpusubtype == subtype))
            return arch.name;
    return "unknown";
}

bool PLNMachOSliceIs64Bit(const PLNMachOSlice *slice)
{
    return slice && (slice->cputype & kCpuArch64) != 0;
}

bool PLNMachOSliceGetSection(PLNMachOSlice *slice, const char *segment, const char *section,
                             PLNMachOSection *out)
{
    if (!slice || !slice->header || !segment || !section || !out)
        return false;
    bool found = false;
    PLNMachOSliceEnumerateLoadCommands(
        slice, [&](std::uint32_t type, std::uint32_t size, const void *command) {
            if (found)
                return;
            const auto *cmd = static_cast<const unsigned char *>(command);
            const bool is64 = type == PLNMachOLoadCommandSegment64;
            if (!is64 && type != PLNMachOLoadCommandSegment)
                return;
            const std::uint32_t headerSize = is64 ? 72 : 56;
            const std::uint32_t sectionSize = is64 ? 80 : 68;
            if (size < headerSize
                || std::strncmp(reinterpret_cast<const char *>(cmd + 8), segment, 16) != 0)
                return;
            const std::uint32_t nsects = read32(cmd + (is64 ? 64 : 48));
            for (std::uint32_t i = 0; i < nsects; ++i) {
                const std::uint64_t at = headerSize + std::uint64_t(i) * sectionSize;
                if (at + sectionSize > size)
                    return;
                const unsigned char *sect = cmd + at;
                if (std::strncmp(reinterpret_cast<const char *>(sect), section, 16) != 0)
                    continue;
                if (is64) {
                    out->address = read64(sect + 32);
                    out->size = read64(sect + 40);
                    out->offset = read32(sect + 48);
                } else {
                    out->address = read32(sect + 32);
                    out->size = read32(sect + 36);
                    out->offset = read32(sect + 40);
                }
                found = true;
                return;
            }
        });
    return found;
}

bool PLNMachOSliceGetSectionAddress(PLNMachOSlice *slice, const char *segment, const char *section,
                                    const void **address)
{
    PLNMachOSection info;
    if (!address || !PLNMachOSliceGetSection(slice, segment, section, &info))
        return false;
    if (slice->size != 0 && info.offset > slice->size)
        return false;
    *address = static_cast<const unsigned char *>(slice->header) + info.offset;
    return true;
}

bool PLNMachOGetUUIDFromCommand(const void *command, std::uint32_t size, std::uint8_t uuid[16])
{
    if (!command || !uuid || size < 24 || read32(command) != PLNMachOLoadCommandUUID)
        return false;
    std::memcpy(uuid, static_cast<const unsigned char *>(command) + 8, 16);
    return true;
}

std::optional<std::string> PLNMachOGetStringFromCommand(const void *command, std::uint32_t size)
{
    if (!command || size < 12)
        return std::nullopt;
    const auto *cmd = static_cast<const char *>(command);
    const std::uint32_t offset = read32(cmd + 8);
    if (offset >= size)
        return std::nullopt;
    const std::size_t length = strnlen(cmd + offset, size - offset);
    return std::string(cmd + offset, length);
}

bool PLNMachOIsEncryptedFromCommand(const void *command, std::uint32_t size)
{
    if (!command || size < 20)
        return false;
    return read32(static_cast<const unsigned char *>(command) + 16) != 0;
}

PLNMachOVersion PLNMachOVersionFromPacked(std::uint32_t value)
{
    return {value >> 16, (value >> 8) & 0xff, value & 0xff};
}

PLNMachOVersion PLNMachOGetMinimumOSVersionFromCommand(const void *command, std::uint32_t size)
{
    if (!command || size < 16)
        return {};
    const auto *cmd = static_cast<const unsigned char *>(command);
    if (read32(cmd) == PLNMachOLoadCommandBuildVersion)
        return size >= 24 ? PLNMachOVersionFromPacked(read32(cmd + 12)) : PLNMachOVersion{};
    return PLNMachOVersionFromPacked(read32(cmd + 8));
}

PLNMachOVersion PLNMachOGetSDKVersionFromCommand(const void *command, std::uint32_t size)
{
    if (!command || size < 16)
        return {};
    const auto *cmd = static_cast<const unsigned char *>(command);
    if (read32(cmd) == PLNMachOLoadCommandBuildVersion)
        return size >= 24 ? PLNMachOVersionFromPacked(read32(cmd + 16)) : PLNMachOVersion{};
    return PLNMachOVersionFromPacked(read32(cmd + 12));
}

PLNMachOSegment PLNMachOGetSegmentFromCommand(const void *command, std::uint32_t size)
{
    PLNMachOSegment segment;
    if (!command)
        return segment;
    const auto *cmd = static_cast<const unsigned char *>(command);
    const std::uint32_t type = read32(cmd);
    if (type == PLNMachOLoadCommandSegment64 && size >= 72) {
        std::memcpy(segment.name, cmd + 8, 16);
        segment.vmaddr = read64(cmd + 24);
        segment.vmsize = read64(cmd + 32);
    } else if (type == PLNMachOLoadCommandSegment && size >= 56) {
        std::memcpy(segment.name, cmd + 8, 16);
        segment.vmaddr = read32(cmd + 24);
        segment.vmsize = read32(cmd + 28);
    }
    return segment;
}

std::string PLNMachOFormatUUID(const std::uint8_t uuid[16])
{
    return PLNHexStringFromBytes(uuid, 16);
}

std::optional<std::string> PLNMachOFormatVersion(const PLNMachOVersion *version)
{
    if (!version)
        return std::nullopt;
    return std::to_string(version->major) + "." + std::to_string(version->minor) + "."
           + std::to_string(version->bugfix);
}

bool PLNMachOFileInitWithCurrentExecutable(PLNMachOFile *file)
{
    const PLNMachOSlice current = PLNMachOSliceGetCurrent();
    const char *path = PLNMachOSliceGetImagePath(&current);
    if (path)
        return PLNMachOFileInitWithPath(file, path);
    const std::string exe = tel::AppInfo::executablePath();
    return PLNMachOFileInitWithPath(file, exe.empty() ? nullptr : exe.c_str());
}

namespace {

int findMainHeader(dl_phdr_info *info, size_t, void *data)
{
    // The first object the loader reports is the main executable; its first loadable segment
    // starts with its header.
    for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
        if (info->dlpi_phdr[i].p_type == PT_LOAD) {
            *static_cast<const void **>(data) =
                reinterpret_cast<const void *>(info->dlpi_addr + info->dlpi_phdr[i].p_vaddr);
            break;
        }
    }
    return 1;
}

struct UnwindSearch {
    PLNMachOSlice *slice;
    bool found = false;
    std::uintptr_t slide = 0;
};

int findImageWithHeader(dl_phdr_info *info, size_t, void *data)
{
    auto *search = static_cast<UnwindSearch *>(data);
    for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr) &ph = info->dlpi_phdr[i];
        if (ph.p_type != PT_LOAD)
            continue;
        if (reinterpret_cast<const void *>(info->dlpi_addr + ph.p_vaddr) == search->slice->header) {
            search->found = true;
            search->slide = info->dlpi_addr;
            return 1;
        }
        break;
    }
    return 0;
}

} // namespace

PLNMachOSlice PLNMachOSliceGetCurrent()
{
    PLNMachOSlice slice;
    dl_iterate_phdr(findMainHeader, &slice.header);
    utsname name{};
    if (::uname(&name) == 0) {
        const std::string machine = name.machine;
        if (machine == "x86_64") {
            slice.cputype = 0x01000007;
            slice.cpusubtype = 3;
        } else if (machine == "aarch64" || machine == "arm64") {
            slice.cputype = 0x0100000C;
            slice.cpusubtype = 0;
        }
    }
    return slice;
}

const char *PLNMachOSliceGetImagePath(const PLNMachOSlice *slice)
{
    if (!slice || !slice->header)
        return nullptr;
    Dl_info info{};
    if (::dladdr(slice->header, &info) == 0 || !info.dli_fname)
        return nullptr;
    // The loader names the main executable "" on some systems.
    if (info.dli_fname[0] == '\0') {
        static const std::string exe = tel::AppInfo::executablePath();
        return exe.empty() ? nullptr : exe.c_str();
    }
    return info.dli_fname;
}

bool PLNMachOSliceGetUnwindSections(PLNMachOSlice *slice, const void **ehFrame,
                                    const void **unwindInfo)
{
    if (!ehFrame && !unwindInfo)
        return false;
    if (!slice || !slice->header)
        return false;
    UnwindSearch search{slice};
    dl_iterate_phdr(findImageWithHeader, &search);
    if (!search.found)
        return false;
    bool result = false;
    PLNMachOSection section;
    if (unwindInfo) {
        result = PLNMachOSliceGetSection(slice, "__TEXT", "__unwind_info", &section);
        if (result)
            *unwindInfo = reinterpret_cast<const void *>(section.address + search.slide);
    }
    if (ehFrame) {
        result = PLNMachOSliceGetSection(slice, "__TEXT", "__eh_frame", &section);
        if (result)
            *ehFrame = reinterpret_cast<const void *>(section.address + search.slide);
    }
    return result;
}
