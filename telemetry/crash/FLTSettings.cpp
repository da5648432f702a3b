#include "telemetry/crash/FLTSettings.h"

#include "telemetry/platform/AppInfo.h"
#include "telemetry/platform/PlistValue.h"
#include "telemetry/platform/SystemLog.h"

#include <cctype>
#include <cstdlib>
#include <limits>
#include <map>

namespace {

// No real endpoint ships: an unconfigured build talks to no server (".invalid" never resolves).
const std::map<std::string, std::string> &defaultConfiguration()
{
    static const std::map<std::string, std::string> defaults = {
        {"ReportsEndpoint", "https://reports.faultline.invalid"},
        {"BetaEndpoint", "https://configure.plinth.invalid"},
        {"PackageReports", "1"},
        {"SubmitReports", "1"},
        {"UrgentReports", "1"},
    };
    return defaults;
}

bool configurationBool(const std::string &key)
{
    return FLTSettings::boolValue(FLTSettings::valueForConfigurationKey(key).value_or(""));
}

} // namespace

std::optional<std::string> FLTSettings::valueForConfigurationKey(const std::string &key)
{
    if (const char *value = std::getenv(("Faultline" + key).c_str())) {
        tel::SystemLog::log("[Faultline:Crash] override: '" + key + "' => '" + value + "'");
        return std::string(value);
    }
    if (const auto faultline = tel::AppInfo::objectForInfoDictionaryKey("Faultline")) {
        if (const tel::PlistValue *value = faultline->find(key); value && !value->isNull())
            return value->description();
    }
    const auto &defaults = defaultConfiguration();
    if (const auto it = defaults.find(key); it != defaults.end())
        return it->second;
    return std::nullopt;
}

std::string FLTSettings::reportsEndpoint()
{
    return valueForConfigurationKey("ReportsEndpoint").value_or("");
}

std::string FLTSettings::betaEndpoint()
{
    return valueForConfigurationKey("BetaEndpoint").value_or("");
}

bool FLTSettings::shouldPackageReports()
{
    return configurationBool("PackageReports");
}

bool FLTSettings::shouldSubmitReports()
{
    return configurationBool("SubmitReports");
}

bool FLTSettings::canProcessUrgentReports()
{
    return configurationBool("UrgentReports");
}

bool FLTSettings::boolValue(const std::string &text)
{
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    while (i < text.size() && text[i] == '0')
        ++i;
    if (i >= text.size())
        return false;
    const char c = text[i];
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

const nlohmann::json *FLTSettings::find(const char *section, const char *key) const
{
    if (!m_settingsDictionary || !m_settingsDictionary->is_object())
        return nullptr;
    const auto group = m_settingsDictionary->find(section);
    if (group == m_settingsDictionary->end() || !group->is_object())
        return nullptr;
    const auto value = group->find(key);
    if (value == group->end() || value->is_null())
        return nullptr;
    return &*value;
}

bool FLTSettings::boolSetting(const char *section, const char *key, bool fallback) const
{
    const nlohmann::json *value = find(section, key);
    if (!value)
        return fallback;
    if (value->is_boolean())
        return value->get<bool>();
    if (value->is_number())
        return value->get<double>() != 0;
    if (value->is_string())
        return boolValue(value->get<std::string>());
    return fallback;
}

std::uint32_t FLTSettings::unsignedSetting(const char *section, const char *key,
                                           std::uint32_t fallback) const
{
    const nlohmann::json *value = find(section, key);
    if (!value || !value->is_number())
        return fallback;
    const double number = value->get<double>();
    if (number <= 0)
        return 0;
    if (number >= static_cast<double>(std::numeric_limits<std::uint32_t>::max()))
        return std::numeric_limits<std::uint32_t>::max();
    return static_cast<std::uint32_t>(number);
}

bool FLTSettings::crashReportingEnabled() const
{
    return boolSetting("features", "collect_reports", true);
}

bool FLTSettings::errorReportingEnabled() const
{
    return boolSetting("features", "collect_logged_exceptions", true);
}

bool FLTSettings::userPromptEnabled() const
{
    return boolSetting("features", "prompt_enabled", false);
}

std::uint32_t FLTSettings::logBufferSize() const
{
    return unsignedSetting("session", "log_buffer_size", 65536);
}

std::uint32_t FLTSettings::maxCustomExceptions() const
{
    return unsignedSetting("session", "max_custom_exception_events", 16);
}

std::uint32_t FLTSettings::maxCustomKeys() const
{
    return unsignedSetting("session", "max_custom_key_value_pairs", 16);
}

double FLTSettings::betaSuspendDuration() const
{
    const nlohmann::json *value = find("beta", "update_suspend_duration");
    if (!value || !value->is_number())
        return 3600;
    return value->get<double>();
}

std::string FLTSettings::promptValueForSettingsKey(const std::string &settingsKey,
                                                   const std::string &localizedKey,
                                                   const std::string &defaultValue) const
{
    std::string text = defaultValue;
    if (const nlohmann::json *value = find("prompt", settingsKey.c_str());
        value && value->is_string())
        text = value->get<std::string>();
    // The application's own table, a property list "Faultline.strings" in its bundle, wins.
    const std::string table = tel::AppInfo::bundleFolder() + "/Faultline.strings";
    if (const auto strings = tel::PlistValue::readFile(table)) {
        if (const tel::PlistValue *translated = strings->find(localizedKey);
            translated && translated->isString())
            return translated->toString();
    }
    return text;
}

std::string FLTSettings::interactivePromptTitle() const
{
    return promptValueForSettingsKey("title", "FaultlineCrashSubmissionPromptTitle",
                                     "Send Crash Report?");
}

std::string FLTSettings::interactivePromptMessage() const
{
    return promptValueForSettingsKey(
        "message", "FaultlineCrashSubmissionPromptMessage",
        "Looks like we crashed! Please help us fix the problem by sending a crash report.");
}

std::string FLTSettings::interactivePromptCancelTitle() const
{
    return promptValueForSettingsKey("cancel_button_title", "FaultlineCrashSubmissionCancelTitle",
                                     "Don't Send");
}

std::string FLTSettings::interactivePromptSendTitle() const
{
    return promptValueForSettingsKey("send_button_title", "FaultlineCrashSubmissionSendTitle",
                                     "Send");
}

std::string FLTSettings::interactivePromptAlwaysSendTitle() const
{
    return promptValueForSettingsKey("always_send_button_title",
                                     "FaultlineCrashSubmissionAlwaysSendTitle", "Always Send");
}
