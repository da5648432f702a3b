#pragma once

#include <atomic>
#include <functional>
#include <memory>

namespace tel {

class DispatchQueue;

// One-shot and repeating timers, driven by one shared timer thread. A timer's block runs on
// the given queue (or on the timer thread itself when the queue is null, so it must be short).
// Thread-safe. The queue must outlive the timer or the timer must be cancelled first.
class Timer
{
public:
    // Fires after `delaySeconds`, then every `repeatSeconds` when that is above 0.
    static std::shared_ptr<Timer> schedule(double delaySeconds, double repeatSeconds,
                                           DispatchQueue *queue, std::function<void()> block);

    // Multiplies every delay and interval scheduled from now on (tests run long waits fast).
    static void setTimeScale(double scale);
    static double timeScale();

    // No firing after this returns (a firing already handed to its queue still runs).
    void cancel();
    bool isValid() const { return m_valid.load(); }
    double repeatSeconds() const { return m_repeatSeconds; }

    Timer(double repeatSeconds, DispatchQueue *queue, std::function<void()> block);

private:
    friend class TimerThread;
    void fire();

    double m_repeatSeconds = 0;
    DispatchQueue *m_queue = nullptr;
    std::function<void()> m_block;
    std::atomic<bool> m_valid{true};
};

} // namespace tel
