#include "FLTKitRequest.h"

#include "Faultline.h"
#include "telemetry/core/PLNNetworkOperation.h"

FLTURLRequest FLTKitRequest::requestWithURL(const std::string &url, double timeout,
                                            const std::optional<std::string> &APIKey)
{
    FLTURLRequest request(url);
    request.timeoutInterval = timeout;
    const std::string locale = PLNNetworkOperation::localeIdentifier();
    request.setValue(kUserAgent, "User-Agent");
    request.setValue("application/json", "Accept");
    request.setValue("utf-8", "Accept-Charset");
    request.setValue(locale, "Accept-Language");
    request.setValue(locale, "Content-Language");
    request.setValue(PLNNetworkOperation::kDeveloperToken, "X-Faultline-Developer-Token");
    request.setValue(Faultline::kBundleIdentifier, "X-Faultline-API-Client-Id");
    request.setValue(Faultline::kDisplayVersion, "X-Faultline-API-Client-Display-Version");
    request.setValue(Faultline::kBuildVersion, "X-Faultline-API-Client-Build-Version");
    if (APIKey)
        request.setValue(*APIKey, "X-Faultline-API-Key");
    return request;
}
