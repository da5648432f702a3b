#include "AppInfo.h"

#include <filesystem>
#include <mutex>
#include <unistd.h>

namespace tel {

namespace {

struct BundleState {
    std::mutex mutex;
    bool loaded = false;
    std::string folder;
    std::optional<PlistValue> info;
};

BundleState &state()
{
    static BundleState s;
    return s;
}

std::string defaultBundleFolder()
{
    const std::filesystem::path exe(AppInfo::executablePath());
    return (exe.parent_path() / ".." / "share" / "quintora").lexically_normal().string();
}

// Caller holds the mutex.
void loadIfNeeded(BundleState &s)
{
    if (s.loaded)
        return;
    s.loaded = true;
    if (s.folder.empty())
        s.folder = defaultBundleFolder();
    s.info = PlistValue::readFile(s.folder + "/Info.plist");
    if (s.info && !s.info->isDictionary())
        s.info.reset();
}

} // namespace

void AppInfo::setBundleFolder(const std::string &folder)
{
    BundleState &s = state();
    std::lock_guard lock(s.mutex);
    s.folder = folder;
    s.loaded = false;
    loadIfNeeded(s);
}

void AppInfo::setInfoDictionary(std::optional<PlistValue> info)
{
    BundleState &s = state();
    std::lock_guard lock(s.mutex);
    loadIfNeeded(s);
    s.info = std::move(info);
}

std::string AppInfo::bundleFolder()
{
    BundleState &s = state();
    std::lock_guard lock(s.mutex);
    loadIfNeeded(s);
    return s.folder;
}

std::optional<PlistValue> AppInfo::infoDictionary()
{
    BundleState &s = state();
    std::lock_guard lock(s.mutex);
    loadIfNeeded(s);
    return s.info;
}

std::optional<PlistValue> AppInfo::objectForInfoDictionaryKey(const std::string &key)
{
    BundleState &s = state();
    std::lock_guard lock(s.mutex);
    loadIfNeeded(s);
    if (!s.info)
        return std::nullopt;
    if (const PlistValue *value = s.info->find(key))
        return *value;
    return std::nullopt;
}

std::string AppInfo::bundleIdentifier()
{
    const auto id = objectForInfoDictionaryKey("CFBundleIdentifier");
    return id ? id->toString() : std::string();
}

std::optional<std::string> AppInfo::pathForResource(const std::string &name,
                                                    const std::string &type)
{
    std::string path = bundleFolder() + "/" + name;
    if (!type.empty())
        path += "." + type;
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec))
        return path;
    return std::nullopt;
}

std::string AppInfo::executablePath()
{
    char buffer[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return {};
    return std::string(buffer, static_cast<std::size_t>(n));
}

} // namespace tel
