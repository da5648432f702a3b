#pragma once

// The function symbols of an ELF image file on disk (its full symbol table and its dynamic one),
// sorted by address, for resolving addresses that the dynamic linker's exported symbols alone
// would attribute to the wrong function. Every offset and size read from the file is checked
// against the file; a damaged or foreign file gives no table. Not signal-safe. Immutable once
// loaded, so it may be shared between threads.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class FLTELFSymbolTable
{
public:
    struct Symbol {
        std::uint64_t address = 0; // link-time address
        std::uint64_t size = 0;
        std::string name;
    };

    // Loads the file's symbols when its build-id (lower-case hex) is `buildId`; an empty
    // `buildId` accepts any. Nullptr when the file cannot be read, is not a 64-bit ELF file of
    // this machine, or has another build-id.
    static std::shared_ptr<const FLTELFSymbolTable> load(const std::string &path,
                                                         const std::string &buildId);
    // Parses an image already in memory.
    static std::shared_ptr<const FLTELFSymbolTable> parse(std::string_view bytes,
                                                          const std::string &buildId);

    // The function holding the link-time address: the last symbol starting at or below it, when
    // the address lies within its size (or the symbol has no size). Null when there is none.
    const Symbol *symbolForAddress(std::uint64_t address) const;
    const std::string &buildId() const { return m_buildId; }
    std::size_t count() const { return m_symbols.size(); }

private:
    std::vector<Symbol> m_symbols;
    std::string m_buildId;
};
