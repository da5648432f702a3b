#include "TLYEvent.h"

#include "telemetry/core/PLNApplicationInfo.h"

TLYEvent::TLYEvent()
    : m_timestamp(TLYClock::now())
{
}

const std::string &TLYEvent::identifier() const
{
    std::call_once(m_identifierMade, [this] { m_identifier = PLNGenerateUUIDString(); });
    return m_identifier;
}

std::string TLYEvent::description() const
{
    std::string text(1, '<');
    text.append(name()).append(": ").append(identifier()).append(1, '>');
    return text;
}
