#include "FLTFileManager.h"

#include "telemetry/platform/AppInfo.h"
#include "telemetry/platform/SystemLog.h"
#include "telemetry/platform/TelemetryPaths.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>

namespace fs = std::filesystem;

namespace {

void logLine(const std::string &line)
{
    tel::SystemLog::log(line);
}

} // namespace

FLTFileManager::FLTFileManager()
    : FLTFileManager(tel::AppInfo::bundleIdentifier())
{
}

FLTFileManager::FLTFileManager(const std::string &bundleIdentifier)
{
    std::string escaped = bundleIdentifier;
    for (char &c : escaped)
        if (c == '/')
            c = '_';
    m_rootPath =
        (fs::path(tel::TelemetryPaths::cachesFolder()) / "com.faultline.data" / escaped).string();
}

std::string FLTFileManager::structurePath() const
{
    return (fs::path(m_rootPath) / "v3").string();
}

std::string FLTFileManager::activePath() const
{
    return (fs::path(structurePath()) / "active").string();
}

std::string FLTFileManager::pendingPath() const
{
    return (fs::path(structurePath()) / "pending").string();
}

std::string FLTFileManager::processingPath() const
{
    return (fs::path(structurePath()) / "processing").string();
}

std::string FLTFileManager::preparedPath() const
{
    return (fs::path(structurePath()) / "prepared").string();
}

std::string FLTFileManager::quarantinePath() const
{
    return (fs::path(structurePath()) / "quarantine").string();
}

std::vector<std::string> FLTFileManager::activePathContents() const
{
    return contentsOfDirectory(activePath());
}

std::vector<std::string> FLTFileManager::processingPathContents() const
{
    return contentsOfDirectory(processingPath());
}

std::vector<std::string> FLTFileManager::preparedPathContents() const
{
    return contentsOfDirectory(preparedPath());
}

std::vector<std::string> FLTFileManager::contentsOfDirectory(const std::string &path) const
{
    std::vector<std::string> entries;
    enumerateFilesInDirectory(
        path, [&](const std::string &entry, const std::string &) { entries.push_back(entry); });
    return entries;
}

void FLTFileManager::enumerateFilesInDirectory(
    const std::string &path,
    const std::function<void(const std::string &, const std::string &)> &block) const
{
    if (path.empty())
        return;
    // The names are collected first, so the block may remove or move what it is given.
    std::vector<std::string> names;
    if (DIR *directory = opendir(path.c_str())) {
        while (const dirent *entry = readdir(directory)) {
            if (entry->d_name[0] == '.')
                continue;
            names.emplace_back(entry->d_name);
        }
        closedir(directory);
    }
    for (const std::string &name : names) {
        const fs::path full = fs::path(path) / name;
        std::string extension = full.extension().string();
        if (!extension.empty())
            extension.erase(0, 1);
        block(full.string(), extension);
    }
}

bool FLTFileManager::createDirectoryAtPath(const std::string &path) const
{
    std::error_code error;
    fs::create_directories(path, error);
    if (error || !fs::is_directory(fs::symlink_status(path))) {
        logLine("[FileManager] Unable to create directory " + path + ": "
                + (error ? error.message() : std::string("not a folder")));
        return false;
    }
    // Every folder of the tree gets 0755, the intermediate ones included.
    for (fs::path folder = path; folder.string().size() >= m_rootPath.size();
         folder = folder.parent_path()) {
        fs::permissions(folder, fs::perms(0755), fs::perm_options::replace, error);
        if (folder == folder.parent_path())
            break;
    }
    return true;
}

bool FLTFileManager::removeItemAtPath(const std::string &path) const
{
    if (path.empty())
        return false;
    std::error_code error;
    // remove_all never follows a link: a link inside the store goes, what it names stays.
    fs::remove_all(path, error);
    if (error) {
        logLine("[FileManager] Failed to remove file '" + path + "' : " + error.message());
        return false;
    }
    return true;
}

bool FLTFileManager::removeContentsOfDirectoryAtPath(const std::string &path) const
{
    bool all = true;
    enumerateFilesInDirectory(path, [&](const std::string &entry, const std::string &) {
        all = removeItemAtPath(entry) && all;
    });
    return all;
}

bool FLTFileManager::moveItemAtPath(const std::string &path, const std::string &toDirectory) const
{
    if (path.empty() || toDirectory.empty()) {
        logLine("[FileManager] Failed to move file, inputs invalid");
        return false;
    }
    const fs::path destination = fs::path(toDirectory) / fs::path(path).filename();
    std::error_code error;
    fs::rename(path, destination, error);
    if (error) {
        logLine("[FileManager] Failed to move file: " + error.message());
        return false;
    }
    return true;
}

bool FLTFileManager::moveItemsFromDirectory(const std::string &directory,
                                            const std::string &toDirectory) const
{
    for (const std::string &entry : contentsOfDirectory(directory))
        if (!moveItemAtPath(entry, toDirectory))
            return false;
    return true;
}

std::optional<std::uint64_t> FLTFileManager::fileSizeAtPath(const std::string &path) const
{
    struct stat status {
    };
    if (path.empty() || lstat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        logLine("[Client] Unable to read file size: "
                + std::string(path.empty() ? "empty path" : strerror(errno ? errno : EINVAL)));
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(status.st_size);
}

bool FLTFileManager::prepareForNewLaunch() const
{
    return createDirectoryAtPath(activePath()) && createDirectoryAtPath(processingPath())
           && createDirectoryAtPath(preparedPath());
}

std::optional<std::string>
FLTFileManager::setupNewPathForExecutionIdentifier(const std::string &identifier) const
{
    if (identifier.empty() || identifier.find('/') != std::string::npos || identifier == "."
        || identifier == "..")
        return std::nullopt;
    const std::string path = (fs::path(activePath()) / identifier).string();
    if (!createDirectoryAtPath(path))
        return std::nullopt;
    return path;
}

bool FLTFileManager::removeLegacyDirectories() const
{
    const fs::path marker = fs::path(m_rootPath) / "sendable";
    std::error_code error;
    if (!fs::exists(fs::symlink_status(marker, error)))
        return true;
    fs::remove_all(m_rootPath, error);
    if (error) {
        logLine("[Faultline:FileManager] Unable to remove legacy directory structure "
                + error.message());
        return false;
    }
    logLine("[Faultline:FileManager] Removed legacy structure at " + m_rootPath);
    return true;
}

bool FLTFileManager::removeContentsOfProcessingPath() const
{
    return removeContentsOfDirectoryAtPath(processingPath());
}

bool FLTFileManager::removeContentsOfPendingPath() const
{
    return removeContentsOfDirectoryAtPath(pendingPath());
}

bool FLTFileManager::removeContentsOfAllPaths() const
{
    bool all = removeContentsOfDirectoryAtPath(processingPath());
    all = removeContentsOfDirectoryAtPath(pendingPath()) && all;
    all = removeContentsOfDirectoryAtPath(preparedPath()) && all;
    all = removeContentsOfDirectoryAtPath(activePath()) && all;
    return all;
}

bool FLTFileManager::quarantineItemAtPath(const std::string &path) const
{
    if (!createDirectoryAtPath(quarantinePath()) || !moveItemAtPath(path, quarantinePath()))
        return false;
    // Only the newest few are kept: a quarantine that grows without end would be a leak.
    std::vector<std::pair<fs::file_time_type, std::string>> kept;
    for (const std::string &entry : contentsOfDirectory(quarantinePath())) {
        std::error_code error;
        kept.emplace_back(fs::last_write_time(entry, error), entry);
    }
    if (kept.size() > kMaxQuarantinedPackages) {
        std::sort(kept.begin(), kept.end());
        for (std::size_t i = 0; i + kMaxQuarantinedPackages < kept.size(); ++i)
            removeItemAtPath(kept[i].second);
    }
    return true;
}

bool FLTFileManager::isRealDirectory(const std::string &path)
{
    struct stat status {
    };
    return lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}
