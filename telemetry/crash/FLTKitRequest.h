#pragma once

#include "telemetry/core/FLTURLSessionTask.h"

#include <optional>
#include <string>

// The request every call of the crash kit to the web service starts from (report uploads and
// the beta update check): the URL, the time-out and the kit's header fields in their order, from
// "User-Agent" to "X-Faultline-API-Key" (left out without a key). Thread-safe; not signal-safe.
class FLTKitRequest
{
public:
    static constexpr const char *kUserAgent = "Faultline Mac SDK/3.9.3";

    static FLTURLRequest requestWithURL(const std::string &url, double timeout,
                                        const std::optional<std::string> &APIKey);
};
