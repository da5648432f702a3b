#include "telemetry/core/PLNAppIconUtility.h"

#include "telemetry/platform/AppInfo.h"

#include <cstdint>
#include <fstream>
#include <sstream>

std::optional<PLNIcon> PLNAppIconUtility::applicationIcon()
{
    std::lock_guard lock(m_mutex);
    if (!m_fetched) {
        m_applicationIcon = fetchApplicationIcon();
        m_fetched = true;
    }
    return m_applicationIcon;
}

std::optional<PLNIcon> PLNAppIconUtility::fetchApplicationIcon()
{
    const auto png = mainAppIcon();
    if (!png)
        return std::nullopt;
    return iconWithPNGData(*png);
}

std::optional<std::string> PLNAppIconUtility::mainAppIcon()
{
    const auto name = tel::AppInfo::objectForInfoDictionaryKey("CFBundleIconFile");
    if (!name || !name->isString() || name->toString().empty())
        return std::nullopt;
    std::string base = name->toString();
    if (base.size() > 4 && base.compare(base.size() - 4, 4, ".png") == 0)
        base.resize(base.size() - 4);
    const auto path = tel::AppInfo::pathForResource(base, "png");
    if (!path)
        return std::nullopt;
    std::ifstream in(*path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::optional<PLNIcon> PLNAppIconUtility::iconWithPNGData(const std::string &png)
{
    static const char kSignature[] = "\x89PNG\r\n\x1a\n";
    if (png.size() < 24 || png.compare(0, 8, kSignature, 8) != 0 || png.compare(12, 4, "IHDR") != 0)
        return std::nullopt;
    auto bigEndian = [&](size_t offset) {
        std::uint32_t value = 0;
        for (size_t i = 0; i < 4; ++i)
            value = (value << 8) | static_cast<unsigned char>(png[offset + i]);
        return value;
    };
    return PLNIcon(png, bigEndian(16), bigEndian(20));
}
