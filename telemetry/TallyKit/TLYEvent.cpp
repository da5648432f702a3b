#include "TLYEvent.h"

#include "telemetry/core/PLNApplicationInfo.h"

TLYEvent::TLYEvent()
    : m_timestamp(TLYClock::now())
    , m_identifier(PLNGenerateUUIDString())
{
}

std::string TLYEvent::description() const
{
    std::string text(1, '<');
    text.append(name()).append(": ").append(m_identifier).append(1, '>');
    return text;
}
