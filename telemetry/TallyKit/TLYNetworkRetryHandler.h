#pragma once

#include "TLYBackoffTimer.h"

#include "telemetry/core/FLTURLSessionDelegate.h"
#include "telemetry/core/PLNCertificatePinner.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

// Retry decisions for analytics uploads: the network client's response rules decide whether a
// failure is worth retrying; each package (identifier) then has its own back-off timer, and
// after `maxRetries` retries the package's failures are final (error -6). Also answers the
// uploads' server-trust challenges by pinning. Thread-safe.
class TLYNetworkRetryHandler
{
public:
    using Completion = std::function<void(bool retry, std::optional<tel::TelemetryError> error)>;

    static constexpr const char *kIdentifierKey = "TLYNetworkRetryHandlerIdentifier";
    static constexpr std::uint64_t kDefaultMaxRetries = 10;
    enum : std::int64_t { ErrorRetriesUsedUp = -6, ErrorNoIdentifier = -7 };

    TLYNetworkRetryHandler();

    // Where the waits run (tests); by default the client's timer thread.
    void setScheduler(TLYBackoffTimer::Scheduler scheduler);

    FLTURLSessionAuthChallengeDisposition handleChallenge(FLTURLAuthenticationChallenge &challenge);

    // The completion runs once: at once for a final outcome, after the package's next wait for a
    // retry (then on the timer thread).
    void handleCompletedRequest(const FLTURLRequest &request,
                                const std::optional<FLTHTTPURLResponse> &response,
                                const std::optional<std::string> &identifier,
                                const std::optional<tel::TelemetryError> &error,
                                Completion completion);
    void handleCompletedRequest(const FLTURLRequest &request,
                                const std::optional<FLTHTTPURLResponse> &response,
                                const std::optional<std::string> &identifier,
                                std::uint64_t maxRetries,
                                const std::optional<tel::TelemetryError> &error,
                                Completion completion);

    // Forgets a package's timer once it has gone through, so a later failure starts afresh.
    void resetIdentifier(const std::string &identifier);
    std::shared_ptr<TLYBackoffTimer>
    timerForIdentifier(const std::optional<std::string> &identifier, double initialRetryValue);

private:
    static tel::TelemetryError errorWithCode(std::int64_t code,
                                             const std::optional<std::string> &identifier,
                                             const FLTURLRequest &request);

    std::unique_ptr<PLNCertificatePinner> m_certPinner;
    std::mutex m_mutex;
    std::map<std::string, std::shared_ptr<TLYBackoffTimer>> m_retryTimerMap;
    TLYBackoffTimer::Scheduler m_scheduler;
};
