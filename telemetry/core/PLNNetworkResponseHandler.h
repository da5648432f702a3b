#pragma once

#include "telemetry/core/FLTURLSessionTask.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

inline constexpr const char *kPLNNetworkErrorDomain = "PLNNetworkError";

// How a finished request went ("type" in the user info of the client's errors).
enum PLNClientResponseType : std::int64_t {
    PLNClientResponseTypeSuccess = 0,
    PLNClientResponseTypeInvalid = 1,     // not HTTP, unexpected status or content type
    PLNClientResponseTypeClientError = 2, // will not change on retry
    PLNClientResponseTypeServerError = 3, // retried
    PLNClientResponseTypeRateLimited = 4, // retried
};

enum PLNNetworkErrorCode : std::int64_t {
    PLNNetworkErrorRetryable = -1,
    PLNNetworkErrorNoTask = -3,
    PLNNetworkErrorInvalidResponse = -4,
    PLNNetworkErrorClientError = -5,
    PLNNetworkErrorRetryLimitReached = -6,
};

// Decides for each finished request whether it succeeded, failed for good or should be
// retried, and builds the client's errors. Stateless and thread-safe.
class PLNNetworkResponseHandler
{
public:
    using Decision = std::function<void(bool retry, std::optional<tel::TelemetryError> error)>;

    // A transport error is passed on as it stands; a cancelled request or a failed TLS trust
    // is never retried.
    static void handleCompletedResponse(const std::optional<FLTHTTPURLResponse> &response,
                                        const FLTURLRequest &originalRequest,
                                        const std::optional<tel::TelemetryError> &error,
                                        const Decision &block);
    static void
    clientResponseType(const std::optional<FLTHTTPURLResponse> &response,
                       const std::function<void(std::int64_t type, long status)> &handler);
    static bool retryableURLError(const tel::TelemetryError &error);
    static std::int64_t cancelReasonFromURLError(const tel::TelemetryError &error);
    static std::optional<tel::TelemetryError>
    errorForResponse(const std::optional<FLTHTTPURLResponse> &response, std::int64_t type,
                     long status);
    static tel::TelemetryError errorForCode(std::int64_t code,
                                            std::map<std::string, tel::PlistValue> userInfo = {});
    static std::optional<std::string>
    headerForResponse(const std::optional<FLTHTTPURLResponse> &response, const std::string &key);
    // "Retry-After" in seconds (a number or an HTTP date); 2 when missing, negative or
    // unreadable.
    static double retryValueForResponse(const std::optional<FLTHTTPURLResponse> &response);
    static std::optional<std::string>
    requestIdForResponse(const std::optional<FLTHTTPURLResponse> &response);
    // The response's media type must be one the request's "Accept" names, and its charset
    // (when both sides name one) the request's "Accept-Charset"; parameters, spacing and
    // case do not matter.
    static bool contentTypeForResponse(const std::optional<FLTHTTPURLResponse> &response,
                                       const FLTURLRequest &matchesRequest);
};
