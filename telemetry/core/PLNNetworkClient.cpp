#include "telemetry/core/PLNNetworkClient.h"
#include "telemetry/platform/ExitGate.h"
#include "telemetry/platform/ThreadStartHook.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <random>
#include <thread>

namespace {

// Pins every connection of the client's session, or leaves trust to the system's
// certificate authorities when the client was made without certificates.
class PinningSessionDelegate : public FLTURLSessionDelegate
{
public:
    explicit PinningSessionDelegate(std::shared_ptr<PLNCertificatePinner> pinner)
        : m_pinner(std::move(pinner))
    {
    }

    FLTURLSessionAuthChallengeDisposition
    URLSessionDidReceiveChallenge(FLTURLSession *,
                                  FLTURLAuthenticationChallenge &challenge) override
    {
        if (!m_pinner)
            return FLTURLSessionAuthChallengeDisposition::TrustSystemAuthorities;
        return m_pinner->handleChallenge(challenge)
                   ? FLTURLSessionAuthChallengeDisposition::UseCredential
                   : FLTURLSessionAuthChallengeDisposition::CancelAuthenticationChallenge;
    }

private:
    std::shared_ptr<PLNCertificatePinner> m_pinner;
};

void defaultScheduler(double seconds, std::function<void()> work)
{
    std::thread([seconds, work = std::move(work)] {
        tel::ThreadStartHook::prepareCurrentThread();
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        const tel::ExitGate::Pass pass;
        work();
    }).detach();
}

double defaultRandom()
{
    static std::mutex mutex;
    static std::mt19937_64 engine{std::random_device{}()};
    std::lock_guard lock(mutex);
    return std::uniform_real_distribution<double>(0.0, 1.0)(engine);
}

} // namespace

std::shared_ptr<PLNNetworkClient>
PLNNetworkClient::create(std::optional<std::vector<PLNCertificate>> pinnedCertificates)
{
    return create(FLTURLSessionConfiguration::defaultSessionConfiguration(),
                  std::move(pinnedCertificates));
}

std::shared_ptr<PLNNetworkClient>
PLNNetworkClient::create(const std::optional<FLTURLSessionConfiguration> &configuration,
                         std::optional<std::vector<PLNCertificate>> pinnedCertificates)
{
    std::shared_ptr<PLNNetworkClient> client(new PLNNetworkClient());
    if (pinnedCertificates)
        client->m_certPinner =
            std::make_shared<PLNCertificatePinner>(std::move(*pinnedCertificates));
    client->m_session = FLTURLSession::sessionWithConfiguration(
        configuration, std::make_shared<PinningSessionDelegate>(client->m_certPinner));
    if (!client->m_session)
        return nullptr;
    return client;
}

PLNNetworkClient::~PLNNetworkClient()
{
    if (m_session)
        m_session->finishTasksAndInvalidate();
}

void PLNNetworkClient::startDataTaskWithRequest(const FLTURLRequest &request,
                                                DataCompletion completionHandler)
{
    startDataTaskWithRequest(request, kDefaultRetryLimit, std::move(completionHandler));
}

void PLNNetworkClient::startDataTaskWithRequest(const FLTURLRequest &request, unsigned retryLimit,
                                                DataCompletion completionHandler)
{
    startDataTaskWithRequest(request, retryLimit, 0, std::move(completionHandler));
}

void PLNNetworkClient::startDataTaskWithRequest(const FLTURLRequest &request, unsigned retryLimit,
                                                unsigned tries, DataCompletion completionHandler)
{
    auto self = shared_from_this();
    auto task = m_session->dataTaskWithRequest(
        request, [self, request, retryLimit, tries, completionHandler](
                     std::optional<std::string> data, std::optional<FLTHTTPURLResponse> response,
                     std::optional<tel::TelemetryError> error) {
            PLNNetworkResponseHandler::handleCompletedResponse(
                response, request, error,
                [&](bool retry, std::optional<tel::TelemetryError> finalError) {
                    if (!retry) {
                        completionHandler(std::move(data), response, std::move(finalError));
                        return;
                    }
                    if (tries >= retryLimit) {
                        completionHandler(
                            std::nullopt, std::nullopt,
                            PLNNetworkResponseHandler::errorForCode(
                                PLNNetworkErrorRetryLimitReached,
                                {{"retryLimit", static_cast<std::int64_t>(retryLimit)},
                                 {kFLTURLErrorFailingURLStringErrorKey, request.URL}}));
                        return;
                    }
                    self->runAfterRetryValueFromResponse(response, tries, [=] {
                        self->startDataTaskWithRequest(request, retryLimit, tries + 1,
                                                       completionHandler);
                    });
                });
        });
    if (!task) {
        completionHandler(std::nullopt, std::nullopt,
                          PLNNetworkResponseHandler::errorForCode(PLNNetworkErrorNoTask));
        return;
    }
    task->resume();
}

void PLNNetworkClient::startDownloadTaskWithRequest(const FLTURLRequest &request,
                                                    DownloadCompletion completionHandler)
{
    startDownloadTaskWithRequest(request, kDefaultRetryLimit, std::move(completionHandler));
}

void PLNNetworkClient::startDownloadTaskWithRequest(const FLTURLRequest &request,
                                                    unsigned retryLimit,
                                                    DownloadCompletion completionHandler)
{
    startDownloadTaskWithRequest(request, retryLimit, 0, std::move(completionHandler));
}

void PLNNetworkClient::startDownloadTaskWithRequest(const FLTURLRequest &request,
                                                    unsigned retryLimit, unsigned tries,
                                                    DownloadCompletion completionHandler)
{
    auto self = shared_from_this();
    auto task = m_session->downloadTaskWithRequest(
        request, [self, request, retryLimit, tries,
                  completionHandler](std::optional<std::string> location,
                                     std::optional<FLTHTTPURLResponse> response,
                                     std::optional<tel::TelemetryError> error) {
            PLNNetworkResponseHandler::handleCompletedResponse(
                response, request, error,
                [&](bool retry, std::optional<tel::TelemetryError> finalError) {
                    if (!retry) {
                        completionHandler(finalError ? std::nullopt : location, response,
                                          std::move(finalError));
                        return;
                    }
                    if (tries >= retryLimit) {
                        completionHandler(
                            std::nullopt, std::nullopt,
                            PLNNetworkResponseHandler::errorForCode(
                                PLNNetworkErrorRetryLimitReached,
                                {{"retryLimit", static_cast<std::int64_t>(retryLimit)},
                                 {kFLTURLErrorFailingURLStringErrorKey, request.URL}}));
                        return;
                    }
                    self->runAfterRetryValueFromResponse(response, tries, [=] {
                        self->startDownloadTaskWithRequest(request, retryLimit, tries + 1,
                                                           completionHandler);
                    });
                });
        });
    if (!task) {
        completionHandler(std::nullopt, std::nullopt,
                          PLNNetworkResponseHandler::errorForCode(PLNNetworkErrorNoTask));
        return;
    }
    task->resume();
}

void PLNNetworkClient::invalidateAndCancel()
{
    m_session->invalidateAndCancel();
}

double PLNNetworkClient::computeDelayForResponse(const std::optional<FLTHTTPURLResponse> &response,
                                                 unsigned retryCount) const
{
    const unsigned n = std::max(1u, retryCount);
    // Our own growth, base 2, jittered and capped.
    const double exponential = 2.0 * std::pow(2.0, static_cast<double>(n - 1));
    double delay = std::min(exponential * generateRandomJitter(), kMaximumDelay);
    if (std::isnan(delay))
        delay = kMaximumDelay;
    // A server's Retry-After is the least wait it asks for: the jitter never takes a wait below
    // it. Only a value beyond any sensible wait is held to a day.
    if (!PLNNetworkResponseHandler::headerForResponse(response, "Retry-After"))
        return delay;
    double retryAfter = PLNNetworkResponseHandler::retryValueForResponse(response);
    if (std::isnan(retryAfter) || retryAfter > kMaximumRetryAfter)
        retryAfter = kMaximumRetryAfter;
    return std::max(delay, retryAfter);
}

double PLNNetworkClient::generateRandomJitter() const
{
    return randomDoubleWithMin(static_cast<double>(0.9f), static_cast<double>(1.1f));
}

double PLNNetworkClient::randomDoubleWithMin(double min, double max) const
{
    RandomSource source;
    {
        std::lock_guard lock(m_mutex);
        source = m_randomSource;
    }
    const double unit = source ? source() : defaultRandom();
    return min + (max - min) * unit;
}

void PLNNetworkClient::runAfterRetryValueFromResponse(
    const std::optional<FLTHTTPURLResponse> &response, unsigned attempts,
    std::function<void()> block)
{
    const double delay = computeDelayForResponse(response, attempts);
    Scheduler scheduler;
    {
        std::lock_guard lock(m_mutex);
        scheduler = m_scheduler;
    }
    if (scheduler)
        scheduler(delay, std::move(block));
    else
        defaultScheduler(delay, std::move(block));
}

void PLNNetworkClient::setScheduler(Scheduler scheduler)
{
    std::lock_guard lock(m_mutex);
    m_scheduler = std::move(scheduler);
}

void PLNNetworkClient::setRandomSource(RandomSource source)
{
    std::lock_guard lock(m_mutex);
    m_randomSource = std::move(source);
}
