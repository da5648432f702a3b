#pragma once

// A private home folder for a benchmark program: the user's settings, notations and image bank
// are neither read nor changed. The folder is removed when the program exits, after the
// settings singletons have flushed into it (the removal is registered before any of them exists).

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace qnt::bench {

inline std::string &privateHomePath()
{
    static std::string path;
    return path;
}

inline void removePrivateHome()
{
    std::error_code ignored;
    if (!privateHomePath().empty())
        std::filesystem::remove_all(privateHomePath(), ignored);
}

// Call first thing in main, before QApplication and any settings are made.
inline void usePrivateHome()
{
    std::string folder = (std::filesystem::temp_directory_path() / "qnt-bench-XXXXXX").string();
    if (!mkdtemp(folder.data()))
        std::abort();
    privateHomePath() = folder;
    std::atexit(removePrivateHome);
    const std::filesystem::path home(folder);
    setenv("HOME", folder.c_str(), 1);
    setenv("XDG_DATA_HOME", (home / ".local/share").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home / ".cache").c_str(), 1);
}

} // namespace qnt::bench
