#pragma once

// Packs one report folder into one multipart package in the store's prepared folder: the
// "api_key" and "report_id" fields, then every file of the folder gzip-compressed (as
// "<name>.gz", "application/x-gzip"); a file that cannot be compressed goes in as it is
// ("text/plain", under its own name). Links, folders and other non-regular entries are never
// read.
//
// The package is written under a hidden name and appears under "<boundary>.multipartmime" only
// once complete; a note left in the report folder names it, so a launch interrupted between
// packaging and removing the folder finds the package again instead of making a second one.
// Not signal-safe.

#include "FLTFileManager.h"
#include "FLTInternalReport.h"
#include "telemetry/platform/Operation.h"

#include <memory>
#include <optional>
#include <string>

class FLTPackageReportOperation : public tel::Operation
{
public:
    // Files larger than this are left out of the package.
    static constexpr std::uint64_t kMaxFileSize = 64u << 20;
    // The note in a report folder that names its finished package.
    static constexpr const char *kPackagedNoteName = ".packaged";

    FLTPackageReportOperation(std::shared_ptr<FLTInternalReport> report,
                              std::shared_ptr<const FLTFileManager> fileManager)
        : m_report(std::move(report))
        , m_fileManager(std::move(fileManager))
    {
    }
    void main() override;

    // The package, once written.
    const std::optional<std::string> &finalPath() const { return m_finalPath; }

    // Compresses a file to `path` + ".gz" (replacing whatever was there). False (logged) on any
    // failure; then no compressed file is left.
    static bool compressFile(const std::string &path, const std::string &data);
    // The bytes of a regular file of at most `maxSize` bytes (links are not followed).
    static std::optional<std::string> readRegularFile(const std::string &path,
                                                      std::uint64_t maxSize);
    // Whether a name is one this operation gives packages: "<boundary>.multipartmime".
    static bool isPackageName(const std::string &name);

private:
    bool finishEarlierPackaging();

    std::shared_ptr<FLTInternalReport> m_report;
    std::shared_ptr<const FLTFileManager> m_fileManager;
    std::optional<std::string> m_finalPath;
};
