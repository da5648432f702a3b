#pragma once

#include <functional>
#include <string>

namespace tel {

// Where the telemetry client's diagnostics go: every line carries its bracketed component
// prefix ("[Plinth]", "[Faultline:Crash]", ...), written by the caller. By default a line goes
// to syslog(3) and to standard error; a host or a test may install its own sink.
// Thread-safe; not signal-safe (allocates).
class SystemLog
{
public:
    using Sink = std::function<void(const std::string &line)>;

    // Writes the line.
    static void log(const std::string &line);
    // Writes the line only while the debug flag (the Plinth debug flag) is set.
    static void debug(const std::string &line);

    static void setDebugEnabled(bool enabled);
    static bool isDebugEnabled();

    // Replaces the sink; an empty function restores the default one.
    static void setSink(Sink sink);
};

} // namespace tel
