#include "framework/base/VRParkedWorkers.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <utility>

VRParkedWorkers::VRParkedWorkers(int wanted)
{
    const unsigned cores = std::thread::hardware_concurrency();
    const int most = cores > 1 ? int(cores) - 1 : 0;
    for (int k = 0; k < std::min(wanted, most); ++k) {
        try {
            std::thread(&VRParkedWorkers::work, this, k).detach();
        } catch (const std::system_error &) {
            break; // fewer threads: the callers do the rest themselves
        }
        ++m_count;
    }
}

bool VRParkedWorkers::run(const std::function<void(int)> &job,
                          const std::function<void()> &meanwhile)
{
    std::unique_lock use(m_use, std::try_to_lock);
    if (!use.owns_lock() || m_count == 0)
        return false;
    {
        std::lock_guard lock(m_mutex);
        m_job = &job;
        m_failure = nullptr;
        m_pending = m_count;
        ++m_round;
    }
    m_wake.notify_all();
    std::exception_ptr failure;
    const auto waitForWorkers = [&] {
        std::unique_lock lock(m_mutex);
        m_done.wait(lock, [this] { return m_pending == 0; });
        m_job = nullptr;
        failure = std::exchange(m_failure, nullptr);
    };
    try {
        meanwhile();
    } catch (...) {
        waitForWorkers(); // the job refers to the caller's frame
        throw;
    }
    waitForWorkers();
    if (failure)
        std::rethrow_exception(failure);
    return true;
}

void VRParkedWorkers::work(int k)
{
    quint64 seen = 0;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [&] { return m_round != seen; });
        seen = m_round;
        const std::function<void(int)> *job = m_job;
        lock.unlock();
        std::exception_ptr failure;
        try {
            (*job)(k);
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        if (failure && !m_failure)
            m_failure = failure;
        if (--m_pending == 0)
            m_done.notify_one();
    }
}
