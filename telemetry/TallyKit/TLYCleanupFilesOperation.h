#pragma once

#include "telemetry/platform/Operation.h"

#include <cstdint>
#include <functional>
#include <set>
#include <string>

// Sorts what earlier launches left in the events folder: logs, compressed logs and packages
// are kept for processing, anything else is deleted. A compressed log whose log is still there
// goes (the log is compressed again). Damaged files are mended or deleted with a line in the
// system log: a log keeps its whole, well-formed lines (and goes when its metadata record is
// missing), a gzip stream or a package that does not read to its end goes. Of the packages,
// only the newest `maximumPendingMultipartFiles` stay.
class TLYCleanupFilesOperation : public tel::Operation
{
public:
    using SuccessBlock = std::function<void(const std::set<std::string> &logFiles,
                                            const std::set<std::string> &compressedFiles,
                                            const std::set<std::string> &packageFiles)>;

    TLYCleanupFilesOperation(std::string directoryUrl, std::int64_t maximumPendingMulitpartFiles);

    void setSuccessBlock(SuccessBlock block) { m_successBlock = std::move(block); }
    void main() override;

    // Keeps the newest `maximum` packages of the set (by creation date), deletes the others and
    // answers the kept ones.
    static std::set<std::string> pruneMultipartFiles(const std::set<std::string> &packages,
                                                     std::int64_t maximum);
    // Whether every line of the log is whole and well formed, the first being the metadata
    // record; a log that is not is cut down to its good lines, or deleted when none is left.
    // Answers whether the log is still there.
    static bool repairLog(const std::string &path);
    static bool isCompleteGzipFile(const std::string &path);
    static bool isCompletePackage(const std::string &path);

private:
    std::string m_directoryUrl;
    std::int64_t m_maximumPendingMultipartFiles;
    SuccessBlock m_successBlock;
};
