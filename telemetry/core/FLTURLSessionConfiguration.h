#pragma once

#include "telemetry/core/FLTURLSessionTask.h"

#include <cstdint>
#include <optional>
#include <string>

// Settings of an FLTURLSession. Only HTTPAdditionalHeaders and the request time-out take
// effect; the others are kept and answered.
class FLTURLSessionConfiguration
{
public:
    static FLTURLSessionConfiguration defaultSessionConfiguration() { return {}; }
    static FLTURLSessionConfiguration ephemeralSessionConfiguration() { return {}; }
    // There are no background sessions here.
    static std::optional<FLTURLSessionConfiguration>
    backgroundSessionConfigurationWithIdentifier(const std::string &)
    {
        return std::nullopt;
    }
    static std::optional<FLTURLSessionConfiguration>
    backgroundSessionConfiguration(const std::string &identifier)
    {
        return backgroundSessionConfigurationWithIdentifier(identifier);
    }

    // A copy carries only the additional headers.
    FLTURLSessionConfiguration copy() const
    {
        FLTURLSessionConfiguration result;
        result.m_HTTPAdditionalHeaders = m_HTTPAdditionalHeaders;
        return result;
    }

    const FLTHTTPHeaderFields &HTTPAdditionalHeaders() const { return m_HTTPAdditionalHeaders; }
    void setHTTPAdditionalHeaders(const FLTHTTPHeaderFields &headers)
    {
        m_HTTPAdditionalHeaders = headers;
    }
    std::uint64_t HTTPCookieAcceptPolicy() const { return m_HTTPCookieAcceptPolicy; }
    void setHTTPCookieAcceptPolicy(std::uint64_t policy) { m_HTTPCookieAcceptPolicy = policy; }
    double timeoutIntervalForRequest() const { return m_timeoutIntervalForRequest; }
    void setTimeoutIntervalForRequest(double seconds) { m_timeoutIntervalForRequest = seconds; }
    double timeoutIntervalForResource() const { return m_timeoutIntervalForResource; }
    void setTimeoutIntervalForResource(double seconds) { m_timeoutIntervalForResource = seconds; }
    bool allowsCellularAccess() const { return m_allowsCellularAccess; }
    void setAllowsCellularAccess(bool allows) { m_allowsCellularAccess = allows; }
    bool sessionSendsLaunchEvents() const { return false; }
    void setSessionSendsLaunchEvents(bool) {}

private:
    FLTHTTPHeaderFields m_HTTPAdditionalHeaders;
    std::uint64_t m_HTTPCookieAcceptPolicy = 2;
    double m_timeoutIntervalForRequest = 60.0;
    double m_timeoutIntervalForResource = 604800.0;
    bool m_allowsCellularAccess = true;
};
