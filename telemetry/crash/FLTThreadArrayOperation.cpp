#include "FLTThreadArrayOperation.h"

#include "FLTFile.h"
#include "telemetry/platform/SystemLog.h"

#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <llvm/Demangle/Demangle.h>

void FLTThreadArrayOperation::enumerateFramesWithBlock(
    const std::function<void(FLTStackFrame &, std::size_t, std::size_t)> &block)
{
    if (!m_threadArray)
        return;
    for (std::size_t thread = 0; thread < m_threadArray->size(); ++thread) {
        auto &frames = (*m_threadArray)[thread];
        for (std::size_t index = 0; index < frames.size(); ++index) {
            if (isCancelled())
                return;
            block(frames[index], thread, index);
        }
    }
}

void FLTSymbolicationOperation::main()
{
    if (!m_symbolResolver)
        return;
    enumerateFramesWithBlock([&](FLTStackFrame &frame, std::size_t, std::size_t index) {
        m_symbolResolver->updateStackFrame(frame, index == 0);
    });
}

void FLTDemangleOperation::main()
{
    enumerateFramesWithBlock([](FLTStackFrame &frame, std::size_t, std::size_t) {
        if (!frame.rawSymbol)
            return;
        if (auto demangled = demangleSymbol(frame.rawSymbol->c_str()))
            frame.symbol = std::move(*demangled);
    });
}

std::optional<std::string> FLTDemangleOperation::demangleSymbol(const char *symbol)
{
    if (!symbol)
        return std::nullopt;
    if (std::strncmp(symbol, "_Z", 2) == 0)
        return demangleCppSymbol(symbol);
    if (std::strncmp(symbol, "__Z", 3) == 0)
        return demangleBlockInvokeCppSymbol(symbol);
    return std::nullopt;
}

std::optional<std::string> FLTDemangleOperation::demangleCppSymbol(const char *symbol)
{
    if (!symbol)
        return std::nullopt;
    int status = 0;
    char *demangled = abi::__cxa_demangle(symbol, nullptr, nullptr, &status);
    if (!demangled || status != 0) {
        std::free(demangled);
        // The runtime's demangler refuses some valid names, such as those of a lambda that takes
        // a parameter pack (every function run by std::thread or QThread::create has one).
        status = 0;
        demangled = llvm::itaniumDemangle(symbol, nullptr, nullptr, &status);
        if (!demangled || status != 0) {
            std::free(demangled);
            return std::nullopt;
        }
    }
    std::string result(demangled);
    std::free(demangled);
    return result;
}

std::optional<std::string> FLTDemangleOperation::demangleBlockInvokeCppSymbol(const char *symbol)
{
    if (!symbol)
        return std::nullopt;
    const std::string name(symbol);
    const std::size_t suffix = name.rfind("_block_invoke");
    if (suffix == std::string::npos || suffix < 5)
        return std::nullopt;
    const auto inner = demangleCppSymbol(name.substr(1, suffix - 1).c_str());
    if (!inner)
        return std::nullopt;
    return *inner + name.substr(suffix);
}

void FLTSerializeSymbolicatedFramesOperation::main()
{
    FLTFile file;
    // Buffered: the same line in far fewer writes (this is no crash-time code).
    if (!FLTFileInitWithPathMode(&file, m_outputPath.c_str(), false, true)) {
        tel::SystemLog::log("[Faultline:Crash:Symbolication] Failed to create output file");
        return;
    }
    FLTFileWriteSectionStart(&file, "threads");
    FLTFileWriteArrayStart(&file);
    if (const auto &threads = threadArray()) {
        for (const auto &frames : *threads) {
            if (isCancelled())
                break;
            FLTFileWriteArrayStart(&file);
            for (const FLTStackFrame &frame : frames) {
                FLTFileWriteHashStart(&file);
                FLTFileWriteHashEntryString(&file, "symbol",
                                            frame.symbol ? frame.symbol->c_str() : nullptr);
                if (frame.rawSymbol && frame.rawSymbol != frame.symbol)
                    FLTFileWriteHashEntryString(&file, "raw_symbol", frame.rawSymbol->c_str());
                FLTFileWriteHashEntryUInt64(&file, "offset", frame.offset);
                FLTFileWriteHashEntryString(&file, "library",
                                            frame.library ? frame.library->c_str() : nullptr);
                FLTFileWriteHashEnd(&file);
            }
            FLTFileWriteArrayEnd(&file);
        }
    }
    FLTFileWriteArrayEnd(&file);
    FLTFileWriteSectionEnd(&file);
    FLTFileClose(&file);
}
