#pragma once

#include "telemetry/core/FLTURLSession.h"
#include "telemetry/platform/OperationQueue.h"

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

class TLYUploader;

// What the uploader asks of its owner (the analytics controller). Calls come on the uploader's
// queue, except the challenge, which comes on the session's thread and must not block.
class TLYUploaderDelegate
{
public:
    using RetryCompletion = std::function<void(bool retry, std::optional<tel::TelemetryError>)>;

    virtual ~TLYUploaderDelegate() = default;
    virtual std::string filePathForUniqueName(TLYUploader &uploader, const std::string &name) = 0;
    virtual void didFinishUpload(TLYUploader &uploader, const std::string &name,
                                 const std::optional<tel::TelemetryError> &error) = 0;
    // The delegate decides about a retry; the completion may run on any thread, once.
    virtual void completedRequest(TLYUploader &uploader, const FLTURLRequest &request,
                                  const std::optional<FLTHTTPURLResponse> &response,
                                  const std::string &name,
                                  const std::optional<tel::TelemetryError> &error,
                                  RetryCompletion completion) = 0;
    virtual FLTURLSessionAuthChallengeDisposition
    didReceiveChallenge(TLYUploader &, FLTURLAuthenticationChallenge &)
    {
        return FLTURLSessionAuthChallengeDisposition::PerformDefaultHandling;
    }
};

// Runs one upload task per package (named by its unique name, the package's boundary) on the
// client's URL session, never two at once for one name, and reports each outcome to its
// delegate. All its state and every delegate call stay on its operation queue (the analytics
// event queue). Made with create(); the queue and the delegate are held weakly, so work that
// comes back after their owner has gone is dropped.
class TLYUploader : public std::enable_shared_from_this<TLYUploader>
{
public:
    static constexpr const char *kUniqueNameKey = "TLYUploaderUniqueName";
    static constexpr const char *kFilePathKey = "NSFilePathErrorKey";
    enum : std::int64_t { ErrorMissingParts = -2, ErrorUnreadableFile = -8 };
    // Uploads run a few at a time; the others wait their turn, so a backlog of packages does
    // not open a connection each.
    static constexpr std::size_t kMaximumConcurrentUploads = 2;

    static std::shared_ptr<TLYUploader> create(std::weak_ptr<tel::OperationQueue> queue,
                                               std::weak_ptr<TLYUploaderDelegate> delegate);
    ~TLYUploader();

    // Both drop the session, so the next upload makes a new one.
    void setDefaultUploadTimeout(double seconds);
    void setLowPowerUploadTimeout(double seconds);
    double defaultUploadTimeout() const { return m_defaultUploadTimeout; }
    double lowPowerUploadTimeout() const { return m_lowPowerUploadTimeout; }
    // There are no background sessions: the block runs on the queue.
    void attemptToReconnectBackgroundSessionWithCompletionBlock(std::function<void()> block);
    // Skipped (with a log line) while a task of that name is alive or waiting its turn.
    void startUploadRequest(const FLTURLRequest &request, const std::string &filePath,
                            const std::string &uniqueName);
    // Cancels the running tasks without reporting them and makes no new ones.
    void invalidate();

private:
    class SessionDelegate;
    TLYUploader(std::weak_ptr<tel::OperationQueue> queue,
                std::weak_ptr<TLYUploaderDelegate> delegate);

    void onQueue(std::function<void()> block);
    void startNewUploadRequest(const FLTURLRequest &request, const std::string &filePath,
                               const std::string &uniqueName);
    void taskCompleted(const FLTURLRequest &request, std::optional<FLTHTTPURLResponse> response,
                       const std::string &name, std::optional<tel::TelemetryError> error);
    void handleTaskDescription(const std::string &name,
                               const std::optional<tel::TelemetryError> &error);
    FLTURLSession *session();
    tel::TelemetryError errorWithCode(std::int64_t code, const std::string &path,
                                      const std::string &name) const;

    std::weak_ptr<tel::OperationQueue> m_operationQueue;
    std::weak_ptr<TLYUploaderDelegate> m_delegate;
    double m_defaultUploadTimeout = 3600.0;
    double m_lowPowerUploadTimeout = 21600.0;
    // On the queue only.
    std::unique_ptr<FLTURLSession> m_session;
    struct Waiting {
        FLTURLRequest request;
        std::string filePath;
        std::string uniqueName;
    };
    std::set<std::string> m_liveNames;
    std::deque<Waiting> m_waiting;
    bool m_invalidated = false;
};
