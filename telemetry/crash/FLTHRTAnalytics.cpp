#include "FLTHRTAnalytics.h"

#include "telemetry/TallyKit/TLYHearthAnalyticsBridge.h"
#include "telemetry/core/Plinth.h"
#include "telemetry/platform/SystemLog.h"

#include <cmath>
#include <cstdint>

void FLTHRTAnalytics::logCrashWithTimeStamp(double timestamp)
{
    if (!Plinth::sharedSDK().hearthMode())
        return;
    const auto hearth = TLYHearthAnalytics::registered();
    if (!hearth)
        return;
    tel::SystemLog::debug("[Faultline:Crash:Reports:Event] Sending event.");
    hearth->logInternalEventWithOrigin("flx", "_ae", buildLogParamsFromCrash(timestamp));
}

nlohmann::ordered_json FLTHRTAnalytics::buildLogParamsFromCrash(double timestamp)
{
    nlohmann::ordered_json parameters = nlohmann::ordered_json::object();
    // The time comes from a report file: one out of range counts as unknown (0), not as an
    // overflow.
    const double milliseconds = std::round(timestamp * 1000.0);
    const bool inRange = std::isfinite(milliseconds) && std::fabs(milliseconds) < 9.0e18;
    parameters["timestamp"] = inRange ? static_cast<std::int64_t>(milliseconds) : 0;
    parameters["_r"] = 1;
    parameters["fatal"] = 1;
    return parameters;
}
