#pragma once

// Symbolicates one report at a later launch: loads the report's image list into the resolver,
// then, for each crash file, writes "<crash file>.symbolicated" with the resolved, demangled
// frames of every thread. A report whose images cannot be read, or a crash file that is missing,
// unreadable or has no threads, is left as it is. Not signal-safe.

#include "FLTInternalReport.h"
#include "FLTSymbolResolver.h"
#include "FLTStackFrame.h"
#include "telemetry/platform/Operation.h"

#include <memory>
#include <optional>
#include <string>

class FLTProcessReportOperation : public tel::Operation
{
public:
    // Threads and frames per thread beyond these are not symbolicated.
    static constexpr std::size_t kMaxThreads = 1024;
    static constexpr std::size_t kMaxFramesPerThread = 4096;

    FLTProcessReportOperation(std::shared_ptr<FLTInternalReport> report,
                              std::shared_ptr<FLTSymbolResolver> resolver)
        : m_report(std::move(report))
        , m_symbolResolver(std::move(resolver))
    {
    }
    void main() override;

    const std::shared_ptr<FLTInternalReport> &report() const { return m_report; }
    // The threads of a crash file's "threads" section as frames with their addresses; nothing
    // when the file is missing, unreadable or has no such section.
    static std::optional<FLTThreadArray> threadArrayFromFile(const std::string &path);
    void symbolicateFile(const std::string &path);

private:
    std::shared_ptr<FLTInternalReport> m_report;
    std::shared_ptr<FLTSymbolResolver> m_symbolResolver;
};
