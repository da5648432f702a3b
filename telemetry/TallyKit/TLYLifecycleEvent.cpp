#include "TLYLifecycleEvent.h"

#include <map>

TLYLifecycleEvent::TLYLifecycleEvent(std::string name)
    : m_name(std::move(name))
{
}

std::shared_ptr<TLYLifecycleEvent> TLYLifecycleEvent::installEvent()
{
    return std::make_shared<TLYLifecycleEvent>(TLYEventNameAppInstalled);
}

std::shared_ptr<TLYLifecycleEvent> TLYLifecycleEvent::appLaunchedEvent()
{
    return std::make_shared<TLYLifecycleEvent>(TLYEventNameAppLaunched);
}

std::shared_ptr<TLYLifecycleEvent>
TLYLifecycleEvent::eventWithNotification(const std::string &notification)
{
    return std::make_shared<TLYLifecycleEvent>(nameFromNotification(notification));
}

std::string TLYLifecycleEvent::nameFromNotification(const std::string &notification)
{
    static const std::map<std::string, std::string> notificationNameMap = {
        {"NSApplicationWillTerminateNotification", TLYEventNameAppTerminated},
        {"NSApplicationWillResignActiveNotification", TLYEventNameAppBecameInactive},
        {"NSApplicationDidBecomeActiveNotification", TLYEventNameAppBecameActive},
    };
    const auto it = notificationNameMap.find(notification);
    return it == notificationNameMap.end() ? TLYEventNameUnknownNotification : it->second;
}

nlohmann::ordered_json TLYLifecycleEvent::dictionaryRepresentation() const
{
    return {{TLYEventIdKey, identifier()}};
}

bool TLYLifecycleEvent::triggersFlush() const
{
    return m_name == TLYEventNameAppBecameInactive || m_name == TLYEventNameAppBecameActive
           || m_name == TLYEventNameAppInstalled;
}
