#include "TLYUploader.h"

#include "TLYLogger.h"

#include <algorithm>
#include <unistd.h>

class TLYUploader::SessionDelegate : public FLTURLSessionDelegate
{
public:
    explicit SessionDelegate(std::weak_ptr<TLYUploader> uploader)
        : m_uploader(std::move(uploader))
    {
    }

    void URLSessionDidCompleteWithError(FLTURLSession *, FLTURLSessionTask *task,
                                        const std::optional<tel::TelemetryError> &error) override
    {
        const auto uploader = m_uploader.lock();
        if (!uploader || !task)
            return;
        // Copied here: the task belongs to the session's thread.
        FLTURLRequest request = task->originalRequest();
        std::optional<FLTHTTPURLResponse> response = task->response();
        std::string name = task->taskDescription();
        std::weak_ptr<TLYUploader> weak = uploader;
        uploader->onQueue([weak, request = std::move(request), response = std::move(response),
                           name = std::move(name), error] {
            if (const auto self = weak.lock())
                self->taskCompleted(request, response, name, error);
        });
    }

    FLTURLSessionAuthChallengeDisposition
    URLSessionDidReceiveChallenge(FLTURLSession *,
                                  FLTURLAuthenticationChallenge &challenge) override
    {
        const auto uploader = m_uploader.lock();
        if (!uploader)
            return FLTURLSessionAuthChallengeDisposition::PerformDefaultHandling;
        if (const auto delegate = uploader->m_delegate.lock())
            return delegate->didReceiveChallenge(*uploader, challenge);
        return FLTURLSessionAuthChallengeDisposition::PerformDefaultHandling;
    }

    void
    URLSessionDidBecomeInvalidWithError(FLTURLSession *,
                                        const std::optional<tel::TelemetryError> &error) override
    {
        if (error)
            TLYLogger::sharedLogger().logWithLabel(
                "TLYUploader", "Error: session has become invalid " + PLNErrorDescription(*error));
    }

private:
    std::weak_ptr<TLYUploader> m_uploader;
};

std::shared_ptr<TLYUploader> TLYUploader::create(std::weak_ptr<tel::OperationQueue> queue,
                                                 std::weak_ptr<TLYUploaderDelegate> delegate)
{
    return std::shared_ptr<TLYUploader>(new TLYUploader(std::move(queue), std::move(delegate)));
}

TLYUploader::TLYUploader(std::weak_ptr<tel::OperationQueue> queue,
                         std::weak_ptr<TLYUploaderDelegate> delegate)
    : m_operationQueue(std::move(queue))
    , m_delegate(std::move(delegate))
{
}

TLYUploader::~TLYUploader() = default;

void TLYUploader::onQueue(std::function<void()> block)
{
    const auto queue = m_operationQueue.lock();
    if (!queue)
        return;
    if (tel::OperationQueue::currentQueue() == queue.get()) {
        block();
        return;
    }
    queue->addOperationWithBlock(std::move(block));
}

void TLYUploader::setDefaultUploadTimeout(double seconds)
{
    std::weak_ptr<TLYUploader> weak = weak_from_this();
    onQueue([weak, seconds] {
        if (const auto self = weak.lock()) {
            self->m_defaultUploadTimeout = seconds;
            if (self->m_session)
                self->m_session->finishTasksAndInvalidate();
            self->m_session.reset();
        }
    });
}

void TLYUploader::setLowPowerUploadTimeout(double seconds)
{
    std::weak_ptr<TLYUploader> weak = weak_from_this();
    onQueue([weak, seconds] {
        if (const auto self = weak.lock()) {
            self->m_lowPowerUploadTimeout = seconds;
            if (self->m_session)
                self->m_session->finishTasksAndInvalidate();
            self->m_session.reset();
        }
    });
}

void TLYUploader::attemptToReconnectBackgroundSessionWithCompletionBlock(
    std::function<void()> block)
{
    const auto queue = m_operationQueue.lock();
    if (block && queue)
        queue->addOperationWithBlock(std::move(block));
}

void TLYUploader::invalidate()
{
    std::weak_ptr<TLYUploader> weak = weak_from_this();
    onQueue([weak] {
        if (const auto self = weak.lock()) {
            self->m_invalidated = true;
            self->m_waiting.clear();
            self->m_session.reset();
        }
    });
}

FLTURLSession *TLYUploader::session()
{
    if (!m_session && !m_invalidated) {
        // No thermal states here, so the default time-out always applies.
        FLTURLSessionConfiguration configuration =
            FLTURLSessionConfiguration::defaultSessionConfiguration();
        configuration.setTimeoutIntervalForResource(m_defaultUploadTimeout);
        m_session = FLTURLSession::sessionWithConfiguration(
            configuration, std::make_shared<SessionDelegate>(weak_from_this()));
    }
    return m_session.get();
}

void TLYUploader::startUploadRequest(const FLTURLRequest &request, const std::string &filePath,
                                     const std::string &uniqueName)
{
    std::weak_ptr<TLYUploader> weak = weak_from_this();
    onQueue([weak, request, filePath, uniqueName] {
        const auto self = weak.lock();
        if (!self || self->m_invalidated)
            return;
        const bool waiting =
            std::any_of(self->m_waiting.begin(), self->m_waiting.end(),
                        [&](const Waiting &w) { return w.uniqueName == uniqueName; });
        if (self->m_liveNames.count(uniqueName) || waiting) {
            TLYLogger::sharedLogger().logWithLabel("TLYUploader", "A task currently exists for '"
                                                                      + uniqueName + "', skipping");
            return;
        }
        if (self->m_liveNames.size() >= kMaximumConcurrentUploads) {
            self->m_waiting.push_back({request, filePath, uniqueName});
            return;
        }
        self->startNewUploadRequest(request, filePath, uniqueName);
    });
}

tel::TelemetryError TLYUploader::errorWithCode(std::int64_t code, const std::string &path,
                                               const std::string &name) const
{
    tel::PlistValue::Dictionary info;
    info[kFilePathKey] = path.empty() ? std::string("(null)") : path;
    info[kUniqueNameKey] = name.empty() ? std::string("(null)") : name;
    return PLNMakeError("PLNNetworkError", code, std::move(info));
}

void TLYUploader::startNewUploadRequest(const FLTURLRequest &request, const std::string &filePath,
                                        const std::string &uniqueName)
{
    if (request.URL.empty() || filePath.empty() || uniqueName.empty()) {
        handleTaskDescription(uniqueName, errorWithCode(ErrorMissingParts, filePath, uniqueName));
        return;
    }
    if (::access(filePath.c_str(), R_OK) != 0) {
        handleTaskDescription(uniqueName, errorWithCode(ErrorUnreadableFile, filePath, uniqueName));
        return;
    }
    FLTURLSession *urlSession = session();
    if (!urlSession)
        return;
    const auto task = urlSession->uploadTaskWithRequest(request, filePath);
    if (!task)
        return;
    task->setTaskDescription(uniqueName);
    m_liveNames.insert(uniqueName);
    task->resume();
}

void TLYUploader::taskCompleted(const FLTURLRequest &request,
                                std::optional<FLTHTTPURLResponse> response, const std::string &name,
                                std::optional<tel::TelemetryError> error)
{
    m_liveNames.erase(name);
    if (m_invalidated)
        return;
    while (!m_waiting.empty() && m_liveNames.size() < kMaximumConcurrentUploads) {
        Waiting next = std::move(m_waiting.front());
        m_waiting.pop_front();
        startNewUploadRequest(next.request, next.filePath, next.uniqueName);
    }
    const auto delegate = m_delegate.lock();
    if (!delegate)
        return;
    std::weak_ptr<TLYUploader> weak = weak_from_this();
    delegate->completedRequest(
        *this, request, response, name, error,
        [weak, request, name](bool retry, std::optional<tel::TelemetryError> handlerError) {
            const auto self = weak.lock();
            if (!self)
                return;
            self->onQueue([weak, request, name, retry, handlerError] {
                const auto self = weak.lock();
                if (!self || self->m_invalidated)
                    return;
                if (!retry) {
                    self->handleTaskDescription(name, handlerError);
                    return;
                }
                TLYLogger::sharedLogger().log("Retrying task with name " + name);
                const auto delegate = self->m_delegate.lock();
                if (!delegate)
                    return;
                self->startUploadRequest(request, delegate->filePathForUniqueName(*self, name),
                                         name);
            });
        });
}

void TLYUploader::handleTaskDescription(const std::string &name,
                                        const std::optional<tel::TelemetryError> &error)
{
    if (const auto delegate = m_delegate.lock())
        delegate->didFinishUpload(*this, name, error);
}
