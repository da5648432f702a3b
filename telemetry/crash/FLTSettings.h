#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>

// The crash kit's read-only view of the downloaded settings, with built-in defaults, and of
// its own configuration keys (endpoints and reporting switches), which the environment
// ("Faultline" + key) and then the configuration's "Faultline" entry override.
// Not signal-safe (allocates). Thread-safe.
class FLTSettings
{
public:
    explicit FLTSettings(std::optional<nlohmann::json> settingsDictionary)
        : m_settingsDictionary(std::move(settingsDictionary))
    {
    }

    const std::optional<nlohmann::json> &settingsDictionary() const { return m_settingsDictionary; }

    // The first of: the environment variable "Faultline<key>" (logged each time it is read),
    // the key in the configuration's "Faultline" dictionary, the built-in default.
    static std::optional<std::string> valueForConfigurationKey(const std::string &key);
    // Scheme and host of the endpoints.
    static std::string reportsEndpoint();
    static std::string betaEndpoint();
    static bool shouldPackageReports();
    static bool shouldSubmitReports();
    static bool canProcessUrgentReports();
    // "YES", "true", "1" and other non-zero numbers are true; "0", "NO" and "" false.
    static bool boolValue(const std::string &text);

    bool crashReportingEnabled() const;
    bool errorReportingEnabled() const;
    bool customExceptionsEnabled() const { return errorReportingEnabled(); }
    bool userPromptEnabled() const;
    std::uint32_t logBufferSize() const;
    std::uint32_t errorLogBufferSize() const { return logBufferSize(); }
    std::uint32_t maxCustomExceptions() const;
    std::uint32_t maxCustomKeys() const;
    double betaSuspendDuration() const;

    std::string interactivePromptTitle() const;
    std::string interactivePromptMessage() const;
    std::string interactivePromptCancelTitle() const;
    std::string interactivePromptSendTitle() const;
    std::string interactivePromptAlwaysSendTitle() const;
    // The server's text under "prompt" (else the default), then the application's own
    // translation of the localisation key in its "Faultline" strings table, when it has one.
    std::string promptValueForSettingsKey(const std::string &settingsKey,
                                          const std::string &localizedKey,
                                          const std::string &defaultValue) const;

private:
    const nlohmann::json *find(const char *section, const char *key) const;
    bool boolSetting(const char *section, const char *key, bool fallback) const;
    std::uint32_t unsignedSetting(const char *section, const char *key,
                                  std::uint32_t fallback) const;

    std::optional<nlohmann::json> m_settingsDictionary;
};
