#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "telemetry/platform/TelemetryError.h"

// Value types of the telemetry client's URL loading, and the task base class.
// The telemetry library has no Foundation, so requests, responses and errors are plain values.

// Errors are tel::TelemetryError values; these read them.
// The text under "NSLocalizedDescription", else "<domain> error <code>".
std::string PLNErrorDescription(const tel::TelemetryError &error);
// A user-info entry as text (numbers in decimal); empty when absent.
std::string PLNErrorString(const tel::TelemetryError &error, const std::string &key);
// A user-info entry as a number (text parsed as decimal); nothing when absent or not numeric.
std::optional<std::int64_t> PLNErrorInteger(const tel::TelemetryError &error,
                                            const std::string &key);
tel::TelemetryError PLNMakeError(std::string domain, std::int64_t code,
                                 tel::PlistValue::Dictionary userInfo = {});

// The URL-loading error domain and the codes the client produces or tests for.
inline constexpr const char *kFLTURLErrorDomain = "NSURLErrorDomain";
inline constexpr const char *kFLTLocalizedDescriptionKey = "NSLocalizedDescription";
inline constexpr const char *kFLTURLErrorFailingURLStringErrorKey = "NSErrorFailingURLStringKey";
inline constexpr const char *kFLTURLErrorBackgroundTaskCancelledReasonKey =
    "NSURLErrorBackgroundTaskCancelledReasonKey";
enum FLTURLErrorCode : std::int64_t {
    FLTURLErrorUnknown = -1,
    FLTURLErrorCancelled = -999,
    FLTURLErrorBadURL = -1000,
    FLTURLErrorTimedOut = -1001,
    FLTURLErrorUnsupportedURL = -1002,
    FLTURLErrorCannotFindHost = -1003,
    FLTURLErrorCannotConnectToHost = -1004,
    FLTURLErrorNetworkConnectionLost = -1005,
    FLTURLErrorHTTPTooManyRedirects = -1007,
    FLTURLErrorBadServerResponse = -1011,
    FLTURLErrorSecureConnectionFailed = -1200,
    FLTURLErrorServerCertificateUntrusted = -1202,
    FLTURLErrorCannotWriteToFile = -3003,
};

// Header fields keep their order; names compare without regard to case.
using FLTHTTPHeaderFields = std::vector<std::pair<std::string, std::string>>;

std::optional<std::string> FLTHeaderValue(const FLTHTTPHeaderFields &fields,
                                          const std::string &name);

struct FLTURLRequest {
    std::string URL;
    std::string HTTPMethod = "GET";
    FLTHTTPHeaderFields allHTTPHeaderFields;
    std::string HTTPBody;
    // When set, the body is streamed from this file instead of HTTPBody.
    std::string HTTPBodyFile;
    double timeoutInterval = 60.0;

    FLTURLRequest() = default;
    explicit FLTURLRequest(std::string url)
        : URL(std::move(url))
    {
    }

    std::optional<std::string> valueForHTTPHeaderField(const std::string &field) const;
    // Replaces every value of the field.
    void setValue(const std::string &value, const std::string &field);
    // Appends to an existing value with ",", as a second header line would.
    void addValue(const std::string &value, const std::string &field);
};

struct FLTHTTPURLResponse {
    std::string URL;
    long statusCode = 0;
    FLTHTTPHeaderFields allHeaderFields;

    std::optional<std::string> valueForHTTPHeaderField(const std::string &field) const
    {
        return FLTHeaderValue(allHeaderFields, field);
    }
};

namespace flt::detail {
struct SessionCore;
}

// One request of an FLTURLSession. Made by the session, started by resume().
// Thread-safe; callbacks come on the session's own thread.
class FLTURLSessionTask : public std::enable_shared_from_this<FLTURLSessionTask>
{
public:
    enum class Kind { Data, Upload, Download };
    using DataCompletion = std::function<void(std::optional<std::string> data,
                                              std::optional<FLTHTTPURLResponse> response,
                                              std::optional<tel::TelemetryError> error)>;
    // The file exists only while the block runs.
    using DownloadCompletion = std::function<void(std::optional<std::string> location,
                                                  std::optional<FLTHTTPURLResponse> response,
                                                  std::optional<tel::TelemetryError> error)>;

    virtual ~FLTURLSessionTask();
    FLTURLSessionTask(const FLTURLSessionTask &) = delete;
    FLTURLSessionTask &operator=(const FLTURLSessionTask &) = delete;

    Kind kind() const { return m_kind; }
    std::uint64_t taskIdentifier() const { return m_identifier; }
    const FLTURLRequest &originalRequest() const { return m_originalRequest; }
    const FLTURLRequest &currentRequest() const { return m_originalRequest; }
    std::optional<FLTHTTPURLResponse> response() const;
    std::optional<tel::TelemetryError> error() const;
    bool invokesDelegate() const { return m_invokesDelegate; }
    std::string taskDescription() const;
    void setTaskDescription(const std::string &description);

    // Starts the transfer; a second call does nothing.
    void resume();
    // Stops the transfer; the task completes once, with FLTURLErrorCancelled.
    void cancel();

protected:
    FLTURLSessionTask(Kind kind, FLTURLRequest request);

private:
    friend struct flt::detail::SessionCore;
    friend class FLTURLSession;

    const Kind m_kind;
    const std::uint64_t m_identifier;
    FLTURLRequest m_originalRequest;
    std::weak_ptr<flt::detail::SessionCore> m_session;
    bool m_invokesDelegate = true;
    DataCompletion m_completionHandler;
    DownloadCompletion m_downloadCompletionHandler;

    mutable std::mutex m_mutex;
    std::optional<FLTHTTPURLResponse> m_response;
    std::optional<tel::TelemetryError> m_error;
    std::string m_taskDescription;
    bool m_resumed = false;
    bool m_completed = false;
};
