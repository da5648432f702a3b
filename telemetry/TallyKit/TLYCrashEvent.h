#pragma once

#include "TLYEvent.h"

#include <cstdint>

// The previous launch's crash, dated with the crash time. State 1 is foreground, 2 background,
// anything else unknown.
class TLYCrashEvent : public TLYEvent
{
public:
    TLYCrashEvent(TLYClock::time_point crashTimestamp, std::uint64_t crashState);

    std::string name() const override { return TLYEventNameAppCrashed; }
    TLYClock::time_point timestamp() const override { return m_crashTimestamp; }
    std::uint64_t crashState() const { return m_crashState; }
    nlohmann::ordered_json dictionaryRepresentation() const override;

private:
    TLYClock::time_point m_crashTimestamp;
    std::uint64_t m_crashState;
};
