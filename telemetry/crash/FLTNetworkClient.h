#pragma once

// Uploads crash-report packages from the store's prepared folder to the reports endpoint, pinned
// to the client's certificates. A package has at most one upload running at a time (tasks carry
// the package's path relative to the store as their description). A server error or a lost
// connection is retried with growing waits (never shorter than the server's Retry-After) a
// bounded number of times; then, as for every final outcome, the delegate hears of it.
// There are no background sessions here, so an urgent upload runs at once and synchronously.
// Thread-safe; callbacks and retries run on the crash kit's work queue.

#include "FLTFileManager.h"
#include "telemetry/core/FLTURLSession.h"
#include "telemetry/core/PLNCertificatePinner.h"
#include "telemetry/platform/OperationQueue.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

class FLTNetworkClient;

class FLTNetworkClientDelegate
{
public:
    virtual ~FLTNetworkClientDelegate() = default;
    virtual bool networkClientCanUseBackgroundSessions(FLTNetworkClient *client) = 0;
    // An upload ended: no error means the server accepted the package.
    virtual void networkClientDidFinishUploadWithPath(FLTNetworkClient *, const std::string &,
                                                      const std::optional<tel::TelemetryError> &)
    {
    }
};

class FLTNetworkClient : public std::enable_shared_from_this<FLTNetworkClient>
{
public:
    static constexpr const char *kNetworkErrorDomain = "FLTNetworkError";
    // Retries of one upload within a launch.
    static constexpr unsigned kMaxRetries = 5;
    // Waits grow from 2 s by doubling, up to this.
    static constexpr double kMaxRetryDelay = 600.0;
    // Runs `work` after `seconds` (tests replace it so that nothing waits for real).
    using Scheduler = std::function<void(double seconds, std::function<void()> work)>;

    static std::shared_ptr<FLTNetworkClient>
    create(std::shared_ptr<tel::OperationQueue> queue,
           std::shared_ptr<const FLTFileManager> fileManager,
           std::weak_ptr<FLTNetworkClientDelegate> delegate);
    ~FLTNetworkClient();

    static std::shared_ptr<PLNCertificatePinner> pinner();
    bool NSURLSessionAvailable() const { return FLTURLSession::NSURLSessionShouldBeUsed(); }
    bool supportsBackgroundRequests() const;
    bool canUseBackgroundSession() const { return m_canUseBackgroundSession; }
    // With no background session to reconnect, the block runs at once.
    void attemptToReconnectBackgroundSessionWithCompletionBlock(const std::function<void()> &block);

    // Not immediate: skipped (logged) while an upload of the same package runs or waits.
    void startUploadRequest(const FLTURLRequest &request, const std::string &filePath,
                            bool immediately);
    // The path below the store's root; nothing (logged) for a path outside it.
    std::optional<std::string> relativeTaskPathForAbsolutePath(const std::string &path) const;
    std::string absolutePathForRelativeTaskPath(const std::string &path) const;

    void setScheduler(Scheduler scheduler);
    bool hasUploadForPath(const std::string &path) const;
    // The wait before retry number `attempt` (1 for the first).
    static double retryDelay(double retryAfter, unsigned attempt);

private:
    class SessionDelegate;
    FLTNetworkClient(std::shared_ptr<tel::OperationQueue> queue,
                     std::shared_ptr<const FLTFileManager> fileManager,
                     std::weak_ptr<FLTNetworkClientDelegate> delegate);

    FLTURLSession *session();
    void startNewUploadRequest(const FLTURLRequest &request, const std::string &filePath);
    void handleTaskCompleted(const FLTURLRequest &request, const std::string &description,
                             const std::optional<FLTHTTPURLResponse> &response,
                             const std::optional<tel::TelemetryError> &error);
    void restartTask(const FLTURLRequest &request, const std::string &description,
                     const std::optional<FLTHTTPURLResponse> &response);
    void handleTaskDescriptionCompleted(const std::string &description,
                                        const std::optional<tel::TelemetryError> &error);
    void uploadSynchronously(const FLTURLRequest &request, const std::string &filePath);

    std::shared_ptr<tel::OperationQueue> m_operationQueue;
    std::shared_ptr<const FLTFileManager> m_fileManager;
    std::weak_ptr<FLTNetworkClientDelegate> m_delegate;
    std::shared_ptr<PLNCertificatePinner> m_certPinner;
    bool m_canUseBackgroundSession = false;

    mutable std::mutex m_mutex;
    std::unique_ptr<FLTURLSession> m_session;
    std::map<std::string, unsigned> m_retries; // by task description
    // Uploads running or waiting for a retry, by task description.
    std::set<std::string> m_inFlight;
    Scheduler m_scheduler;
};
