#pragma once

#include <stdexcept>
#include <string>

// Raised on misconfiguration of the telemetry client (an invalid kit, a missing or malformed
// "Plinth" configuration). The only exception that leaves the client's API, on purpose.
class PLNException : public std::runtime_error
{
public:
    explicit PLNException(const std::string &reason)
        : std::runtime_error(reason)
    {
    }
    static const char *name() { return "PLNException"; }
    std::string reason() const { return what(); }
};
