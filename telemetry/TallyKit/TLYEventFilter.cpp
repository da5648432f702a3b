#include "TLYEventFilter.h"

#include "TLYUTF16.h"

#include <set>

bool TLYEventFilter::shouldDiscardEvent(const TLYEvent *event,
                                        const std::optional<std::string> &betaToken,
                                        const std::optional<std::string> &installationID,
                                        std::int64_t factor) const
{
    if (!event)
        return true;
    if (betaToken)
        return false;
    if (!samplingEnabledForEventType(event->name()))
        return false;
    return shouldDiscardEventWithInstallationID(installationID, factor);
}

bool TLYEventFilter::samplingEnabledForEventType(const std::string &name) const
{
    static const std::set<std::string> sampledNames = {
        TLYEventNameAppLaunched,          TLYEventNameAppTerminated,
        TLYEventNameAppCrashed,           TLYEventNameAppMemoryWarning,
        TLYEventNameAppEnteredBackground, TLYEventNameAppEnteredForeground,
        TLYEventNameAppBecameInactive,    TLYEventNameAppBecameActive,
    };
    return sampledNames.count(name) > 0;
}

bool TLYEventFilter::shouldDiscardEventWithInstallationID(
    const std::optional<std::string> &installationID, std::int64_t factor) const
{
    if (!installationID || factor < 2)
        return false;
    const auto hash = static_cast<std::int64_t>(
        static_cast<std::int32_t>(javaHashCodeForString(*installationID)));
    return hash % factor != 0;
}

std::uint32_t TLYEventFilter::javaHashCodeForString(const std::string &text)
{
    std::uint32_t h = 0;
    for (const std::uint16_t unit : tly::utf16Units(text))
        h = h * 31u + unit;
    return h;
}
