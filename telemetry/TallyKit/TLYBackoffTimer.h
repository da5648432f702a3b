#pragma once

#include <cstdint>
#include <functional>
#include <mutex>

// The growing wait before each retry of one package: about 2^n seconds for the n-th retry,
// jittered by the coefficient (10 % by default) and capped at an hour, and never less than what
// the server asked for with Retry-After. Thread-safe.
class TLYBackoffTimer
{
public:
    // Runs `work` after `seconds`.
    using Scheduler = std::function<void(double seconds, std::function<void()> work)>;

    static constexpr double kMaximumDelay = 3600.0;
    static constexpr double kMaximumRetryAfter = 86400.0;

    TLYBackoffTimer();
    explicit TLYBackoffTimer(double initialValue);
    // The coefficient must satisfy jitterCoefficientIsValid (0 <= c < 1); another one counts as
    // 0.1.
    TLYBackoffTimer(double initialValue, double jitterCoefficient);

    static bool jitterCoefficientIsValid(double jitterCoefficient);

    double initialValue() const { return m_initialValue; }
    double jitterCoefficient() const { return m_jitterCoefficient; }
    std::uint64_t retryCount() const;

    // Counts one more retry and runs the block after its wait, through the scheduler (by
    // default the client's timer thread). `minimumDelay` is the Retry-After of the answer that
    // asked for this retry (0 without one). Answers the wait in seconds.
    double executeBlockAfterNextInterval(std::function<void()> block, double minimumDelay = 0,
                                         const Scheduler &scheduler = {});
    // The wait of the given retry for a unit random number in [0, 1).
    double delayForRetry(std::uint64_t retry, double unitRandom, double minimumDelay) const;

private:
    double m_initialValue = 0;
    double m_jitterCoefficient = 0.1;
    mutable std::mutex m_mutex;
    std::uint64_t m_retryCount = 0;
};
