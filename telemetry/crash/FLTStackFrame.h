#pragma once

// One stack frame of a report as the next launch resolves it: the recorded return address and,
// once symbolicated, the symbol, the library and the distance from the symbol's start.
// A value type; not signal-safe.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct FLTStackFrame {
    std::uint64_t address = 0;
    std::optional<std::string> symbol;
    std::optional<std::string> rawSymbol;
    std::optional<std::string> library;
    std::uint64_t offset = 0;
    std::optional<std::string> fileName;
    std::uint32_t lineNumber = 0;

    static FLTStackFrame stackFrame() { return {}; }
    static FLTStackFrame stackFrameWithAddress(std::uint64_t address);
    static FLTStackFrame stackFrameWithSymbol(const std::string &symbol);

    // "{[0x%llx] %s - %s:%u}" with a file name, else "{[0x%llx + %u] %s}".
    std::string description() const;
};

// One entry per thread in recorded order, each the thread's frames innermost first.
using FLTThreadArray = std::vector<std::vector<FLTStackFrame>>;
