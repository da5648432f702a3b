#include "FLTELFSymbolTable.h"

#include <algorithm>
#include <cstring>
#include <elf.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Images larger than this are not read.
constexpr std::uint64_t kMaxImageSize = 1ull << 31;
constexpr std::size_t kMaxSymbols = 4u << 20;

template <typename T> bool readAt(std::string_view bytes, std::uint64_t offset, T &value)
{
    if (offset > bytes.size() || bytes.size() - offset < sizeof(T))
        return false;
    std::memcpy(&value, bytes.data() + offset, sizeof(T));
    return true;
}

bool rangeInside(std::string_view bytes, std::uint64_t offset, std::uint64_t size)
{
    return offset <= bytes.size() && size <= bytes.size() - offset;
}

std::string hex(const unsigned char *data, std::size_t length)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < length; ++i) {
        text += digits[data[i] >> 4];
        text += digits[data[i] & 15];
    }
    return text;
}

// The GNU build-id note of a note area, as hex; empty when there is none.
std::string buildIdInNotes(std::string_view bytes, std::uint64_t offset, std::uint64_t size)
{
    if (!rangeInside(bytes, offset, size))
        return {};
    std::uint64_t position = offset;
    const std::uint64_t end = offset + size;
    while (end - position >= sizeof(Elf64_Nhdr)) {
        Elf64_Nhdr note;
        if (!readAt(bytes, position, note))
            return {};
        position += sizeof note;
        const std::uint64_t nameSize = (std::uint64_t(note.n_namesz) + 3) & ~3ull;
        const std::uint64_t descSize = (std::uint64_t(note.n_descsz) + 3) & ~3ull;
        if (nameSize > end - position || descSize > end - position - nameSize)
            return {};
        const char *name = bytes.data() + position;
        if (note.n_type == NT_GNU_BUILD_ID && note.n_namesz == 4
            && std::memcmp(name, "GNU", 4) == 0)
            return hex(reinterpret_cast<const unsigned char *>(bytes.data() + position + nameSize),
                       note.n_descsz);
        position += nameSize + descSize;
    }
    return {};
}

} // namespace

std::shared_ptr<const FLTELFSymbolTable> FLTELFSymbolTable::load(const std::string &path,
                                                                 const std::string &buildId)
{
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return nullptr;
    struct stat status {
    };
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size <= 0
        || static_cast<std::uint64_t>(status.st_size) > kMaxImageSize) {
        close(descriptor);
        return nullptr;
    }
    const auto size = static_cast<std::size_t>(status.st_size);
    void *mapping = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, descriptor, 0);
    close(descriptor);
    if (mapping == MAP_FAILED)
        return nullptr;
    auto table = parse(std::string_view(static_cast<const char *>(mapping), size), buildId);
    munmap(mapping, size);
    return table;
}

std::shared_ptr<const FLTELFSymbolTable> FLTELFSymbolTable::parse(std::string_view bytes,
                                                                  const std::string &buildId)
{
    Elf64_Ehdr header;
    if (!readAt(bytes, 0, header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0
        || header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_ident[EI_DATA] != ELFDATA2LSB
        || header.e_shentsize != sizeof(Elf64_Shdr) || header.e_shnum == 0)
        return nullptr;
    const std::uint64_t sectionsSize = std::uint64_t(header.e_shnum) * sizeof(Elf64_Shdr);
    if (!rangeInside(bytes, header.e_shoff, sectionsSize))
        return nullptr;
    std::vector<Elf64_Shdr> sections(header.e_shnum);
    std::memcpy(sections.data(), bytes.data() + header.e_shoff, sectionsSize);

    auto table = std::make_shared<FLTELFSymbolTable>();
    for (const Elf64_Shdr &section : sections)
        if (section.sh_type == SHT_NOTE && table->m_buildId.empty())
            table->m_buildId = buildIdInNotes(bytes, section.sh_offset, section.sh_size);
    if (!buildId.empty() && table->m_buildId != buildId)
        return nullptr;

    for (const Elf64_Shdr &section : sections) {
        if (section.sh_type != SHT_SYMTAB && section.sh_type != SHT_DYNSYM)
            continue;
        if (section.sh_entsize != sizeof(Elf64_Sym) || section.sh_link >= sections.size()
            || !rangeInside(bytes, section.sh_offset, section.sh_size))
            continue;
        const Elf64_Shdr &strings = sections[section.sh_link];
        if (strings.sh_type != SHT_STRTAB
            || !rangeInside(bytes, strings.sh_offset, strings.sh_size))
            continue;
        const std::string_view names(bytes.data() + strings.sh_offset, strings.sh_size);
        const std::uint64_t count = section.sh_size / sizeof(Elf64_Sym);
        for (std::uint64_t i = 0; i < count && table->m_symbols.size() < kMaxSymbols; ++i) {
            Elf64_Sym symbol;
            std::memcpy(&symbol, bytes.data() + section.sh_offset + i * sizeof symbol,
                        sizeof symbol);
            const unsigned type = ELF64_ST_TYPE(symbol.st_info);
            if ((type != STT_FUNC && type != STT_GNU_IFUNC) || symbol.st_shndx == SHN_UNDEF
                || symbol.st_value == 0 || symbol.st_name >= names.size())
                continue;
            const std::size_t end = names.find('\0', symbol.st_name);
            if (end == std::string_view::npos || end == symbol.st_name)
                continue;
            table->m_symbols.push_back(
                {symbol.st_value, symbol.st_size,
                 std::string(names.substr(symbol.st_name, end - symbol.st_name))});
        }
    }
    // By address; of several names for one address the one with a size, then the longer one
    // (a C++ name over a plain alias), comes first and is kept.
    std::sort(table->m_symbols.begin(), table->m_symbols.end(),
              [](const Symbol &a, const Symbol &b) {
                  if (a.address != b.address)
                      return a.address < b.address;
                  if ((a.size != 0) != (b.size != 0))
                      return a.size != 0;
                  return a.name.size() > b.name.size();
              });
    table->m_symbols.erase(
        std::unique(table->m_symbols.begin(), table->m_symbols.end(),
                    [](const Symbol &a, const Symbol &b) { return a.address == b.address; }),
        table->m_symbols.end());
    return table;
}

const FLTELFSymbolTable::Symbol *FLTELFSymbolTable::symbolForAddress(std::uint64_t address) const
{
    auto after = std::upper_bound(
        m_symbols.begin(), m_symbols.end(), address,
        [](std::uint64_t value, const Symbol &symbol) { return value < symbol.address; });
    if (after == m_symbols.begin())
        return nullptr;
    const Symbol &symbol = *(after - 1);
    if (symbol.size != 0 && address - symbol.address >= symbol.size)
        return nullptr;
    return &symbol;
}
