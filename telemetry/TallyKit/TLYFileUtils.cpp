#include "TLYFileUtils.h"

#include "TLYLogger.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

std::set<std::string> TLYFileUtils::allFilesInDirectory(const std::string &directory)
{
    std::set<std::string> files;
    DIR *dir = ::opendir(directory.c_str());
    if (!dir) {
        TLYLogger::sharedLogger().log("Unable to read contents of " + directory + ": "
                                      + std::strerror(errno));
        return files;
    }
    while (const dirent *entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        files.insert(directory + "/" + name);
    }
    ::closedir(dir);
    return files;
}

std::set<std::string> TLYFileUtils::filesWithExtension(const std::string &extension,
                                                       const std::string &directory)
{
    std::set<std::string> files;
    for (const std::string &file : allFilesInDirectory(directory))
        if (pathExtension(file) == extension)
            files.insert(file);
    return files;
}

std::uint64_t TLYFileUtils::fileSizeAtURL(const std::string &path)
{
    struct stat info {
    };
    if (::stat(path.c_str(), &info) != 0)
        return 0;
    return static_cast<std::uint64_t>(info.st_size);
}

std::chrono::system_clock::time_point
TLYFileUtils::fileCreatedDateAtURL(const std::string &path,
                                   std::chrono::system_clock::time_point fallback)
{
    using namespace std::chrono;
    struct statx info {
    };
    if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_MTIME, &info) != 0)
        return fallback;
    const statx_timestamp stamp = (info.stx_mask & STATX_BTIME) ? info.stx_btime : info.stx_mtime;
    return system_clock::time_point(
        duration_cast<system_clock::duration>(seconds(stamp.tv_sec) + nanoseconds(stamp.tv_nsec)));
}

std::chrono::system_clock::time_point
TLYFileUtils::fileModifiedDateAtURL(const std::string &path,
                                    std::chrono::system_clock::time_point fallback)
{
    using namespace std::chrono;
    struct stat info {
    };
    if (::stat(path.c_str(), &info) != 0)
        return fallback;
    return system_clock::time_point(duration_cast<system_clock::duration>(
        seconds(info.st_mtim.tv_sec) + nanoseconds(info.st_mtim.tv_nsec)));
}

std::string TLYFileUtils::lastPathComponent(const std::string &path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string TLYFileUtils::pathExtension(const std::string &path)
{
    const std::string name = lastPathComponent(path);
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0)
        return {};
    return name.substr(dot + 1);
}

std::string TLYFileUtils::baseName(const std::string &path)
{
    const std::string name = lastPathComponent(path);
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0)
        return name;
    return name.substr(0, dot);
}

std::string TLYFileUtils::pathByReplacingExtension(const std::string &path,
                                                   const std::string &extension)
{
    const std::string name = lastPathComponent(path);
    const std::size_t dot = name.find_last_of('.');
    std::string stem = path;
    if (dot != std::string::npos && dot != 0)
        stem = path.substr(0, path.size() - (name.size() - dot));
    return stem + "." + extension;
}

bool TLYFileUtils::isDirectory(const std::string &path)
{
    struct stat info {
    };
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool TLYFileUtils::isRegularFile(const std::string &path)
{
    struct stat info {
    };
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}
