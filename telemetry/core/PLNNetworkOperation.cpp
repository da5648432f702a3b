#include "telemetry/core/PLNNetworkOperation.h"

#include <cstdlib>

FLTURLRequest PLNNetworkOperation::mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(
    const std::string &url) const
{
    return mutableRequestWithDefaultHTTPHeadersForURL(url, kDefaultTimeout);
}

FLTURLRequest
PLNNetworkOperation::mutableRequestWithDefaultHTTPHeadersForURL(const std::string &url,
                                                                double timeout) const
{
    FLTURLRequest request(url);
    request.timeoutInterval = timeout;
    const std::string locale = localeIdentifier();
    request.setValue(userAgentString(), "User-Agent");
    request.setValue("utf-8", "Accept-Charset");
    request.setValue(locale, "Accept-Language");
    request.setValue(locale, "Content-Language");
    request.setValue(kDeveloperToken, "X-Faultline-Developer-Token");
    request.setValue(kUserAgentProduct, "X-Faultline-API-Client-Id");
    request.setValue(kClientDisplayVersion, "X-Faultline-API-Client-Display-Version");
    request.setValue(kClientBuildVersion, "X-Faultline-API-Client-Build-Version");
    request.setValue(m_APIKey, "X-Faultline-API-Key");
    return request;
}

std::string PLNNetworkOperation::userAgentString()
{
    return std::string(kUserAgentProduct) + "/" + kClientDisplayVersion + " (" + kClientBuildVersion
           + ")";
}

std::string PLNNetworkOperation::localeIdentifier()
{
    std::string value;
    for (const char *name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char *text = std::getenv(name);
        if (text && *text) {
            value = text;
            break;
        }
    }
    // "de_CH.UTF-8@euro" -> "de_CH"
    value = value.substr(0, value.find_first_of(".@"));
    if (value.empty() || value == "C" || value == "POSIX")
        return "en_US_POSIX";
    return value;
}

std::optional<tel::TelemetryError> PLNNetworkOperation::error() const
{
    std::lock_guard lock(m_errorMutex);
    return m_error;
}

void PLNNetworkOperation::finish(const std::optional<tel::TelemetryError> &error)
{
    {
        std::lock_guard lock(m_errorMutex);
        if (m_finishing)
            return;
        m_finishing = true;
        m_error = error;
    }
    finishWithError(error);
}
