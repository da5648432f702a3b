#pragma once

#include "telemetry/core/PLNIcon.h"

#include <mutex>
#include <optional>
#include <string>

// Finds the application's icon: the PNG named by the configuration's "CFBundleIconFile" in
// the bundle's resources (its size read from the PNG header, one pixel per point). Fetched
// once and cached. Thread-safe.
class PLNAppIconUtility
{
public:
    std::optional<PLNIcon> applicationIcon();
    static std::optional<PLNIcon> fetchApplicationIcon();
    // PNG bytes of the icon; nothing without a readable PNG.
    static std::optional<std::string> mainAppIcon();
    // An icon from PNG bytes; nothing when they are not a PNG.
    static std::optional<PLNIcon> iconWithPNGData(const std::string &png);

private:
    std::mutex m_mutex;
    bool m_fetched = false;
    std::optional<PLNIcon> m_applicationIcon;
};
