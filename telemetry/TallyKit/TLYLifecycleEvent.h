#pragma once

#include "TLYEvent.h"

// An event of the application's life (launched, installed, became active, ...), named at
// creation. Its payload is the event identifier alone.
class TLYLifecycleEvent : public TLYEvent
{
public:
    explicit TLYLifecycleEvent(std::string name);

    static std::shared_ptr<TLYLifecycleEvent> installEvent();
    static std::shared_ptr<TLYLifecycleEvent> appLaunchedEvent();
    // Named after an application notification ("NSApplicationWillTerminateNotification", ...).
    static std::shared_ptr<TLYLifecycleEvent>
    eventWithNotification(const std::string &notification);
    // The lifecycle name of a notification; "unknown-notification" for any other name.
    static std::string nameFromNotification(const std::string &notification);

    std::string name() const override { return m_name; }
    nlohmann::ordered_json dictionaryRepresentation() const override;
    // Yes for "app_became_inactive", "app_became_active" and "app_installed".
    bool triggersFlush() const override;

private:
    std::string m_name;
};
