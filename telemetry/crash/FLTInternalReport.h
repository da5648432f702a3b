#pragma once

// One report folder of the crash kit's store (a launch's record files) with the few facts the kit
// reads back from it: identifier, API key, versions, dates and whether it holds a crash.
// Record files are read only when they are regular files of a bounded size inside the folder: a
// link, a device or an oversized file counts as unreadable, so a hostile folder can make the kit
// read nothing outside the store. Not signal-safe. Used by one thread at a time.

#include <nlohmann/json.hpp>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class FLTInternalReport
{
public:
    // Record files larger than this are not read.
    static constexpr std::uint64_t kMaxRecordFileSize = 32u << 20;

    // Reads "identity"."session_id" of the folder's metadata as the identifier; nullptr (logged)
    // when there is none.
    static std::shared_ptr<FLTInternalReport> reportWithPath(const std::string &path);
    // Nullptr unless both are given.
    static std::shared_ptr<FLTInternalReport>
    reportWithPath(const std::string &path, const std::string &executionIdentifier);

    const std::string &identifier() const { return m_identifier; }
    const std::string &path() const { return m_path; }
    // The folder moved (into processing): later reads use the new place.
    void setPath(const std::string &path) { m_path = path; }
    std::string directoryName() const;
    std::string pathForContentFile(const std::string &name) const;
    std::string metadataPath() const;
    std::string binaryImagePath() const;

    // The parsed lines of a record file; nothing when it has none or cannot be read.
    static std::optional<std::vector<nlohmann::json>> readFLTFileAtPath(const std::string &path);
    // Whether the path names a regular file (links are not followed).
    static bool isRegularFile(const std::string &path);

    static const std::vector<std::string> &crashFilenames();
    bool isCrash() const;
    bool needsToBeSubmitted() const;
    // The path of each crash file in the order of crashFilenames, present or not.
    void enumerateSymbolicatableFilesInContent(
        const std::function<void(const std::string &path)> &block) const;

    // The parsed lines of "metadata.fltrecord", read once.
    const std::vector<nlohmann::json> &metadataSections() const;
    std::optional<std::string> APIKey() const;
    std::optional<std::string> bundleVersion() const;
    std::optional<std::string> bundleShortVersionString() const;
    std::optional<std::string> OSVersion() const;
    std::optional<std::string> OSBuildVersion() const;
    // Seconds since 1970.
    std::optional<std::int64_t> dateCreated() const;
    // For a crash: the time of the Mach exception record, else of the signal record, else of the
    // exception record.
    std::optional<std::int64_t> crashedOnDate() const;

    FLTInternalReport(std::string path, std::string identifier);

private:
    std::optional<std::string> metadataString(const char *section, const char *key) const;

    std::string m_path;
    std::string m_identifier;
    mutable std::optional<std::vector<nlohmann::json>> m_metadataSections;
};
