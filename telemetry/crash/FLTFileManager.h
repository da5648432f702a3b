#pragma once

// The crash kit's folder tree under the user's Caches folder:
//   Caches/com.faultline.data/<bundle id with "/" as "_">/v3/{active,pending,processing,prepared}
// Each launch writes its records into active/<execution identifier>. This is the part of the
// report store that the crash capture needs; moving reports through the later stages belongs to
// the next-launch processing. Not signal-safe.

#include <optional>
#include <string>

class FLTFileManager
{
public:
    // The root for the main bundle's identifier.
    FLTFileManager();
    explicit FLTFileManager(const std::string &bundleIdentifier);

    const std::string &rootPath() const { return m_rootPath; }
    std::string structurePath() const;
    std::string activePath() const;
    std::string pendingPath() const;
    std::string processingPath() const;
    std::string preparedPath() const;

    // Creates the folder and its parents with mode 0755; false (logged) on failure.
    bool createDirectoryAtPath(const std::string &path) const;
    // Creates active, then processing, then prepared, stopping at the first failure.
    bool prepareForNewLaunch() const;
    // Creates active/<identifier> and answers its path.
    std::optional<std::string>
    setupNewPathForExecutionIdentifier(const std::string &identifier) const;

private:
    std::string m_rootPath;
};
