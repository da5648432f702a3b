#include "Timer.h"

#include "DispatchQueue.h"
#include "ExitGate.h"
#include "ThreadStartHook.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

namespace tel {

using Clock = std::chrono::steady_clock;

namespace {
std::atomic<double> g_timeScale{1.0};
}

void Timer::setTimeScale(double scale)
{
    g_timeScale.store(scale > 0 ? scale : 1.0);
}

double Timer::timeScale()
{
    return g_timeScale.load();
}

// The one thread that waits for deadlines.
class TimerThread
{
public:
    static TimerThread &instance()
    {
        // Leaked: timers may fire while static objects are destroyed at exit.
        static TimerThread *thread = new TimerThread;
        return *thread;
    }

    void add(Clock::time_point when, std::shared_ptr<Timer> timer)
    {
        {
            std::lock_guard lock(m_mutex);
            m_timers.emplace(when, std::move(timer));
            if (!m_thread.joinable())
                m_thread = std::thread([this] { run(); });
        }
        m_wake.notify_one();
    }

private:
    void run()
    {
        ThreadStartHook::prepareCurrentThread();
        std::unique_lock lock(m_mutex);
        for (;;) {
            if (m_timers.empty()) {
                m_wake.wait(lock);
                continue;
            }
            const auto next = m_timers.begin()->first;
            if (Clock::now() < next) {
                m_wake.wait_until(lock, next);
                continue;
            }
            std::shared_ptr<Timer> timer = m_timers.begin()->second;
            m_timers.erase(m_timers.begin());
            if (!timer->isValid())
                continue;
            if (timer->m_repeatSeconds > 0)
                m_timers.emplace(next
                                     + std::chrono::duration_cast<Clock::duration>(
                                         std::chrono::duration<double>(timer->m_repeatSeconds)),
                                 timer);
            lock.unlock();
            {
                const ExitGate::Pass pass;
                ThreadStartHook::prepareCurrentThread();
                timer->fire();
            }
            lock.lock();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::multimap<Clock::time_point, std::shared_ptr<Timer>> m_timers;
    std::thread m_thread;
};

Timer::Timer(double repeatSeconds, DispatchQueue *queue, std::function<void()> block)
    : m_repeatSeconds(repeatSeconds)
    , m_queue(queue)
    , m_block(std::move(block))
{
}

std::shared_ptr<Timer> Timer::schedule(double delaySeconds, double repeatSeconds,
                                       DispatchQueue *queue, std::function<void()> block)
{
    const double scale = timeScale();
    delaySeconds *= scale;
    auto timer = std::make_shared<Timer>(repeatSeconds * scale, queue, std::move(block));
    if (!(delaySeconds > 0))
        delaySeconds = 0;
    // Cap absurd delays so the deadline arithmetic cannot overflow.
    if (delaySeconds > 1e9)
        delaySeconds = 1e9;
    const auto when =
        Clock::now()
        + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(delaySeconds));
    TimerThread::instance().add(when, timer);
    return timer;
}

void Timer::cancel()
{
    m_valid.store(false);
}

void Timer::fire()
{
    if (!isValid())
        return;
    if (m_repeatSeconds <= 0)
        m_valid.store(false);
    if (!m_queue) {
        m_block();
        return;
    }
    m_queue->async(m_block);
}

} // namespace tel
