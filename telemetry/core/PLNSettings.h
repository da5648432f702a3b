#pragma once

#include <nlohmann/json.hpp>

#include <mutex>
#include <optional>
#include <string>

// The downloaded telemetry settings ("settings.json"), read lazily and cached. A file that is
// not a JSON object is deleted on the first read. Thread-safe.
class PLNSettings
{
public:
    explicit PLNSettings(std::string settingsPath);

    const std::string &settingsPath() const { return m_settingsPath; }
    // The settings object; nothing when there is no readable file (nothing is cached then, so
    // a later call reads again).
    std::optional<nlohmann::json> settingsDictionary();
    void clearSettingsDictionary();

    // The "app" section unless missing or null.
    std::optional<nlohmann::json> appSettings();
    std::optional<std::string> appStatus();
    bool appNeedsOnboarding();
    bool appUpdateRequired();

    static std::string appBundleIdentifier();
    static std::string appPlatform() { return "mac"; }
    static std::string appBuildVersion();
    static std::string appDisplayVersion();
    static int appSource();
    // <endpoint>/spi/v2/platforms/mac/apps/<escaped bundle id>/settings with the query
    // build_version, display_version, instance, icon_hash, source (missing values left out).
    static std::string
    settingsURLForEndpoint(const std::string &endpoint,
                           const std::optional<std::string> &appInstanceIdentifer,
                           const std::optional<std::string> &appIconHash);

    // Whether a downloaded body may become the settings: a JSON object.
    static bool isValidSettingsBody(const std::string &body);

private:
    const std::string m_settingsPath;
    std::mutex m_mutex;
    std::optional<nlohmann::json> m_settingsDictionary;
};
