#include "TLYNetworkRetryHandler.h"

#include "telemetry/core/PLNNetworkResponseHandler.h"
#include "telemetry/core/Plinth.h"

TLYNetworkRetryHandler::TLYNetworkRetryHandler()
{
    std::vector<PLNCertificate> certificates = PLNCertificatePinner::pinnedCertificates();
    if (!certificates.empty())
        m_certPinner = std::make_unique<PLNCertificatePinner>(std::move(certificates));
}

void TLYNetworkRetryHandler::setScheduler(TLYBackoffTimer::Scheduler scheduler)
{
    std::lock_guard lock(m_mutex);
    m_scheduler = std::move(scheduler);
}

FLTURLSessionAuthChallengeDisposition
TLYNetworkRetryHandler::handleChallenge(FLTURLAuthenticationChallenge &challenge)
{
    // Default handling of the client's sessions pins too; the debug flag never turns pinning off.
    if (!m_certPinner)
        return FLTURLSessionAuthChallengeDisposition::PerformDefaultHandling;
    return m_certPinner->handleChallenge(challenge)
               ? FLTURLSessionAuthChallengeDisposition::UseCredential
               : FLTURLSessionAuthChallengeDisposition::CancelAuthenticationChallenge;
}

void TLYNetworkRetryHandler::handleCompletedRequest(
    const FLTURLRequest &request, const std::optional<FLTHTTPURLResponse> &response,
    const std::optional<std::string> &identifier, const std::optional<tel::TelemetryError> &error,
    Completion completion)
{
    handleCompletedRequest(request, response, identifier, kDefaultMaxRetries, error,
                           std::move(completion));
}

tel::TelemetryError TLYNetworkRetryHandler::errorWithCode(
    std::int64_t code, const std::optional<std::string> &identifier, const FLTURLRequest &request)
{
    tel::PlistValue::Dictionary info;
    info[kIdentifierKey] = identifier ? *identifier : std::string("(null)");
    if (!request.URL.empty())
        info[kFLTURLErrorFailingURLStringErrorKey] = request.URL;
    return PLNMakeError(kPLNNetworkErrorDomain, code, std::move(info));
}

void TLYNetworkRetryHandler::handleCompletedRequest(
    const FLTURLRequest &request, const std::optional<FLTHTTPURLResponse> &response,
    const std::optional<std::string> &identifier, std::uint64_t maxRetries,
    const std::optional<tel::TelemetryError> &error, Completion completion)
{
    bool retry = false;
    std::optional<tel::TelemetryError> handlerError;
    PLNNetworkResponseHandler::handleCompletedResponse(
        response, request, error, [&](bool r, std::optional<tel::TelemetryError> e) {
            retry = r;
            handlerError = std::move(e);
        });
    if (!retry) {
        completion(false, handlerError);
        return;
    }
    const double retryAfter = PLNNetworkResponseHandler::headerForResponse(response, "Retry-After")
                                  ? PLNNetworkResponseHandler::retryValueForResponse(response)
                                  : 0.0;
    const std::shared_ptr<TLYBackoffTimer> timer =
        timerForIdentifier(identifier, PLNNetworkResponseHandler::retryValueForResponse(response));
    if (!timer) {
        completion(false, handlerError ? handlerError
                                       : errorWithCode(ErrorNoIdentifier, identifier, request));
        return;
    }
    if (timer->retryCount() > maxRetries) {
        completion(false, errorWithCode(ErrorRetriesUsedUp, identifier, request));
        return;
    }
    TLYBackoffTimer::Scheduler scheduler;
    {
        std::lock_guard lock(m_mutex);
        scheduler = m_scheduler;
    }
    timer->executeBlockAfterNextInterval(
        [completion = std::move(completion), handlerError] { completion(true, handlerError); },
        retryAfter, scheduler);
}

void TLYNetworkRetryHandler::resetIdentifier(const std::string &identifier)
{
    std::lock_guard lock(m_mutex);
    m_retryTimerMap.erase(identifier);
}

std::shared_ptr<TLYBackoffTimer>
TLYNetworkRetryHandler::timerForIdentifier(const std::optional<std::string> &identifier,
                                           double initialRetryValue)
{
    if (!identifier)
        return nullptr;
    std::lock_guard lock(m_mutex);
    auto &timer = m_retryTimerMap[*identifier];
    if (!timer)
        timer = std::make_shared<TLYBackoffTimer>(initialRetryValue);
    return timer;
}
