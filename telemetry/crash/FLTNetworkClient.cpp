#include "FLTNetworkClient.h"

#include "FLTSDKLog.h"
#include "telemetry/core/PLNNetworkResponseHandler.h"
#include "telemetry/platform/SystemLog.h"
#include "telemetry/platform/ExitGate.h"
#include "telemetry/platform/ThreadStartHook.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

// Receives the session's callbacks and hands them to the client on its work queue.
class FLTNetworkClient::SessionDelegate : public FLTURLSessionDelegate
{
public:
    SessionDelegate(std::weak_ptr<FLTNetworkClient> client,
                    std::shared_ptr<PLNCertificatePinner> pinner)
        : m_client(std::move(client))
        , m_pinner(std::move(pinner))
    {
    }

    void URLSessionDidCompleteWithError(FLTURLSession *, FLTURLSessionTask *task,
                                        const std::optional<tel::TelemetryError> &error) override
    {
        auto client = m_client.lock();
        if (!client || !task)
            return;
        const FLTURLRequest request = task->originalRequest();
        const std::string description = task->taskDescription();
        const auto response = task->response();
        client->m_operationQueue->addOperationWithBlock(
            [weak = m_client, request, description, response, error] {
                if (auto self = weak.lock())
                    self->handleTaskCompleted(request, description, response, error);
            });
    }

    void
    URLSessionDidBecomeInvalidWithError(FLTURLSession *,
                                        const std::optional<tel::TelemetryError> &error) override
    {
        tel::SystemLog::debug("[Faultline:Crash:Client] session became invalid: "
                              + (error ? PLNErrorDescription(*error) : std::string("(null)")));
    }

    FLTURLSessionAuthChallengeDisposition
    URLSessionDidReceiveChallenge(FLTURLSession *,
                                  FLTURLAuthenticationChallenge &challenge) override
    {
        // Pinned whatever the debug flag says.
        return m_pinner && m_pinner->handleChallenge(challenge)
                   ? FLTURLSessionAuthChallengeDisposition::UseCredential
                   : FLTURLSessionAuthChallengeDisposition::CancelAuthenticationChallenge;
    }

private:
    std::weak_ptr<FLTNetworkClient> m_client;
    std::shared_ptr<PLNCertificatePinner> m_pinner;
};

namespace {

void defaultScheduler(double seconds, std::function<void()> work)
{
    std::thread([seconds, work = std::move(work)] {
        tel::ThreadStartHook::prepareCurrentThread();
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        const tel::ExitGate::Pass pass;
        work();
    }).detach();
}

bool readable(const std::string &path)
{
    const int descriptor = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    close(descriptor);
    return true;
}

} // namespace

std::shared_ptr<FLTNetworkClient>
FLTNetworkClient::create(std::shared_ptr<tel::OperationQueue> queue,
                         std::shared_ptr<const FLTFileManager> fileManager,
                         std::weak_ptr<FLTNetworkClientDelegate> delegate)
{
    std::shared_ptr<FLTNetworkClient> client(
        new FLTNetworkClient(std::move(queue), std::move(fileManager), std::move(delegate)));
    return client;
}

FLTNetworkClient::FLTNetworkClient(std::shared_ptr<tel::OperationQueue> queue,
                                   std::shared_ptr<const FLTFileManager> fileManager,
                                   std::weak_ptr<FLTNetworkClientDelegate> delegate)
    : m_operationQueue(std::move(queue))
    , m_fileManager(std::move(fileManager))
    , m_delegate(std::move(delegate))
    , m_certPinner(pinner())
    , m_scheduler(defaultScheduler)
{
    if (auto strong = m_delegate.lock())
        m_canUseBackgroundSession = strong->networkClientCanUseBackgroundSessions(this);
    if (!supportsBackgroundRequests())
        tel::SystemLog::debug("[Faultline:Crash:Client] Background session uploading not "
                              "supported, asynchronous uploading will be used");
}

FLTNetworkClient::~FLTNetworkClient()
{
    std::unique_ptr<FLTURLSession> session;
    {
        std::lock_guard lock(m_mutex);
        session = std::move(m_session);
    }
    if (session)
        session->invalidateAndCancel();
}

std::shared_ptr<PLNCertificatePinner> FLTNetworkClient::pinner()
{
    return std::make_shared<PLNCertificatePinner>(PLNCertificatePinner::pinnedCertificates());
}

bool FLTNetworkClient::supportsBackgroundRequests() const
{
    // No background sessions on this platform.
    return NSURLSessionAvailable() && m_canUseBackgroundSession;
}

void FLTNetworkClient::attemptToReconnectBackgroundSessionWithCompletionBlock(
    const std::function<void()> &block)
{
    if (block)
        block();
}

FLTURLSession *FLTNetworkClient::session()
{
    std::lock_guard lock(m_mutex);
    if (!m_session) {
        m_session = FLTURLSession::sessionWithConfiguration(
            FLTURLSessionConfiguration::defaultSessionConfiguration(),
            std::make_shared<SessionDelegate>(weak_from_this(), m_certPinner));
        if (!m_session)
            tel::SystemLog::log("[Faultline:Crash:Client] Failed to initialize");
    }
    return m_session.get();
}

void FLTNetworkClient::setScheduler(Scheduler scheduler)
{
    std::lock_guard lock(m_mutex);
    m_scheduler = scheduler ? std::move(scheduler) : Scheduler(defaultScheduler);
}

bool FLTNetworkClient::hasUploadForPath(const std::string &path) const
{
    const auto relative = relativeTaskPathForAbsolutePath(path);
    std::lock_guard lock(m_mutex);
    return relative && m_inFlight.count(*relative) > 0;
}

double FLTNetworkClient::retryDelay(double retryAfter, unsigned attempt)
{
    const double grown = std::ldexp(1.0, static_cast<int>(std::clamp(attempt, 1u, 30u)));
    const double serverMinimum = std::isfinite(retryAfter) ? std::max(retryAfter, 0.0) : 0.0;
    return std::min(std::max(grown, serverMinimum), kMaxRetryDelay);
}

std::optional<std::string>
FLTNetworkClient::relativeTaskPathForAbsolutePath(const std::string &path) const
{
    const std::string &root = m_fileManager->rootPath();
    if (path.size() <= root.size() + 1 || path.compare(0, root.size(), root) != 0
        || path[root.size()] != '/') {
        FLT_WARN("Error: path '%s' is not at the root '%s'", path.c_str(), root.c_str());
        return std::nullopt;
    }
    return path.substr(root.size() + 1);
}

std::string FLTNetworkClient::absolutePathForRelativeTaskPath(const std::string &path) const
{
    return m_fileManager->rootPath() + "/" + path;
}

void FLTNetworkClient::startUploadRequest(const FLTURLRequest &request, const std::string &filePath,
                                          bool immediately)
{
    if (immediately && !supportsBackgroundRequests()) {
        uploadSynchronously(request, filePath);
        return;
    }
    const auto description = relativeTaskPathForAbsolutePath(filePath);
    if (!description)
        return;
    {
        std::lock_guard lock(m_mutex);
        if (!m_inFlight.insert(*description).second) {
            tel::SystemLog::debug(
                "[Faultline:Crash:Client] A task currently exists for this upload, skipping");
            return;
        }
        m_retries.erase(*description);
    }
    m_operationQueue->addOperationWithBlock([weak = weak_from_this(), request, filePath] {
        if (auto self = weak.lock())
            self->startNewUploadRequest(request, filePath);
    });
}

void FLTNetworkClient::startNewUploadRequest(const FLTURLRequest &request,
                                             const std::string &filePath)
{
    const std::string description = relativeTaskPathForAbsolutePath(filePath).value_or("");
    FLTURLSession *urlSession = readable(filePath) ? session() : nullptr;
    std::shared_ptr<FLTURLSessionUploadTask> task;
    if (urlSession)
        task = urlSession->uploadTaskWithRequest(request, filePath);
    if (!task) {
        handleTaskDescriptionCompleted(
            description,
            PLNMakeError(kNetworkErrorDomain, -2, {{"path", tel::PlistValue(filePath)}}));
        return;
    }
    task->setTaskDescription(description);
    task->resume();
}

void FLTNetworkClient::handleTaskCompleted(const FLTURLRequest &request,
                                           const std::string &description,
                                           const std::optional<FLTHTTPURLResponse> &response,
                                           const std::optional<tel::TelemetryError> &error)
{
    // The server took the package: whatever it says about the body's type, it is not sent again.
    if (!error && response && response->statusCode >= 200 && response->statusCode < 300) {
        handleTaskDescriptionCompleted(description, std::nullopt);
        return;
    }
    bool retry = false;
    std::optional<tel::TelemetryError> outcome;
    PLNNetworkResponseHandler::handleCompletedResponse(
        response, request, error, [&](bool shouldRetry, std::optional<tel::TelemetryError> e) {
            retry = shouldRetry;
            outcome = std::move(e);
        });
    if (retry) {
        unsigned attempt = 0;
        {
            std::lock_guard lock(m_mutex);
            attempt = ++m_retries[description];
        }
        if (attempt <= kMaxRetries) {
            restartTask(request, description, response);
            return;
        }
    }
    handleTaskDescriptionCompleted(description, outcome);
}

void FLTNetworkClient::restartTask(const FLTURLRequest &request, const std::string &description,
                                   const std::optional<FLTHTTPURLResponse> &response)
{
    unsigned attempt = 0;
    Scheduler scheduler;
    {
        std::lock_guard lock(m_mutex);
        attempt = m_retries[description];
        scheduler = m_scheduler;
    }
    const double delay =
        retryDelay(PLNNetworkResponseHandler::retryValueForResponse(response), attempt);
    scheduler(delay, [weak = weak_from_this(), request, description] {
        auto self = weak.lock();
        if (!self)
            return;
        self->m_operationQueue->addOperationWithBlock([weak, request, description] {
            if (auto client = weak.lock())
                client->startNewUploadRequest(request,
                                              client->absolutePathForRelativeTaskPath(description));
        });
    });
}

void FLTNetworkClient::handleTaskDescriptionCompleted(
    const std::string &description, const std::optional<tel::TelemetryError> &error)
{
    {
        std::lock_guard lock(m_mutex);
        m_inFlight.erase(description);
        m_retries.erase(description);
    }
    if (auto delegate = m_delegate.lock())
        delegate->networkClientDidFinishUploadWithPath(
            this, absolutePathForRelativeTaskPath(description), error);
}

void FLTNetworkClient::uploadSynchronously(const FLTURLRequest &request,
                                           const std::string &filePath)
{
    if (!readable(filePath)) {
        FLT_WARN("Error: file unreadable");
        return;
    }
    FLTURLSession *urlSession = session();
    if (!urlSession)
        return;
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::optional<FLTHTTPURLResponse> response;
    std::optional<tel::TelemetryError> error;
    auto task = urlSession->uploadTaskWithRequest(request, filePath,
                                                  [&](std::optional<std::string>,
                                                      std::optional<FLTHTTPURLResponse> r,
                                                      std::optional<tel::TelemetryError> e) {
                                                      std::lock_guard lock(mutex);
                                                      response = std::move(r);
                                                      error = std::move(e);
                                                      finished = true;
                                                      done.notify_all();
                                                  });
    if (!task)
        return;
    task->resume();
    {
        std::unique_lock lock(mutex);
        // The request's own time-out ends it; the extra second only guards against a lost end.
        if (!done.wait_for(lock, std::chrono::duration<double>(request.timeoutInterval + 1.0),
                           [&] { return finished; })) {
            lock.unlock();
            task->cancel();
            lock.lock();
            done.wait(lock, [&] { return finished; });
        }
    }
    std::int64_t type = PLNClientResponseTypeInvalid;
    PLNNetworkResponseHandler::clientResponseType(response,
                                                  [&](std::int64_t t, long) { type = t; });
    // Any other outcome leaves the package for a later launch.
    if (!error && type == PLNClientResponseTypeSuccess)
        if (auto delegate = m_delegate.lock())
            delegate->networkClientDidFinishUploadWithPath(this, filePath, std::nullopt);
}
