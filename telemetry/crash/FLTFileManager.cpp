#include "FLTFileManager.h"

#include "telemetry/platform/AppInfo.h"
#include "telemetry/platform/TelemetryPaths.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

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

bool FLTFileManager::createDirectoryAtPath(const std::string &path) const
{
    std::error_code error;
    fs::create_directories(path, error);
    if (error || !fs::is_directory(path)) {
        fprintf(stderr, "[FileManager] Unable to create directory %s: %s\n", path.c_str(),
                error.message().c_str());
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
