#pragma once

#include "TLYEvent.h"

#include <cstdint>
#include <optional>
#include <string>

// Sampling of lifecycle events: with a factor N above 1, an installation keeps all or none of
// its sampled events, by the remainder of its identifier's Java-style hash divided by N.
// Predefined, custom and install events are never sampled; a beta tester keeps everything.
// Stateless and thread-safe.
class TLYEventFilter
{
public:
    // Yes to discard; a null event is discarded.
    bool shouldDiscardEvent(const TLYEvent *event, const std::optional<std::string> &betaToken,
                            const std::optional<std::string> &installationID,
                            std::int64_t factor) const;
    bool samplingEnabledForEventType(const std::string &name) const;
    bool shouldDiscardEventWithInstallationID(const std::optional<std::string> &installationID,
                                              std::int64_t factor) const;
    // h = h * 31 + unit over the text's UTF-16 units, modulo 2^32.
    static std::uint32_t javaHashCodeForString(const std::string &text);
};
