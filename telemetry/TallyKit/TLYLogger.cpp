#include "TLYLogger.h"

#include "telemetry/platform/SystemLog.h"

TLYLogger &TLYLogger::sharedLogger()
{
    static TLYLogger *shared = new TLYLogger;
    return *shared;
}

void TLYLogger::log(const std::string &text) const
{
    if (debugMode())
        tel::SystemLog::log("[Tally] " + text);
}

void TLYLogger::logWithLabel(const std::string &label, const std::string &text) const
{
    if (debugMode())
        tel::SystemLog::log("[Tally:" + label + "] " + text);
}
