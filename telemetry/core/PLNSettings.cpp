#include "telemetry/core/PLNSettings.h"

#include "telemetry/core/PLNApplicationInfo.h"
#include "telemetry/core/PLNURLBuilder.h"
#include "telemetry/platform/SystemLog.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::optional<std::string> nonEmpty(std::string text)
{
    if (text.empty())
        return std::nullopt;
    return text;
}

} // namespace

PLNSettings::PLNSettings(std::string settingsPath)
    : m_settingsPath(std::move(settingsPath))
{
}

std::optional<nlohmann::json> PLNSettings::settingsDictionary()
{
    std::lock_guard lock(m_mutex);
    if (m_settingsDictionary)
        return m_settingsDictionary;
    std::ifstream in(m_settingsPath, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    in.close();
    nlohmann::json parsed = nlohmann::json::parse(bytes.str(), nullptr, false);
    if (parsed.is_discarded() || !parsed.is_object()) {
        const std::string reason = parsed.is_discarded() ? "The data is not valid JSON."
                                                         : "The settings are not a JSON object.";
        tel::SystemLog::log("[Plinth] Could not load settings with error: " + reason);
        std::error_code ignored;
        std::filesystem::remove(m_settingsPath, ignored);
        return std::nullopt;
    }
    m_settingsDictionary = std::move(parsed);
    return m_settingsDictionary;
}

void PLNSettings::clearSettingsDictionary()
{
    std::lock_guard lock(m_mutex);
    m_settingsDictionary.reset();
}

std::optional<nlohmann::json> PLNSettings::appSettings()
{
    const auto settings = settingsDictionary();
    if (!settings)
        return std::nullopt;
    const auto it = settings->find("app");
    if (it == settings->end() || it->is_null())
        return std::nullopt;
    return *it;
}

std::optional<std::string> PLNSettings::appStatus()
{
    const auto app = appSettings();
    if (!app || !app->is_object())
        return std::nullopt;
    const auto it = app->find("status");
    if (it == app->end() || !it->is_string())
        return std::nullopt;
    return it->get<std::string>();
}

bool PLNSettings::appNeedsOnboarding()
{
    return appStatus() == "new";
}

bool PLNSettings::appUpdateRequired()
{
    const auto app = appSettings();
    if (!app || !app->is_object())
        return false;
    const auto it = app->find("update_required");
    if (it == app->end())
        return false;
    if (it->is_boolean())
        return it->get<bool>();
    if (it->is_number())
        return it->get<double>() != 0;
    return false;
}

std::string PLNSettings::appBundleIdentifier()
{
    return PLNApplicationEscapedBundleIdentifier();
}

std::string PLNSettings::appBuildVersion()
{
    return PLNApplicationBuildVersion();
}

std::string PLNSettings::appDisplayVersion()
{
    return PLNApplicationDisplayVersion();
}

int PLNSettings::appSource()
{
    return PLNApplicationInstallSource();
}

std::string
PLNSettings::settingsURLForEndpoint(const std::string &endpoint,
                                    const std::optional<std::string> &appInstanceIdentifer,
                                    const std::optional<std::string> &appIconHash)
{
    PLNURLBuilder builder = PLNURLBuilder::URLWithBase(endpoint);
    builder.appendComponent("/spi/v2/platforms/");
    builder.escapeAndAppendComponent(appPlatform());
    builder.appendComponent("/apps/");
    builder.escapeAndAppendComponent(appBundleIdentifier());
    builder.appendComponent("/settings");
    builder.appendValue(nonEmpty(appBuildVersion()), "build_version");
    builder.appendValue(nonEmpty(appDisplayVersion()), "display_version");
    builder.appendValue(appInstanceIdentifer && !appInstanceIdentifer->empty()
                            ? appInstanceIdentifer
                            : std::nullopt,
                        "instance");
    builder.appendValue(appIconHash && !appIconHash->empty() ? appIconHash : std::nullopt,
                        "icon_hash");
    builder.appendValue(appSource(), "source");
    return builder.URL();
}

bool PLNSettings::isValidSettingsBody(const std::string &body)
{
    const nlohmann::json parsed = nlohmann::json::parse(body, nullptr, false);
    return !parsed.is_discarded() && parsed.is_object();
}
