#pragma once

#include "PlistValue.h"

#include <cstdint>
#include <string>

namespace tel {

// An error handed to completion blocks: a domain ("PLNNetworkError", ...), a code and
// information about the failure.
struct TelemetryError {
    std::string domain;
    std::int64_t code = 0;
    PlistValue::Dictionary userInfo;

    bool operator==(const TelemetryError &) const = default;
};

} // namespace tel
