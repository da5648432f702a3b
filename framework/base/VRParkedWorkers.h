#pragma once

#include <QtGlobal>

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>

// A few threads started once and parked between jobs, so that work split over several
// threads starts none. One job at a time: a caller that finds the workers busy does its work
// alone. Instances are made once and never destroyed; their threads end with the process.
class VRParkedWorkers
{
public:
    // Up to `wanted` threads, and never more than the cores but one.
    explicit VRParkedWorkers(int wanted);
    VRParkedWorkers(const VRParkedWorkers &) = delete;
    VRParkedWorkers &operator=(const VRParkedWorkers &) = delete;

    int count() const { return m_count; }
    // Runs job(k) on each worker k while the calling thread runs `meanwhile`, and returns once
    // all are done. False, with nothing run, when another caller has the workers or there are
    // none. What a worker throws is thrown again here once every worker is done.
    bool run(const std::function<void(int)> &job, const std::function<void()> &meanwhile);

private:
    void work(int k);

    std::mutex m_use; // held by the caller that has the workers
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    const std::function<void(int)> *m_job = nullptr;
    std::exception_ptr m_failure;
    quint64 m_round = 0;
    int m_pending = 0;
    int m_count = 0;
};
