#pragma once

#include <nlohmann/json.hpp>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>

// Event names shared by the events and the analytics controller.
inline constexpr const char *TLYEventNameAppLaunched = "app_launched";
inline constexpr const char *TLYEventNameAppTerminated = "app_terminated";
inline constexpr const char *TLYEventNameAppCrashed = "app_crashed";
inline constexpr const char *TLYEventNameAppMemoryWarning = "app_memory_warning";
inline constexpr const char *TLYEventNameAppEnteredBackground = "app_entered_background";
inline constexpr const char *TLYEventNameAppEnteredForeground = "app_entered_foreground";
inline constexpr const char *TLYEventNameAppBecameInactive = "app_became_inactive";
inline constexpr const char *TLYEventNameAppBecameActive = "app_became_active";
inline constexpr const char *TLYEventNameAppInstalled = "app_installed";
inline constexpr const char *TLYEventNameUnknownNotification = "unknown-notification";
// Keys of the serialised events.
inline constexpr const char *TLYEventIdKey = "eventId";
inline constexpr const char *TLYCustomAttributesKey = "custom_attributes";

using TLYClock = std::chrono::system_clock;

// A usage event: when it happened, a unique identifier (a new UUID string) and its serialised
// form. Immutable once built (a custom event checks its attributes anew at each serialisation);
// safe to share between threads.
class TLYEvent
{
public:
    TLYEvent();
    virtual ~TLYEvent() = default;
    TLYEvent(const TLYEvent &) = delete;
    TLYEvent &operator=(const TLYEvent &) = delete;

    virtual std::string name() const { return "unknown"; }
    virtual TLYClock::time_point timestamp() const { return m_timestamp; }
    // A new UUID string, made on first use (on the analytics queue, not on the recording thread)
    // and fixed from then on.
    const std::string &identifier() const;
    virtual nlohmann::ordered_json dictionaryRepresentation() const
    {
        return nlohmann::ordered_json::object();
    }
    // Whether writing this event rolls the current log over.
    virtual bool triggersFlush() const { return false; }
    virtual std::string description() const;

private:
    TLYClock::time_point m_timestamp;
    mutable std::once_flag m_identifierMade;
    mutable std::string m_identifier;
};

using TLYEventPointer = std::shared_ptr<const TLYEvent>;
