#pragma once

#include <chrono>
#include <cstdint>
#include <set>
#include <string>

// File helpers of the analytics pipeline. Paths are plain strings; sets are sorted by path.
// Thread-safe (stateless).
class TLYFileUtils
{
public:
    // The folder's entries, not recursive; empty (with a log line) when it cannot be read.
    static std::set<std::string> allFilesInDirectory(const std::string &directory);
    // Those whose extension equals `extension` exactly.
    static std::set<std::string> filesWithExtension(const std::string &extension,
                                                    const std::string &directory);
    // Bytes; 0 when the file cannot be examined.
    static std::uint64_t fileSizeAtURL(const std::string &path);
    // The birth time where the file system keeps one, else the modification time; `fallback`
    // when the file cannot be examined.
    static std::chrono::system_clock::time_point
    fileCreatedDateAtURL(const std::string &path, std::chrono::system_clock::time_point fallback);

    // The modification time; `fallback` when the file cannot be examined.
    static std::chrono::system_clock::time_point
    fileModifiedDateAtURL(const std::string &path, std::chrono::system_clock::time_point fallback);

    // The last path component.
    static std::string lastPathComponent(const std::string &path);
    // The extension of the last component ("log" of "A.log"); empty when there is none.
    static std::string pathExtension(const std::string &path);
    // The last component without its extension.
    static std::string baseName(const std::string &path);
    // The path with its extension replaced (or added).
    static std::string pathByReplacingExtension(const std::string &path,
                                                const std::string &extension);
    static bool isDirectory(const std::string &path);
    static bool isRegularFile(const std::string &path);
};
