#pragma once

// The crash kit's report store under the user's Caches folder:
//   Caches/com.faultline.data/<bundle id with "/" as "_">/v3/{active,pending,processing,prepared}
// Each launch writes its records into active/<execution identifier>; at a later launch a report
// folder moves into processing while it is symbolicated and packaged, and its package waits in
// prepared until it is uploaded. Packages the server refuses for good are kept aside in
// v3/quarantine (the newest few only).
//
// The store only ever touches what lies inside its root: entries are listed without following
// symbolic links, a link is removed as a link, and nothing is moved out of the tree.
// Not signal-safe. Thread-safe (no state beyond the root path).

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

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
    std::string quarantinePath() const;

    // Full paths of the entries of a folder whose names do not begin with ".", in directory
    // order. Empty when the folder cannot be read.
    std::vector<std::string> activePathContents() const;
    std::vector<std::string> processingPathContents() const;
    std::vector<std::string> preparedPathContents() const;
    std::vector<std::string> contentsOfDirectory(const std::string &path) const;
    // Calls the block with (full path, extension without its dot) for each such entry.
    void enumerateFilesInDirectory(
        const std::string &path,
        const std::function<void(const std::string &path, const std::string &extension)> &block)
        const;

    // Creates the folder and its parents with mode 0755; false (logged) on failure.
    bool createDirectoryAtPath(const std::string &path) const;
    // Removes a file, a folder with its contents, or a link (never what it points to); false
    // (logged) on failure or for an empty path.
    bool removeItemAtPath(const std::string &path) const;
    // Removes every entry that enumeration lists; true only when every removal succeeded.
    bool removeContentsOfDirectoryAtPath(const std::string &path) const;
    // Moves into the directory under the same last path component.
    bool moveItemAtPath(const std::string &path, const std::string &toDirectory) const;
    // Moves the listed entries one by one, stopping at the first failure.
    bool moveItemsFromDirectory(const std::string &directory, const std::string &toDirectory) const;
    // Size of a regular file (links are not followed); nothing (logged) otherwise.
    std::optional<std::uint64_t> fileSizeAtPath(const std::string &path) const;

    // Creates active, then processing, then prepared, stopping at the first failure.
    bool prepareForNewLaunch() const;
    // Creates active/<identifier> and answers its path.
    std::optional<std::string>
    setupNewPathForExecutionIdentifier(const std::string &identifier) const;
    // When the marker "sendable" of an older layout exists, the whole root is removed. Run it
    // before prepareForNewLaunch, so that this launch's folders are never removed with it.
    bool removeLegacyDirectories() const;
    bool removeContentsOfProcessingPath() const;
    bool removeContentsOfPendingPath() const;
    // Empties processing, pending, prepared and active, all four attempted.
    bool removeContentsOfAllPaths() const;

    // Moves a package into the quarantine folder, keeping only the newest
    // kMaxQuarantinedPackages there.
    bool quarantineItemAtPath(const std::string &path) const;
    static constexpr std::size_t kMaxQuarantinedPackages = 8;

    // Whether the path is a real folder (not a link) directly inside `directory`.
    static bool isRealDirectory(const std::string &path);

private:
    std::string m_rootPath;
};
