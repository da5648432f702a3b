#pragma once

// The steps that turn a crash file's bare return addresses into a ".symbolicated" companion
// file, each an operation over one shared thread array, run one after the other to completion
// on the calling thread: resolve every frame, demangle every C++ name, write the frames.
// Not signal-safe.

#include "FLTStackFrame.h"
#include "FLTSymbolResolver.h"
#include "telemetry/platform/Operation.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

class FLTThreadArrayOperation : public tel::Operation
{
public:
    explicit FLTThreadArrayOperation(std::shared_ptr<FLTThreadArray> threadArray)
        : m_threadArray(std::move(threadArray))
    {
    }
    const std::shared_ptr<FLTThreadArray> &threadArray() const { return m_threadArray; }
    // Each frame of each thread in order, with its thread's index and its own; stops once the
    // operation is cancelled.
    void enumerateFramesWithBlock(const std::function<void(FLTStackFrame &frame, std::size_t thread,
                                                           std::size_t index)> &block);

private:
    std::shared_ptr<FLTThreadArray> m_threadArray;
};

class FLTSymbolicationOperation : public FLTThreadArrayOperation
{
public:
    FLTSymbolicationOperation(std::shared_ptr<FLTThreadArray> threadArray,
                              std::shared_ptr<FLTSymbolResolver> resolver)
        : FLTThreadArrayOperation(std::move(threadArray))
        , m_symbolResolver(std::move(resolver))
    {
    }
    void main() override;

private:
    std::shared_ptr<FLTSymbolResolver> m_symbolResolver;
};

class FLTDemangleOperation : public FLTThreadArrayOperation
{
public:
    using FLTThreadArrayOperation::FLTThreadArrayOperation;
    void main() override;

    // The readable form of a C++ name ("_Z..." or a block "__Z..._block_invoke..."); nothing
    // for any other name or one that does not demangle.
    static std::optional<std::string> demangleSymbol(const char *symbol);
    static std::optional<std::string> demangleCppSymbol(const char *symbol);
    static std::optional<std::string> demangleBlockInvokeCppSymbol(const char *symbol);
};

class FLTSerializeSymbolicatedFramesOperation : public FLTThreadArrayOperation
{
public:
    FLTSerializeSymbolicatedFramesOperation(std::shared_ptr<FLTThreadArray> threadArray,
                                            std::string outputPath)
        : FLTThreadArrayOperation(std::move(threadArray))
        , m_outputPath(std::move(outputPath))
    {
    }
    const std::string &outputPath() const { return m_outputPath; }
    // One "threads" line: per thread an array of {"symbol", ["raw_symbol",] "offset",
    // "library"} in stack order.
    void main() override;

private:
    std::string m_outputPath;
};
