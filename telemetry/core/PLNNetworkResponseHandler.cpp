#include "telemetry/core/PLNNetworkResponseHandler.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

std::string trimmed(const std::string &text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::string lowercased(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::vector<std::string> split(const std::string &text, char separator)
{
    std::vector<std::string> pieces;
    std::string::size_type start = 0;
    for (;;) {
        const auto end = text.find(separator, start);
        pieces.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos)
            return pieces;
        start = end + 1;
    }
}

struct MediaType {
    std::string type; // lower case, no parameters
    std::optional<std::string> charset;
};

MediaType parseMediaType(const std::string &value)
{
    const std::vector<std::string> pieces = split(value, ';');
    MediaType media;
    media.type = lowercased(trimmed(pieces.front()));
    for (size_t i = 1; i < pieces.size(); ++i) {
        const auto equals = pieces[i].find('=');
        if (equals == std::string::npos)
            continue;
        if (lowercased(trimmed(pieces[i].substr(0, equals))) != "charset")
            continue;
        std::string charset = trimmed(pieces[i].substr(equals + 1));
        if (charset.size() >= 2 && charset.front() == '"' && charset.back() == '"')
            charset = charset.substr(1, charset.size() - 2);
        media.charset = lowercased(charset);
    }
    return media;
}

bool acceptsMediaType(const std::string &accept, const std::string &type)
{
    for (const std::string &range : split(accept, ',')) {
        const std::string wanted = parseMediaType(range).type;
        if (wanted == type || wanted == "*/*")
            return true;
        if (wanted.size() > 2 && wanted.compare(wanted.size() - 2, 2, "/*") == 0
            && type.compare(0, wanted.size() - 1, wanted, 0, wanted.size() - 1) == 0)
            return true;
    }
    return false;
}

bool acceptsCharset(const std::string &acceptCharset, const std::string &charset)
{
    for (const std::string &entry : split(acceptCharset, ',')) {
        const std::string wanted = lowercased(trimmed(split(entry, ';').front()));
        if (wanted == charset || wanted == "*")
            return true;
    }
    return false;
}

} // namespace

void PLNNetworkResponseHandler::handleCompletedResponse(
    const std::optional<FLTHTTPURLResponse> &response, const FLTURLRequest &originalRequest,
    const std::optional<tel::TelemetryError> &error, const Decision &block)
{
    if (error) {
        block(retryableURLError(*error), error);
        return;
    }
    clientResponseType(response, [&](std::int64_t type, long status) {
        switch (type) {
        case PLNClientResponseTypeSuccess:
            if (!contentTypeForResponse(response, originalRequest)) {
                block(false, errorForResponse(response, PLNClientResponseTypeInvalid, status));
                return;
            }
            block(false, std::nullopt);
            return;
        case PLNClientResponseTypeInvalid:
        case PLNClientResponseTypeClientError:
            block(false, errorForResponse(response, type, status));
            return;
        default: block(true, errorForResponse(response, type, status)); return;
        }
    });
}

void PLNNetworkResponseHandler::clientResponseType(
    const std::optional<FLTHTTPURLResponse> &response,
    const std::function<void(std::int64_t, long)> &handler)
{
    if (!response || response->statusCode <= 0) {
        handler(PLNClientResponseTypeInvalid, 0);
        return;
    }
    const long status = response->statusCode;
    switch (status) {
    case 400:
    case 401:
    case 403:
    case 404:
    case 406:
    case 410:
    case 411:
    case 413:
    case 419:
    case 422:
    case 431: handler(PLNClientResponseTypeClientError, status); return;
    case 420:
    case 429: handler(PLNClientResponseTypeRateLimited, status); return;
    case 408: handler(PLNClientResponseTypeServerError, status); return;
    case 200:
    case 201:
    case 202:
    case 204:
    case 304: handler(PLNClientResponseTypeSuccess, status); return;
    default: break;
    }
    if (status >= 500 && status <= 599) {
        handler(PLNClientResponseTypeServerError, status);
        return;
    }
    handler(PLNClientResponseTypeInvalid, status);
}

bool PLNNetworkResponseHandler::retryableURLError(const tel::TelemetryError &error)
{
    if (error.domain != kFLTURLErrorDomain)
        return false;
    switch (error.code) {
    // A cancelled request was meant to stop, and a refused server certificate will not be
    // trusted on the next attempt either.
    case FLTURLErrorCancelled:
    case -1206:
    case -1205:
    case -1204:
    case -1203:
    case -1202:
    case -1201:
    case -1200:
    case -1103:
    case -1101:
    case -1100:
    case -1022:
    case -1013:
    case -1012:
    case -1010:
    case -1007:
    case -1002:
    case -1000:
    case -995: return false;
    default: return true;
    }
}

std::int64_t PLNNetworkResponseHandler::cancelReasonFromURLError(const tel::TelemetryError &error)
{
    if (error.domain != kFLTURLErrorDomain || error.code != FLTURLErrorCancelled)
        return -1;
    return PLNErrorInteger(error, kFLTURLErrorBackgroundTaskCancelledReasonKey).value_or(-1);
}

std::optional<tel::TelemetryError>
PLNNetworkResponseHandler::errorForResponse(const std::optional<FLTHTTPURLResponse> &response,
                                            std::int64_t type, long status)
{
    if (type == PLNClientResponseTypeSuccess)
        return std::nullopt;
    const std::int64_t code = type == PLNClientResponseTypeInvalid ? PLNNetworkErrorInvalidResponse
                              : type == PLNClientResponseTypeClientError
                                  ? PLNNetworkErrorClientError
                                  : PLNNetworkErrorRetryable;
    return errorForCode(
        code, {{"type", type},
               {"status_code", static_cast<std::int64_t>(status)},
               {"request_id", requestIdForResponse(response).value_or("")},
               {"content_type", headerForResponse(response, "Content-Type").value_or("")}});
}

tel::TelemetryError
PLNNetworkResponseHandler::errorForCode(std::int64_t code,
                                        std::map<std::string, tel::PlistValue> userInfo)
{
    return PLNMakeError(kPLNNetworkErrorDomain, code, std::move(userInfo));
}

std::optional<std::string>
PLNNetworkResponseHandler::headerForResponse(const std::optional<FLTHTTPURLResponse> &response,
                                             const std::string &key)
{
    if (!response)
        return std::nullopt;
    return response->valueForHTTPHeaderField(key);
}

double
PLNNetworkResponseHandler::retryValueForResponse(const std::optional<FLTHTTPURLResponse> &response)
{
    const auto header = headerForResponse(response, "Retry-After");
    if (!header)
        return 2.0;
    const std::string text = trimmed(*header);
    char *end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (end != text.c_str()) {
        // A huge value is capped by the back-off, not here.
        if (std::isnan(seconds) || seconds < 0)
            return 2.0;
        return seconds;
    }
    // An HTTP date: wait until then.
    std::tm when = {};
    if (const char *parsed = strptime(text.c_str(), "%a, %d %b %Y %H:%M:%S", &when); parsed) {
        const double until = std::difftime(timegm(&when), std::time(nullptr));
        return until > 0 ? until : 0.0;
    }
    return 2.0;
}

std::optional<std::string>
PLNNetworkResponseHandler::requestIdForResponse(const std::optional<FLTHTTPURLResponse> &response)
{
    return headerForResponse(response, "X-Request-Id");
}

bool PLNNetworkResponseHandler::contentTypeForResponse(
    const std::optional<FLTHTTPURLResponse> &response, const FLTURLRequest &matchesRequest)
{
    const auto accept = matchesRequest.valueForHTTPHeaderField("Accept");
    if (!accept)
        return true;
    const auto contentType = headerForResponse(response, "Content-Type");
    if (!contentType)
        return false;
    const MediaType media = parseMediaType(*contentType);
    if (!acceptsMediaType(*accept, media.type))
        return false;
    const auto acceptCharset = matchesRequest.valueForHTTPHeaderField("Accept-Charset");
    if (acceptCharset && media.charset)
        return acceptsCharset(*acceptCharset, *media.charset);
    return true;
}
