#pragma once

#include "TLYEvent.h"

#include <nlohmann/json.hpp>

#include <memory>
#include <set>
#include <string>

class TLYCustomEvent;
class TLYPredefinedEvent;

// The Hearth Analytics library's entry point, when a host links it in and registers it. The
// telemetry client ships no such library; without one, forwarding does nothing.
class TLYHearthAnalytics
{
public:
    virtual ~TLYHearthAnalytics() = default;
    virtual void logInternalEventWithOrigin(const std::string &origin, const std::string &name,
                                            const nlohmann::ordered_json &parameters) = 0;

    // The process's Hearth library, as the bridge looks it up; null when none is registered.
    static std::shared_ptr<TLYHearthAnalytics> registered();
    // Registers (or with null, removes) the library. Thread-safe.
    static void registerLibrary(std::shared_ptr<TLYHearthAnalytics> library);
};

// Hands predefined and custom usage events on to Hearth Analytics, translated to Hearth's
// event names and parameter rules (names sanitised, reserved names prefixed, predefined
// parameters mapped and converted). Thread-safe once made.
class TLYHearthAnalyticsBridge
{
public:
    // Uses the registered library.
    TLYHearthAnalyticsBridge();
    explicit TLYHearthAnalyticsBridge(std::shared_ptr<TLYHearthAnalytics> hearthAnalytics);

    bool hasHearthAnalytics() const { return m_hearthAnalytics != nullptr; }
    void logEvent(const TLYEvent &event) const;

    static std::string hearthEventNameForTallyEventName(const std::string &name,
                                                        const nlohmann::ordered_json &predefined);
    static bool shouldUseFailedEventName(const std::string &hearthName,
                                         const nlohmann::ordered_json &predefined);
    static std::string failedEventName(const std::string &hearthName);
    static nlohmann::ordered_json
    hearthEventParametersForPredefinedAttributes(const nlohmann::ordered_json &predefined,
                                                 const nlohmann::ordered_json &custom,
                                                 const std::string &hearthName);
    static nlohmann::ordered_json
    predefinedParametersFromPredefinedAttributes(const nlohmann::ordered_json &predefined,
                                                 const std::string &hearthName);
    static nlohmann::ordered_json
    customParametersFromCustomAttributes(const nlohmann::ordered_json &custom);
    static nlohmann::ordered_json
    combinedParametersFromPredefinedParameters(const nlohmann::ordered_json &predefined,
                                               const nlohmann::ordered_json &custom);
    static bool isFailableEvent(const std::string &hearthName);
    static const std::set<std::string> &hearthReservedKeys();
    static std::string sanitizeKeyName(const std::string &name);
    static std::string sanitizeEventName(const std::string &name);
    static std::string sanitizeAttributeName(const std::string &name);

private:
    void logCustomEvent(const TLYCustomEvent &event) const;
    void logPredefinedEvent(const TLYPredefinedEvent &event) const;

    std::shared_ptr<TLYHearthAnalytics> m_hearthAnalytics;
};
