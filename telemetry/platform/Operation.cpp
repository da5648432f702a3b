#include "Operation.h"

#include "DispatchQueue.h"
#include "ExitGate.h"

namespace tel {

void Operation::start()
{
    if (isFinished() || isExecuting())
        return;
    if (isCancelled()) {
        willChangeValueForKey("isFinished");
        m_finished.store(true);
        didChangeValueForKey("isFinished");
        return;
    }
    willChangeValueForKey("isExecuting");
    m_executing.store(true);
    didChangeValueForKey("isExecuting");
    main();
    willChangeValueForKey("isExecuting");
    m_executing.store(false);
    didChangeValueForKey("isExecuting");
    willChangeValueForKey("isFinished");
    m_finished.store(true);
    didChangeValueForKey("isFinished");
}

void Operation::cancel()
{
    if (isCancelled() || isFinished())
        return;
    willChangeValueForKey("isCancelled");
    m_cancelled.store(true);
    // A queue that holds the operation starts it now, so that it finishes.
    didChangeValueForKey("isCancelled");
}

bool Operation::isReady() const
{
    std::lock_guard lock(m_mutex);
    for (const auto &dependency : m_dependencies)
        if (!dependency->isFinished())
            return false;
    return true;
}

void Operation::addDependency(const std::shared_ptr<Operation> &operation)
{
    if (!operation || operation.get() == this)
        return;
    std::lock_guard lock(m_mutex);
    m_dependencies.push_back(operation);
}

std::vector<std::shared_ptr<Operation>> Operation::dependencies() const
{
    std::lock_guard lock(m_mutex);
    return m_dependencies;
}

void Operation::setCompletionBlock(std::function<void()> block)
{
    std::lock_guard lock(m_mutex);
    m_completionBlock = std::move(block);
}

void Operation::setName(std::string name)
{
    std::lock_guard lock(m_mutex);
    m_name = std::move(name);
}

std::string Operation::name() const
{
    std::lock_guard lock(m_mutex);
    return m_name;
}

void Operation::waitUntilFinished()
{
    // Once the process is exiting, an operation that has not run never will.
    if (ExitGate::isClosed())
        return;
    std::unique_lock lock(m_mutex);
    m_finishedCondition.wait(lock, [this] { return m_finishAnnounced || isFinished(); });
}

int Operation::addKeyObserver(KeyObserver observer)
{
    std::lock_guard lock(m_mutex);
    const int id = m_nextObserverId++;
    m_keyObservers.emplace_back(id, std::move(observer));
    return id;
}

void Operation::removeKeyObserver(int id)
{
    std::lock_guard lock(m_mutex);
    std::erase_if(m_keyObservers, [id](const auto &entry) { return entry.first == id; });
}

void Operation::willChangeValueForKey(const std::string &key)
{
    std::vector<std::pair<int, KeyObserver>> observers;
    {
        std::lock_guard lock(m_mutex);
        observers = m_keyObservers;
    }
    for (const auto &entry : observers)
        entry.second(key, true);
}

void Operation::didChangeValueForKey(const std::string &key)
{
    std::vector<std::pair<int, KeyObserver>> observers;
    {
        std::lock_guard lock(m_mutex);
        observers = m_keyObservers;
    }
    for (const auto &entry : observers)
        entry.second(key, false);
    if (key == "isFinished")
        notifyIfFinished();
}

void Operation::addFinishListener(std::function<void()> listener)
{
    bool finishedAlready = false;
    {
        std::lock_guard lock(m_mutex);
        finishedAlready = m_finishAnnounced;
        if (!finishedAlready)
            m_finishListeners.push_back(listener);
    }
    if (finishedAlready)
        listener(); // called by the queue itself, outside any operation's lock
}

void Operation::notifyIfFinished()
{
    if (!isFinished())
        return;
    std::function<void()> completion;
    std::vector<std::function<void()>> listeners;
    {
        std::lock_guard lock(m_mutex);
        if (m_finishAnnounced)
            return;
        m_finishAnnounced = true;
        completion = std::move(m_completionBlock);
        m_completionBlock = nullptr;
        listeners.swap(m_finishListeners);
    }
    m_finishedCondition.notify_all();
    // Queues learn of the finish on a queue of their own, and completion blocks run on
    // another: neither runs inside the finishing thread's locks.
    static DispatchQueue *scheduling = new DispatchQueue("com.quintora.telemetry.operation-finish");
    static DispatchQueue *completions =
        new DispatchQueue("com.quintora.telemetry.operation-completion", 4);
    if (completion)
        completions->async(std::move(completion));
    if (!listeners.empty())
        scheduling->async([listeners = std::move(listeners)] {
            for (const auto &listener : listeners)
                listener();
        });
}

} // namespace tel
