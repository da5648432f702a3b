#pragma once

#include "telemetry/core/FLTURLSession.h"
#include "telemetry/core/PLNCertificatePinner.h"
#include "telemetry/core/PLNNetworkResponseHandler.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

// Runs the telemetry client's requests with retries and exponential back-off. With pinned
// certificates every connection of its session is pinned to them; made without any, the
// system's certificate authorities decide. The debug flag never changes that.
//
// Each call chain ends in exactly one call of its completion block: success, the response
// handler's final error, PLNNetworkErrorNoTask or PLNNetworkErrorRetryLimitReached. Blocks
// run on the session's thread or, after a back-off wait, on the scheduler's thread.
// Thread-safe. A retry holds the client until its delayed attempt has started.
class PLNNetworkClient : public std::enable_shared_from_this<PLNNetworkClient>
{
public:
    using DataCompletion = FLTURLSessionTask::DataCompletion;
    using DownloadCompletion = FLTURLSessionTask::DownloadCompletion;
    // Runs `work` after `seconds` on some thread; tests put a scaled clock here.
    using Scheduler = std::function<void(double seconds, std::function<void()> work)>;
    // Uniform in [0, 1).
    using RandomSource = std::function<double()>;

    static constexpr unsigned kDefaultRetryLimit = 10;
    // Our own back-off grows to at most an hour; a server's Retry-After is honoured up to a day.
    static constexpr double kMaximumDelay = 3600.0;
    static constexpr double kMaximumRetryAfter = 86400.0;

    // No certificates: no pinner. Given certificates (even none): every connection is pinned
    // to them. Nullptr when no session could be made.
    static std::shared_ptr<PLNNetworkClient>
    create(std::optional<std::vector<PLNCertificate>> pinnedCertificates = std::nullopt);
    static std::shared_ptr<PLNNetworkClient>
    create(const std::optional<FLTURLSessionConfiguration> &configuration,
           std::optional<std::vector<PLNCertificate>> pinnedCertificates);
    ~PLNNetworkClient();
    PLNNetworkClient(const PLNNetworkClient &) = delete;
    PLNNetworkClient &operator=(const PLNNetworkClient &) = delete;

    void startDataTaskWithRequest(const FLTURLRequest &request, DataCompletion completionHandler);
    void startDataTaskWithRequest(const FLTURLRequest &request, unsigned retryLimit,
                                  DataCompletion completionHandler);
    void startDataTaskWithRequest(const FLTURLRequest &request, unsigned retryLimit, unsigned tries,
                                  DataCompletion completionHandler);
    // The block gets the downloaded file, which is removed once the block returns.
    void startDownloadTaskWithRequest(const FLTURLRequest &request,
                                      DownloadCompletion completionHandler);
    void startDownloadTaskWithRequest(const FLTURLRequest &request, unsigned retryLimit,
                                      DownloadCompletion completionHandler);
    void startDownloadTaskWithRequest(const FLTURLRequest &request, unsigned retryLimit,
                                      unsigned tries, DownloadCompletion completionHandler);

    // Cancels the running tasks (each completes with its cancellation, not retried); later
    // requests fail with PLNNetworkErrorNoTask.
    void invalidateAndCancel();

    // Seconds before the next attempt after `retryCount` tries (0 counts as 1):
    // max(Retry-After, min(2 s x 2^(n-1) with +/-10 % jitter, one hour)). The jitter never takes
    // a wait below the server's Retry-After, which counts up to a day.
    double computeDelayForResponse(const std::optional<FLTHTTPURLResponse> &response,
                                   unsigned retryCount) const;
    double generateRandomJitter() const;
    double randomDoubleWithMin(double min, double max) const;
    void runAfterRetryValueFromResponse(const std::optional<FLTHTTPURLResponse> &response,
                                        unsigned attempts, std::function<void()> block);

    FLTURLSession *session() const { return m_session.get(); }
    const PLNCertificatePinner *certPinner() const { return m_certPinner.get(); }

    void setScheduler(Scheduler scheduler);
    void setRandomSource(RandomSource source);

private:
    PLNNetworkClient() = default;

    std::shared_ptr<PLNCertificatePinner> m_certPinner;
    std::unique_ptr<FLTURLSession> m_session;
    mutable std::mutex m_mutex;
    Scheduler m_scheduler;
    RandomSource m_randomSource;
};
