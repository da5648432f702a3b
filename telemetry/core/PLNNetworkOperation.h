#pragma once

#include "telemetry/core/FLTURLSessionTask.h"
#include "telemetry/core/PLNAsyncOperation.h"

#include <mutex>
#include <optional>
#include <string>

// Base of the core's request operations: the API key and the header fields every request of
// the client carries. The work ends later, when the network client answers; finish() records
// the outcome and ends the operation (once). Thread-safe.
class PLNNetworkOperation : public PLNAsyncOperation
{
public:
    static constexpr const char *kUserAgentProduct = "io.plinth.sdk.mac";
    static constexpr const char *kClientDisplayVersion = "1.7.2";
    static constexpr const char *kClientBuildVersion = "66";
    // The same fixed token in every request of the client.
    static constexpr const char *kDeveloperToken = "3c9e1a7b5d2f4086ae1b7c3d9f5e2a4b6c8d0e1f";
    static constexpr double kDefaultTimeout = 10.0;

    const std::string &APIKey() const { return m_APIKey; }

    // A request that ignores local caches, with the common header fields and a 10-second
    // time-out.
    FLTURLRequest
    mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(const std::string &url) const;
    FLTURLRequest mutableRequestWithDefaultHTTPHeadersForURL(const std::string &url,
                                                             double timeout) const;
    static std::string userAgentString();
    // The user's locale as "language_REGION" (from LC_ALL, LC_MESSAGES or LANG).
    static std::string localeIdentifier();

    // The outcome (nothing on success or before the end).
    std::optional<tel::TelemetryError> error() const;

protected:
    explicit PLNNetworkOperation(std::string APIKey)
        : m_APIKey(std::move(APIKey))
    {
    }
    std::string className() const override { return "PLNNetworkOperation"; }
    // Records the outcome and ends the operation; later calls do nothing.
    void finish(const std::optional<tel::TelemetryError> &error);

private:
    const std::string m_APIKey;
    mutable std::mutex m_errorMutex;
    bool m_finishing = false;
    std::optional<tel::TelemetryError> m_error;
};
