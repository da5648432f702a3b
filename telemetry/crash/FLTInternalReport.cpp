#include "FLTInternalReport.h"

#include "FLTFile.h"
#include "telemetry/platform/SystemLog.h"

#include <cstdint>
#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

const json *member(const std::vector<json> &lines, const char *section, const char *key)
{
    for (const json &line : lines) {
        if (!line.is_object())
            continue;
        const auto found = line.find(section);
        if (found == line.end() || !found->is_object())
            continue;
        const auto value = found->find(key);
        return value == found->end() ? nullptr : &*value;
    }
    return nullptr;
}

std::optional<std::int64_t> integerOf(const json *value)
{
    if (!value || !value->is_number())
        return std::nullopt;
    // Dates are seconds in a signed 64-bit number: anything else is a damaged record.
    if (value->is_number_unsigned()) {
        const std::uint64_t unsignedValue = value->get<std::uint64_t>();
        if (unsignedValue > static_cast<std::uint64_t>(INT64_MAX))
            return std::nullopt;
        return static_cast<std::int64_t>(unsignedValue);
    }
    if (value->is_number_integer())
        return value->get<std::int64_t>();
    return std::nullopt;
}

} // namespace

FLTInternalReport::FLTInternalReport(std::string path, std::string identifier)
    : m_path(std::move(path))
    , m_identifier(std::move(identifier))
{
}

std::shared_ptr<FLTInternalReport> FLTInternalReport::reportWithPath(const std::string &path)
{
    auto report = std::make_shared<FLTInternalReport>(path, std::string());
    const json *identifier = member(report->metadataSections(), "identity", "session_id");
    if (!identifier || !identifier->is_string() || identifier->get<std::string>().empty()) {
        tel::SystemLog::log("[Faultline:Crash] Unable to read identifier at path " + path);
        return nullptr;
    }
    report->m_identifier = identifier->get<std::string>();
    return report;
}

std::shared_ptr<FLTInternalReport>
FLTInternalReport::reportWithPath(const std::string &path, const std::string &executionIdentifier)
{
    if (path.empty() || executionIdentifier.empty())
        return nullptr;
    return std::make_shared<FLTInternalReport>(path, executionIdentifier);
}

std::string FLTInternalReport::directoryName() const
{
    return fs::path(m_path).filename().string();
}

std::string FLTInternalReport::pathForContentFile(const std::string &name) const
{
    return (fs::path(m_path) / name).string();
}

std::string FLTInternalReport::metadataPath() const
{
    return pathForContentFile("metadata.fltrecord");
}

std::string FLTInternalReport::binaryImagePath() const
{
    return pathForContentFile("binary_images.fltrecord");
}

bool FLTInternalReport::isRegularFile(const std::string &path)
{
    struct stat status {
    };
    return lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

std::optional<std::vector<json>> FLTInternalReport::readFLTFileAtPath(const std::string &path)
{
    struct stat status {
    };
    if (lstat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)
        || static_cast<std::uint64_t>(status.st_size) > kMaxRecordFileSize)
        return std::nullopt;
    auto lines = FLTFileReadSections(path.c_str(), false);
    if (!lines || lines->empty())
        return std::nullopt;
    return lines;
}

const std::vector<std::string> &FLTInternalReport::crashFilenames()
{
    static const std::vector<std::string> names = {"exception.fltrecord",
                                                   "mach_exception.fltrecord", "signal.fltrecord"};
    return names;
}

bool FLTInternalReport::isCrash() const
{
    for (const std::string &name : crashFilenames())
        if (isRegularFile(pathForContentFile(name)))
            return true;
    return false;
}

bool FLTInternalReport::needsToBeSubmitted() const
{
    static const char *const kSubmittable[] = {"exception.fltrecord",
                                               "signal.fltrecord",
                                               "custom_exception_a.fltrecord",
                                               "custom_exception_b.fltrecord",
                                               "mach_exception.fltrecord",
                                               "errors_a.fltrecord",
                                               "errors_b.fltrecord"};
    for (const char *name : kSubmittable)
        if (isRegularFile(pathForContentFile(name)))
            return true;
    return false;
}

void FLTInternalReport::enumerateSymbolicatableFilesInContent(
    const std::function<void(const std::string &)> &block) const
{
    for (const std::string &name : crashFilenames())
        block(pathForContentFile(name));
}

const std::vector<json> &FLTInternalReport::metadataSections() const
{
    if (!m_metadataSections)
        m_metadataSections = readFLTFileAtPath(metadataPath()).value_or(std::vector<json>());
    return *m_metadataSections;
}

std::optional<std::string> FLTInternalReport::metadataString(const char *section,
                                                             const char *key) const
{
    const json *value = member(metadataSections(), section, key);
    if (!value || !value->is_string())
        return std::nullopt;
    return value->get<std::string>();
}

std::optional<std::string> FLTInternalReport::APIKey() const
{
    return metadataString("identity", "api_key");
}

std::optional<std::string> FLTInternalReport::bundleVersion() const
{
    return metadataString("application", "build_version");
}

std::optional<std::string> FLTInternalReport::bundleShortVersionString() const
{
    return metadataString("application", "display_version");
}

std::optional<std::string> FLTInternalReport::OSVersion() const
{
    return metadataString("host", "os_display_version");
}

std::optional<std::string> FLTInternalReport::OSBuildVersion() const
{
    return metadataString("host", "os_build_version");
}

std::optional<std::int64_t> FLTInternalReport::dateCreated() const
{
    return integerOf(member(metadataSections(), "identity", "started_at"));
}

std::optional<std::int64_t> FLTInternalReport::crashedOnDate() const
{
    static const std::pair<const char *, const char *> kSources[] = {
        {"mach_exception.fltrecord", "mach_exception"},
        {"signal.fltrecord", "signal"},
        {"exception.fltrecord", "exception"}};
    for (const auto &[file, section] : kSources) {
        const auto lines = readFLTFileAtPath(pathForContentFile(file));
        if (!lines)
            continue;
        if (auto time = integerOf(member({lines->front()}, section, "time")))
            return time;
    }
    return std::nullopt;
}
