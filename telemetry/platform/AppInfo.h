#pragma once

#include "PlistValue.h"

#include <optional>
#include <string>

namespace tel {

// The application's "main bundle": its Info.plist-style configuration and its resource folder.
// The folder is <folder of the executable>/../share/quintora unless a host or a test names
// another one; the configuration is the file "Info.plist" in it, read with libplist.
// Thread-safe; answers copies.
class AppInfo
{
public:
    // Uses `folder` as the bundle from now on and reads its Info.plist again.
    static void setBundleFolder(const std::string &folder);
    // Replaces the configuration in memory (tests, hosts without a file). Nothing = no Info.plist.
    static void setInfoDictionary(std::optional<PlistValue> info);

    static std::string bundleFolder();
    // The whole configuration; nothing when there is no readable Info.plist.
    static std::optional<PlistValue> infoDictionary();
    // One top-level key; nothing when absent.
    static std::optional<PlistValue> objectForInfoDictionaryKey(const std::string &key);
    // "CFBundleIdentifier", empty when absent.
    static std::string bundleIdentifier();
    // <bundle>/<name>.<type> when that file exists.
    static std::optional<std::string> pathForResource(const std::string &name,
                                                      const std::string &type);
    // Path of the running executable.
    static std::string executablePath();
};

} // namespace tel
