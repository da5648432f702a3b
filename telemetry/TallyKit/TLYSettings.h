#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>

// Read-only view of the analytics keys of the telemetry settings. Every accessor looks its key
// up afresh and answers a fixed default when the key is absent or of the wrong kind, so a view
// with no dictionary behaves as the defaults. Immutable; thread-safe.
class TLYSettings
{
public:
    static constexpr const char *kDefaultTallyURL =
        "https://analytics.quintora.invalid/spi/v2/events";

    TLYSettings() = default;
    explicit TLYSettings(std::optional<nlohmann::json> settingsDictionary)
        : m_settingsDictionary(std::move(settingsDictionary))
    {
    }

    // Settings are known (a dictionary was given).
    bool valid() const { return m_settingsDictionary.has_value(); }
    const std::optional<nlohmann::json> &settingsDictionary() const { return m_settingsDictionary; }

    bool shouldCollectAnalytics() const;
    bool shouldForwardToHearthAnalytics() const;
    bool shouldIncludePurchaseEventsInForwardedHearthEvents() const;
    std::int64_t maximumPayloadSize() const;
    std::int64_t maxPendingSendFiles() const;
    double flushInterval() const;
    std::int64_t samplingRate() const;
    double defaultUploadTimeout() const;
    double lowPowerUploadTimeout() const;
    std::string tallyURL() const;

private:
    const nlohmann::json *value(const char *section, const char *key) const;
    bool boolean(const char *section, const char *key, bool fallback) const;
    std::int64_t integer(const char *section, const char *key, std::int64_t fallback) const;
    double real(const char *section, const char *key, double fallback) const;

    std::optional<nlohmann::json> m_settingsDictionary;
};
