#pragma once

// A report store of the crash kit's own under a temporary Caches folder, for one test, with
// helpers that write report folders the way a crashed launch leaves them.

#include "telemetry/crash/FLTFileManager.h"

#include "common/ScopedEnvironment.h"
#include "tests/telemetry/ScopedAppInfo.h"
#include "telemetry/platform/AppInfo.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

namespace qnt::test {

inline constexpr const char *kStoreBundleIdentifier = "org.quintora.store-test";

inline std::filesystem::path makeTemporaryFolder(const std::string &name)
{
    std::string pattern = (std::filesystem::temp_directory_path() / (name + "-XXXXXX")).string();
    const char *made = mkdtemp(pattern.data());
    return made ? std::filesystem::path(made) : std::filesystem::path();
}

inline void writeFile(const std::filesystem::path &path, const std::string &content)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

inline std::string readWholeFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The three metadata lines of a launch.
inline std::string metadataRecord(const std::string &sessionId, const std::string &apiKey = "k")
{
    std::string identity = "{\"identity\":{\"generator\":\"Faultline Mac SDK/3.9.3\"";
    if (!sessionId.empty())
        identity += ",\"session_id\":\"" + sessionId + "\"";
    if (!apiKey.empty())
        identity += ",\"api_key\":\"" + apiKey + "\"";
    identity += ",\"started_at\":1767225600}}\n";
    return identity
           + "{\"host\":{\"os_display_version\":\"6.1.0\",\"os_build_version\":\"#1 SMP\"}}\n"
             "{\"application\":{\"bundle_id\":\"org.quintora.store-test\",\"build_version\":\"7\","
             "\"display_version\":\"1.7\"}}\n";
}

// A temporary Caches folder with the store for kStoreBundleIdentifier, and that identifier as the
// application's; everything goes again at the end of the test.
class TemporaryStore
{
public:
    TemporaryStore()
        : m_caches(makeTemporaryFolder("flt-store"))
        , m_cacheVariable("XDG_CACHE_HOME", m_caches.string())
    {
        tel::PlistValue::Dictionary info;
        info["CFBundleIdentifier"] = tel::PlistValue(std::string(kStoreBundleIdentifier));
        info["CFBundleVersion"] = tel::PlistValue(std::string("7"));
        info["CFBundleShortVersionString"] = tel::PlistValue(std::string("1.7"));
        tel::AppInfo::setInfoDictionary(tel::PlistValue(info));
        m_manager = std::make_shared<FLTFileManager>(kStoreBundleIdentifier);
        m_manager->prepareForNewLaunch();
    }
    ~TemporaryStore()
    {
        std::error_code error;
        std::filesystem::remove_all(m_caches, error);
    }
    TemporaryStore(const TemporaryStore &) = delete;
    TemporaryStore &operator=(const TemporaryStore &) = delete;

    const std::shared_ptr<FLTFileManager> &manager() const { return m_manager; }
    const std::filesystem::path &caches() const { return m_caches; }

    // A report folder in `stage` (a store folder) with metadata and the given files.
    std::filesystem::path addReport(const std::string &stage, const std::string &name,
                                    const std::map<std::string, std::string> &files,
                                    bool withMetadata = true) const
    {
        const std::filesystem::path folder = std::filesystem::path(stage) / name;
        std::filesystem::create_directories(folder);
        if (withMetadata)
            writeFile(folder / "metadata.fltrecord", metadataRecord(name));
        for (const auto &[file, content] : files)
            writeFile(folder / file, content);
        return folder;
    }

private:
    std::filesystem::path m_caches;
    ScopedAppInfo m_appInfo;
    ScopedEnvironmentVariable m_cacheVariable;
    std::shared_ptr<FLTFileManager> m_manager;
};

} // namespace qnt::test
