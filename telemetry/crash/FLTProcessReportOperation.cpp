#include "FLTProcessReportOperation.h"

#include "FLTThreadArrayOperation.h"

using nlohmann::json;

std::optional<FLTThreadArray>
FLTProcessReportOperation::threadArrayFromFile(const std::string &path)
{
    const auto lines = FLTInternalReport::readFLTFileAtPath(path);
    if (!lines)
        return std::nullopt;
    const json *threads = nullptr;
    for (const json &line : *lines) {
        if (!line.is_object())
            continue;
        const auto found = line.find("threads");
        if (found != line.end()) {
            threads = &*found;
            break;
        }
    }
    if (!threads || !threads->is_array())
        return std::nullopt;
    FLTThreadArray array;
    for (const json &thread : *threads) {
        if (array.size() >= kMaxThreads)
            break;
        auto &frames = array.emplace_back();
        const auto stack = thread.is_object() ? thread.find("stacktrace") : thread.end();
        if (stack == thread.end() || !stack->is_array())
            continue;
        for (const json &address : *stack) {
            if (frames.size() >= kMaxFramesPerThread)
                break;
            frames.push_back(FLTStackFrame::stackFrameWithAddress(
                address.is_number_unsigned() ? address.get<std::uint64_t>() : 0));
        }
    }
    return array;
}

void FLTProcessReportOperation::symbolicateFile(const std::string &path)
{
    auto threads = threadArrayFromFile(path);
    if (!threads)
        return;
    auto shared = std::make_shared<FLTThreadArray>(std::move(*threads));
    FLTSymbolicationOperation symbolication(shared, m_symbolResolver);
    symbolication.start();
    FLTDemangleOperation demangling(shared);
    demangling.start();
    FLTSerializeSymbolicatedFramesOperation serialising(shared, path + ".symbolicated");
    serialising.start();
}

void FLTProcessReportOperation::main()
{
    if (!m_report || !m_symbolResolver)
        return;
    if (!m_symbolResolver->loadBinaryImagesFromFile(m_report->binaryImagePath()))
        return;
    m_report->enumerateSymbolicatableFilesInContent([&](const std::string &path) {
        if (!isCancelled())
            symbolicateFile(path);
    });
}
