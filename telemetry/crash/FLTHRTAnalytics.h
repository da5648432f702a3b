#pragma once

#include <nlohmann/json.hpp>

// Tells Hearth Analytics that a fatal crash was reported: when the telemetry client runs in
// Hearth mode and the host registered a Hearth library (TLYHearthAnalytics), one internal event
// "_ae" of origin "flx" goes to it. Otherwise nothing happens. Thread-safe; not signal-safe.
class FLTHRTAnalytics
{
public:
    // `timestamp` is the crash time in seconds since 1970.
    static void logCrashWithTimeStamp(double timestamp);
    // The event's parameters: the time in whole milliseconds (rounded), "_r" and "fatal" 1.
    static nlohmann::ordered_json buildLogParamsFromCrash(double timestamp);
};
