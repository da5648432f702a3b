#include "DispatchQueue.h"

#include "ExitGate.h"
#include "ThreadStartHook.h"
#include "Timer.h"

#include <pthread.h>

namespace tel {

namespace {
thread_local DispatchQueue *t_currentQueue = nullptr;
}

DispatchQueue::DispatchQueue(std::string label, int width)
    : m_label(std::move(label))
    , m_width(width < 1 ? 1 : width)
{
}

DispatchQueue::~DispatchQueue()
{
    std::vector<std::thread> workers;
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        workers.swap(m_workers);
    }
    m_wake.notify_all();
    // Once the process is exiting, workers may wait at the closed gate for good.
    const bool exiting = ExitGate::isClosed();
    for (std::thread &worker : workers) {
        if (exiting || worker.get_id() == std::this_thread::get_id())
            worker.detach();
        else
            worker.join();
    }
}

void DispatchQueue::async(std::function<void()> block)
{
    if (!block)
        return;
    std::lock_guard lock(m_mutex);
    m_blocks.push_back(std::move(block));
    if (m_idle == 0 && static_cast<int>(m_workers.size()) < m_width)
        m_workers.emplace_back([this] { workerLoop(); });
    // Signalled under the lock: once a worker can see the block, the queue may be destroyed
    // (its last block has run), and this thread must no longer touch the condition then.
    m_wake.notify_one();
}

void DispatchQueue::sync(const std::function<void()> &block)
{
    if (!block)
        return;
    // No worker starts a block once the process is exiting: the caller runs it itself.
    if (isCurrent() || ExitGate::isClosed()) {
        block();
        return;
    }
    std::mutex doneMutex;
    std::condition_variable doneCondition;
    bool done = false;
    async([&] {
        block();
        std::lock_guard lock(doneMutex);
        done = true;
        doneCondition.notify_one();
    });
    std::unique_lock lock(doneMutex);
    doneCondition.wait(lock, [&] { return done; });
}

void DispatchQueue::asyncAfter(double seconds, std::function<void()> block)
{
    Timer::schedule(seconds, 0, this, std::move(block));
}

bool DispatchQueue::isCurrent() const
{
    return t_currentQueue == this;
}

DispatchQueue *DispatchQueue::current()
{
    return t_currentQueue;
}

const char *DispatchQueue::currentLabel()
{
    return t_currentQueue ? t_currentQueue->m_label.c_str() : nullptr;
}

DispatchQueue &DispatchQueue::global()
{
    // Leaked on purpose: blocks may still run while static objects are destroyed at exit.
    static DispatchQueue *queue = new DispatchQueue("com.quintora.telemetry.global", 4);
    return *queue;
}

void DispatchQueue::workerLoop()
{
    ThreadStartHook::prepareCurrentThread();
    t_currentQueue = this;
    {
        const std::string name =
            m_label.size() > 15 ? m_label.substr(m_label.size() - 15) : m_label;
        pthread_setname_np(pthread_self(), name.c_str());
    }
    std::unique_lock lock(m_mutex);
    for (;;) {
        ++m_idle;
        m_wake.wait(lock, [this] { return m_stopping || !m_blocks.empty(); });
        --m_idle;
        if (m_blocks.empty())
            break; // stopping and drained
        std::function<void()> block = std::move(m_blocks.front());
        m_blocks.pop_front();
        lock.unlock();
        {
            const ExitGate::Pass pass;
            ThreadStartHook::prepareCurrentThread();
            block();
            block = nullptr;
        }
        lock.lock();
    }
    t_currentQueue = nullptr;
}

} // namespace tel
