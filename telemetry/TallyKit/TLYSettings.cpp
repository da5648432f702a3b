#include "TLYSettings.h"

#include <cmath>
#include <limits>

const nlohmann::json *TLYSettings::value(const char *section, const char *key) const
{
    if (!m_settingsDictionary || !m_settingsDictionary->is_object())
        return nullptr;
    const auto sectionIt = m_settingsDictionary->find(section);
    if (sectionIt == m_settingsDictionary->end() || !sectionIt->is_object())
        return nullptr;
    const auto it = sectionIt->find(key);
    if (it == sectionIt->end() || it->is_null())
        return nullptr;
    return &*it;
}

bool TLYSettings::boolean(const char *section, const char *key, bool fallback) const
{
    const nlohmann::json *v = value(section, key);
    if (!v)
        return fallback;
    if (v->is_boolean())
        return v->get<bool>();
    if (v->is_number())
        return v->get<double>() != 0;
    if (v->is_string()) {
        const std::string s = v->get<std::string>();
        return s == "true" || s == "YES" || s == "yes" || s == "1";
    }
    return fallback;
}

std::int64_t TLYSettings::integer(const char *section, const char *key, std::int64_t fallback) const
{
    const nlohmann::json *v = value(section, key);
    if (!v)
        return fallback;
    if (v->is_number_integer())
        return v->get<std::int64_t>();
    if (v->is_number_float()) {
        const double d = v->get<double>();
        if (std::isnan(d))
            return fallback;
        if (d >= 9.2e18)
            return std::numeric_limits<std::int64_t>::max();
        if (d <= -9.2e18)
            return std::numeric_limits<std::int64_t>::min();
        return static_cast<std::int64_t>(d);
    }
    if (v->is_boolean())
        return v->get<bool>() ? 1 : 0;
    return fallback;
}

double TLYSettings::real(const char *section, const char *key, double fallback) const
{
    const nlohmann::json *v = value(section, key);
    if (!v || !v->is_number())
        return fallback;
    const double d = v->get<double>();
    return std::isnan(d) ? fallback : d;
}

bool TLYSettings::shouldCollectAnalytics() const
{
    return boolean("features", "collect_analytics", true);
}

bool TLYSettings::shouldForwardToHearthAnalytics() const
{
    return boolean("analytics", "forward_to_beacon_analytics", false);
}

bool TLYSettings::shouldIncludePurchaseEventsInForwardedHearthEvents() const
{
    return boolean("analytics", "include_purchase_events_in_forwarded_events", false);
}

std::int64_t TLYSettings::maximumPayloadSize() const
{
    return integer("analytics", "max_byte_size_per_file", 8000);
}

std::int64_t TLYSettings::maxPendingSendFiles() const
{
    return integer("analytics", "max_pending_send_file_count", 100);
}

double TLYSettings::flushInterval() const
{
    return real("analytics", "flush_interval_secs", 0.0);
}

std::int64_t TLYSettings::samplingRate() const
{
    return integer("analytics", "sampling_rate", 1);
}

double TLYSettings::defaultUploadTimeout() const
{
    return real("analytics", "upload_timeout_secs", 21600.0);
}

double TLYSettings::lowPowerUploadTimeout() const
{
    return real("analytics", "low_power_upload_timeout_secs", 3600.0);
}

std::string TLYSettings::tallyURL() const
{
    const nlohmann::json *v = value("analytics", "url");
    if (v && v->is_string() && !v->get<std::string>().empty())
        return v->get<std::string>();
    return kDefaultTallyURL;
}
