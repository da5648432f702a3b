#pragma once

#include "telemetry/core/FLTURLSessionTask.h"

#include <string>

class FLTURLSession;

// The server-trust challenge of one TLS handshake. `sslContext` is the OpenSSL SSL_CTX of the
// connection being set up; a handler that pins installs its own verification on it.
struct FLTURLAuthenticationChallenge {
    void *sslContext = nullptr;
    std::string host;
};

enum class FLTURLSessionAuthChallengeDisposition {
    UseCredential,          // the handler installed its own trust evaluation
    PerformDefaultHandling, // pin to the client's certificates (PLNCertificatePinner)
    TrustSystemAuthorities, // verify against the system's certificate authorities
    CancelAuthenticationChallenge,
};

// Receives what happens to the tasks of a session that have no completion block, and the
// server-trust challenges of every task. All calls come on the session's own thread, one at
// a time. A challenge handler must not block.
class FLTURLSessionDelegate
{
public:
    virtual ~FLTURLSessionDelegate() = default;

    virtual void URLSessionDidReceiveResponse(FLTURLSession *, FLTURLSessionTask *,
                                              const FLTHTTPURLResponse &)
    {
    }
    virtual void URLSessionDidReceiveData(FLTURLSession *, FLTURLSessionTask *, const std::string &)
    {
    }
    virtual void URLSessionDidFinishDownloadingToURL(FLTURLSession *, FLTURLSessionTask *,
                                                     const std::string &)
    {
    }
    virtual void URLSessionDidCompleteWithError(FLTURLSession *, FLTURLSessionTask *,
                                                const std::optional<tel::TelemetryError> &)
    {
    }
    virtual void URLSessionDidBecomeInvalidWithError(FLTURLSession *,
                                                     const std::optional<tel::TelemetryError> &)
    {
    }
    // Asked for every TLS connection, also after the session dropped its delegate, so that
    // pinning never lapses for tasks still running. A session without a delegate, or one that
    // does not answer, pins to the client's certificates.
    virtual FLTURLSessionAuthChallengeDisposition
    URLSessionDidReceiveChallenge(FLTURLSession *, FLTURLAuthenticationChallenge &)
    {
        return FLTURLSessionAuthChallengeDisposition::PerformDefaultHandling;
    }
};
