#pragma once

#include "telemetry/core/FLTURLSessionConfiguration.h"
#include "telemetry/core/FLTURLSessionDataTask.h"
#include "telemetry/core/FLTURLSessionDelegate.h"
#include "telemetry/core/FLTURLSessionDownloadTask.h"
#include "telemetry/core/FLTURLSessionTask.h"
#include "telemetry/core/FLTURLSessionUploadTask.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace flt::detail {
struct SessionCore;
}

// The telemetry client's URL session, on libcurl with OpenSSL. Each session runs its
// transfers on one thread of its own; completion blocks and delegate calls run there too, one
// at a time, so they must not wait for other work of the same session.
//
// Every TLS connection asks the delegate given at creation for its server-trust decision
// (FLTURLSessionDelegate::URLSessionDidReceiveChallenge), even after invalidation; by default
// the connection is pinned to the client's certificates, so no request goes out unpinned
// unless its delegate chose the system's authorities.
// Thread-safe. Destroying the session cancels what still runs, without completions.
class FLTURLSession
{
public:
    // There is no platform session to prefer.
    static bool NSURLSessionShouldBeUsed() { return false; }

    // Nullptr for a missing configuration.
    static std::unique_ptr<FLTURLSession>
    sessionWithConfiguration(const std::optional<FLTURLSessionConfiguration> &configuration,
                             std::shared_ptr<FLTURLSessionDelegate> delegate = nullptr);

    ~FLTURLSession();
    FLTURLSession(const FLTURLSession &) = delete;
    FLTURLSession &operator=(const FLTURLSession &) = delete;

    // A task with a completion block tells the delegate nothing but server-trust challenges.
    std::shared_ptr<FLTURLSessionDataTask>
    dataTaskWithRequest(const FLTURLRequest &request,
                        FLTURLSessionTask::DataCompletion completionHandler = {});
    std::shared_ptr<FLTURLSessionUploadTask>
    uploadTaskWithRequest(const FLTURLRequest &request, const std::string &fromFile,
                          FLTURLSessionTask::DataCompletion completionHandler = {});
    // Nullptr when no temporary file could be made.
    std::shared_ptr<FLTURLSessionDownloadTask>
    downloadTaskWithRequest(const FLTURLRequest &request,
                            FLTURLSessionTask::DownloadCompletion completionHandler = {});
    std::shared_ptr<FLTURLSessionDownloadTask> downloadTaskWithURL(const std::string &url);

    // Cancels every live task (each completes with FLTURLErrorCancelled) and drops the
    // delegate; no new task starts afterwards.
    void invalidateAndCancel();
    // Drops the delegate; running tasks go on. No new task starts afterwards.
    void finishTasksAndInvalidate();
    bool isInvalidated() const;
    // The live tasks (made and not yet completed), by kind, on the session's thread.
    void getTasksWithCompletionHandler(
        std::function<void(std::vector<std::shared_ptr<FLTURLSessionTask>> dataTasks,
                           std::vector<std::shared_ptr<FLTURLSessionTask>> uploadTasks,
                           std::vector<std::shared_ptr<FLTURLSessionTask>> downloadTasks)>
            completionHandler);

    std::shared_ptr<FLTURLSessionDelegate> delegate() const;
    const FLTURLSessionConfiguration &configuration() const { return m_configuration; }
    std::string sessionDescription() const;
    void setSessionDescription(const std::string &description);

private:
    FLTURLSession(const FLTURLSessionConfiguration &configuration,
                  std::shared_ptr<FLTURLSessionDelegate> delegate);
    // Adds the task to the live set and the configuration's headers to its request.
    void configureTask(const std::shared_ptr<FLTURLSessionTask> &task);

    FLTURLSessionConfiguration m_configuration;
    std::shared_ptr<flt::detail::SessionCore> m_core;
};
