#include "FLTStackFrame.h"

#include <cinttypes>
#include <cstdio>

FLTStackFrame FLTStackFrame::stackFrameWithAddress(std::uint64_t address)
{
    FLTStackFrame frame;
    frame.address = address;
    return frame;
}

FLTStackFrame FLTStackFrame::stackFrameWithSymbol(const std::string &symbol)
{
    FLTStackFrame frame;
    frame.symbol = symbol;
    frame.rawSymbol = symbol;
    return frame;
}

std::string FLTStackFrame::description() const
{
    const std::string name = symbol.value_or("(null)");
    char head[64];
    if (fileName) {
        snprintf(head, sizeof head, "{[0x%" PRIx64 "] ", address);
        return head + name + " - " + *fileName + ":" + std::to_string(lineNumber) + "}";
    }
    snprintf(head, sizeof head, "{[0x%" PRIx64 " + %u] ", address, lineNumber);
    return head + name + "}";
}
