#include "telemetry/core/PLNNetworkResponseHandler.h"

#include <gtest/gtest.h>

namespace {

FLTHTTPURLResponse responseWith(long status, FLTHTTPHeaderFields headers = {})
{
    FLTHTTPURLResponse response;
    response.statusCode = status;
    response.allHeaderFields = std::move(headers);
    return response;
}

std::int64_t typeOf(std::optional<FLTHTTPURLResponse> response)
{
    std::int64_t result = -1;
    PLNNetworkResponseHandler::clientResponseType(response,
                                                  [&](std::int64_t type, long) { result = type; });
    return result;
}

} // namespace

TEST(PLNNetworkResponseHandler, StatusTable)
{
    const std::vector<std::pair<long, std::int64_t>> table = {
        {200, 0}, {201, 0}, {202, 0}, {204, 0}, {304, 0}, {203, 1}, {302, 1}, {100, 1}, {400, 2},
        {401, 2}, {403, 2}, {404, 2}, {406, 2}, {410, 2}, {411, 2}, {413, 2}, {419, 2}, {422, 2},
        {431, 2}, {405, 1}, {420, 4}, {429, 4}, {408, 3}, {500, 3}, {503, 3}, {599, 3}, {600, 1}};
    for (const auto &[status, type] : table)
        EXPECT_EQ(typeOf(responseWith(status)), type) << status;
    EXPECT_EQ(typeOf(std::nullopt), PLNClientResponseTypeInvalid);
}

TEST(PLNNetworkResponseHandler, TransportErrorsThatAreFinal)
{
    for (std::int64_t code : {-999, -1200, -1202, -1206, -1103, -1100, -1022, -1013, -1012, -1010,
                              -1007, -1002, -1000, -995}) {
        EXPECT_FALSE(
            PLNNetworkResponseHandler::retryableURLError(PLNMakeError(kFLTURLErrorDomain, code)))
            << code;
    }
    for (std::int64_t code : {-1001, -1003, -1004, -1005, -1})
        EXPECT_TRUE(
            PLNNetworkResponseHandler::retryableURLError(PLNMakeError(kFLTURLErrorDomain, code)))
            << code;
    EXPECT_FALSE(PLNNetworkResponseHandler::retryableURLError(PLNMakeError("Other", -1001)));

    FLTURLRequest request("https://127.0.0.1/x");
    bool retried = true;
    std::optional<tel::TelemetryError> passed;
    PLNNetworkResponseHandler::handleCompletedResponse(
        std::nullopt, request, PLNMakeError(kFLTURLErrorDomain, FLTURLErrorCancelled),
        [&](bool retry, std::optional<tel::TelemetryError> error) {
            retried = retry;
            passed = error;
        });
    EXPECT_FALSE(retried);
    ASSERT_TRUE(passed);
    EXPECT_EQ(passed->code, FLTURLErrorCancelled);
}

TEST(PLNNetworkResponseHandler, CancelReason)
{
    tel::TelemetryError cancelled{
        kFLTURLErrorDomain,
        -999,
        {{kFLTURLErrorBackgroundTaskCancelledReasonKey, std::int64_t{2}}}};
    EXPECT_EQ(PLNNetworkResponseHandler::cancelReasonFromURLError(cancelled), 2);
    EXPECT_EQ(
        PLNNetworkResponseHandler::cancelReasonFromURLError(PLNMakeError(kFLTURLErrorDomain, -999)),
        -1);
    EXPECT_EQ(PLNNetworkResponseHandler::cancelReasonFromURLError(
                  PLNMakeError(kFLTURLErrorDomain, -1001)),
              -1);
}

TEST(PLNNetworkResponseHandler, RetryAfterValue)
{
    using H = PLNNetworkResponseHandler;
    EXPECT_EQ(H::retryValueForResponse(std::nullopt), 2.0);
    EXPECT_EQ(H::retryValueForResponse(responseWith(503)), 2.0);
    EXPECT_EQ(H::retryValueForResponse(responseWith(503, {{"Retry-After", "30"}})), 30.0);
    EXPECT_EQ(H::retryValueForResponse(responseWith(503, {{"Retry-After", "0"}})), 0.0);
    EXPECT_EQ(H::retryValueForResponse(responseWith(503, {{"Retry-After", "1"}})), 1.0);
    EXPECT_EQ(H::retryValueForResponse(responseWith(503, {{"Retry-After", "-5"}})), 2.0);
    EXPECT_EQ(H::retryValueForResponse(
                  responseWith(503, {{"Retry-After", "Wed, 21 Oct 2015 07:28:00 GMT"}})),
              0.0);
    const double future = H::retryValueForResponse(
        responseWith(503, {{"Retry-After", "Fri, 01 Jan 2100 00:00:00 GMT"}}));
    EXPECT_GT(future, 1e9);
}

TEST(PLNNetworkResponseHandler, ErrorsCarryTheResponse)
{
    using H = PLNNetworkResponseHandler;
    const auto response =
        responseWith(429, {{"X-Request-Id", "abc"}, {"Content-Type", "text/plain"}});
    EXPECT_FALSE(H::errorForResponse(response, 0, 200));
    const auto error = H::errorForResponse(response, 4, 429);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain, "PLNNetworkError");
    EXPECT_EQ(error->code, -1);
    EXPECT_EQ(PLNErrorInteger(*error, "type"), 4);
    EXPECT_EQ(PLNErrorInteger(*error, "status_code"), 429);
    EXPECT_EQ(PLNErrorString(*error, "request_id"), "abc");
    EXPECT_EQ(PLNErrorString(*error, "content_type"), "text/plain");
    const auto bare = H::errorForResponse(std::nullopt, 1, 0);
    EXPECT_EQ(bare->code, -4);
    EXPECT_EQ(PLNErrorString(*bare, "request_id"), "");
    EXPECT_EQ(H::errorForResponse(response, 2, 400)->code, -5);
}

TEST(PLNNetworkResponseHandler, ContentTypeWithoutAcceptAlwaysMatches)
{
    FLTURLRequest request("https://127.0.0.1/x");
    EXPECT_TRUE(PLNNetworkResponseHandler::contentTypeForResponse(responseWith(200), request));
    request.setValue("application/json", "Accept");
    EXPECT_FALSE(PLNNetworkResponseHandler::contentTypeForResponse(responseWith(200), request));
    EXPECT_TRUE(PLNNetworkResponseHandler::contentTypeForResponse(
        responseWith(200, {{"content-type", "application/json; charset=UTF-8"}}), request));
}
