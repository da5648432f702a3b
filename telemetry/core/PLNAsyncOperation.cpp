#include "PLNAsyncOperation.h"

PLNAsyncOperation::PLNAsyncOperation() = default;

bool PLNAsyncOperation::isExecuting() const
{
    std::lock_guard guard(m_lock);
    return internalExecuting;
}

bool PLNAsyncOperation::isFinished() const
{
    std::lock_guard guard(m_lock);
    return internalFinished;
}

void PLNAsyncOperation::start()
{
    if (checkForCancellation())
        return;
    markStarted();
    main();
}

void PLNAsyncOperation::finishWithError(const std::optional<tel::TelemetryError> &error)
{
    Completion completion;
    {
        // The first call claims the finish; a second one, even while the first is still running
        // the completion on another thread, does nothing.
        std::lock_guard guard(m_lock);
        if (internalFinished || finishClaimed)
            return;
        finishClaimed = true;
        completion = asyncCompletion;
    }
    if (completion)
        completion(error);
    markDone();
}

bool PLNAsyncOperation::checkForCancellation()
{
    if (!isCancelled())
        return false;
    markDone();
    return true;
}

void PLNAsyncOperation::markStarted()
{
    lock([this] { changeValueForKey("isExecuting", [this] { internalExecuting = true; }); });
}

void PLNAsyncOperation::markDone()
{
    lock([this] {
        if (internalFinished)
            return;
        changeValueForKey("isExecuting", [this] { internalExecuting = false; });
        changeValueForKey("isFinished", [this] { internalFinished = true; });
    });
}

void PLNAsyncOperation::lock(const std::function<void()> &block) const
{
    std::lock_guard guard(m_lock);
    if (block)
        block();
}

void PLNAsyncOperation::changeValueForKey(const std::string &key,
                                          const std::function<void()> &block)
{
    willChangeValueForKey(key);
    if (block)
        block();
    didChangeValueForKey(key);
}

void PLNAsyncOperation::setAsyncCompletion(Completion completion)
{
    std::lock_guard guard(m_lock);
    asyncCompletion = std::move(completion);
}
