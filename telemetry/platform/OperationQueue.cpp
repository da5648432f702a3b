#include "OperationQueue.h"

#include "DispatchQueue.h"
#include "ExitGate.h"

#include <algorithm>

namespace tel {

namespace {
thread_local OperationQueue *t_currentOperationQueue = nullptr;
}

struct OperationQueue::State {
    OperationQueue *owner = nullptr;
    std::string name;
    int width = 4;
    std::unique_ptr<DispatchQueue> workers;
    mutable std::mutex mutex;
    std::condition_variable drained;
    std::vector<std::shared_ptr<Operation>> pending; // added, not started
    std::vector<std::shared_ptr<Operation>> running; // started, not finished
};

OperationQueue::OperationQueue(std::string name, int maxConcurrentOperationCount)
    : m_maxConcurrent(maxConcurrentOperationCount)
    , m_state(std::make_shared<State>())
{
    m_state->owner = this;
    m_state->name = std::move(name);
    m_state->width = maxConcurrentOperationCount > 0 ? maxConcurrentOperationCount : 4;
    m_state->workers = std::make_unique<DispatchQueue>(
        m_state->name.empty() ? std::string("com.quintora.telemetry.operations") : m_state->name,
        m_state->width);
}

OperationQueue::~OperationQueue()
{
    waitUntilAllOperationsAreFinished();
    std::unique_ptr<DispatchQueue> workers;
    {
        std::lock_guard lock(m_state->mutex);
        m_state->owner = nullptr;
        workers = std::move(m_state->workers);
    }
    workers.reset();
}

std::string OperationQueue::name() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->name;
}

void OperationQueue::addOperation(const std::shared_ptr<Operation> &operation)
{
    if (!operation)
        return;
    {
        std::lock_guard lock(m_state->mutex);
        m_state->pending.push_back(operation);
    }
    std::weak_ptr<State> weak = m_state;
    const auto reschedule = [weak] {
        if (auto state = weak.lock())
            schedule(state);
    };
    for (const auto &dependency : operation->dependencies())
        dependency->addFinishListener(reschedule);
    // Cancelling a waiting operation makes it startable at once.
    operation->addKeyObserver([reschedule](const std::string &key, bool prior) {
        if (!prior && key == "isCancelled")
            reschedule();
    });
    schedule(m_state);
}

std::shared_ptr<Operation> OperationQueue::addOperationWithBlock(std::function<void()> block)
{
    auto operation = std::make_shared<BlockOperation>(std::move(block));
    addOperation(operation);
    return operation;
}

void OperationQueue::addOperations(const std::vector<std::shared_ptr<Operation>> &operations,
                                   bool waitUntilFinished)
{
    for (const auto &operation : operations)
        addOperation(operation);
    if (waitUntilFinished)
        for (const auto &operation : operations)
            operation->waitUntilFinished();
}

void OperationQueue::cancelAllOperations()
{
    for (const auto &operation : operations())
        operation->cancel();
}

void OperationQueue::waitUntilAllOperationsAreFinished()
{
    // Once the process is exiting, what is still queued never runs: there is nothing to wait for.
    if (ExitGate::isClosed())
        return;
    std::unique_lock lock(m_state->mutex);
    m_state->drained.wait(lock,
                          [this] { return m_state->pending.empty() && m_state->running.empty(); });
}

std::vector<std::shared_ptr<Operation>> OperationQueue::operations() const
{
    std::lock_guard lock(m_state->mutex);
    std::vector<std::shared_ptr<Operation>> all = m_state->running;
    all.insert(all.end(), m_state->pending.begin(), m_state->pending.end());
    return all;
}

std::size_t OperationQueue::operationCount() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->running.size() + m_state->pending.size();
}

OperationQueue *OperationQueue::currentQueue()
{
    return t_currentOperationQueue;
}

void OperationQueue::schedule(const std::shared_ptr<State> &state)
{
    std::vector<std::shared_ptr<Operation>> toStart;
    {
        std::lock_guard lock(state->mutex);
        if (!state->workers)
            return;
        while (static_cast<int>(state->running.size()) < state->width) {
            // The oldest ready operation goes first, so a serial queue keeps the order of
            // addition among operations that do not wait for others.
            auto it =
                std::find_if(state->pending.begin(), state->pending.end(),
                             [](const auto &op) { return op->isCancelled() || op->isReady(); });
            if (it == state->pending.end())
                break;
            std::shared_ptr<Operation> operation = *it;
            state->pending.erase(it);
            state->running.push_back(operation);
            toStart.push_back(operation);
        }
    }
    for (const auto &operation : toStart) {
        std::weak_ptr<State> weak = state;
        operation->addFinishListener([weak, operation] {
            auto s = weak.lock();
            if (!s)
                return;
            {
                std::lock_guard lock(s->mutex);
                std::erase(s->running, operation);
            }
            s->drained.notify_all();
            schedule(s);
        });
        state->workers->async([weak, operation] {
            auto s = weak.lock();
            OperationQueue *previous = t_currentOperationQueue;
            t_currentOperationQueue = s ? s->owner : nullptr;
            operation->start();
            t_currentOperationQueue = previous;
        });
    }
    std::lock_guard lock(state->mutex);
    if (state->pending.empty() && state->running.empty())
        state->drained.notify_all();
}

} // namespace tel
