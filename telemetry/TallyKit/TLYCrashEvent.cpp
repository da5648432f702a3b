#include "TLYCrashEvent.h"

TLYCrashEvent::TLYCrashEvent(TLYClock::time_point crashTimestamp, std::uint64_t crashState)
    : m_crashTimestamp(crashTimestamp)
    , m_crashState(crashState)
{
}

nlohmann::ordered_json TLYCrashEvent::dictionaryRepresentation() const
{
    const char *state = m_crashState == 1   ? "foreground"
                        : m_crashState == 2 ? "background"
                                            : "unknown";
    return {{TLYEventIdKey, identifier()}, {"crash_state", state}};
}
