#pragma once

#include "telemetry/core/FLTURLSessionTask.h"
#include "telemetry/platform/Operation.h"

#include <atomic>
#include <mutex>
#include <optional>
#include <string>

// Base of the core's request operations: the API key and the header fields every request of
// the client carries. The work ends later, when the network client answers; finishWithError
// ends it (once). Thread-safe.
class PLNNetworkOperation : public tel::Operation {
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
    FLTURLRequest mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(const std::string &url) const;
    FLTURLRequest mutableRequestWithDefaultHTTPHeadersForURL(const std::string &url,
                                                             double timeout) const;
    static std::string userAgentString();
    // The user's locale as "language_REGION" (from LC_ALL, LC_MESSAGES or LANG).
    static std::string localeIdentifier();

    bool isAsynchronous() const override { return true; }
    bool isExecuting() const override { return m_isExecuting.load(); }
    bool isFinished() const override { return m_isFinished.load(); }
    void start() override;
    std::optional<FLTError> error() const;

protected:
    explicit PLNNetworkOperation(std::string APIKey) : m_APIKey(std::move(APIKey)) {}
    // Ends the operation with the outcome; later calls do nothing.
    void finishWithError(std::optional<FLTError> error);

private:
    const std::string m_APIKey;
    std::atomic<bool> m_isExecuting{false};
    std::atomic<bool> m_isFinished{false};
    std::atomic<bool> m_finishing{false};
    mutable std::mutex m_errorMutex;
    std::optional<FLTError> m_error;
};
