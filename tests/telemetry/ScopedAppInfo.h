#pragma once

#include "telemetry/platform/AppInfo.h"

#include <optional>
#include <string>

namespace qnt::test {

// Puts back the telemetry library's application bundle (its folder and the configuration read
// from it) when it goes, whatever the test set meanwhile with tel::AppInfo.
class ScopedAppInfo
{
public:
    ScopedAppInfo()
        : m_folder(tel::AppInfo::bundleFolder())
        , m_info(tel::AppInfo::infoDictionary())
    {
    }
    ~ScopedAppInfo()
    {
        tel::AppInfo::setBundleFolder(m_folder);
        tel::AppInfo::setInfoDictionary(m_info);
    }
    ScopedAppInfo(const ScopedAppInfo &) = delete;
    ScopedAppInfo &operator=(const ScopedAppInfo &) = delete;

private:
    std::string m_folder;
    std::optional<tel::PlistValue> m_info;
};

} // namespace qnt::test
