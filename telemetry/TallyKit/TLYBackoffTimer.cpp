#include "TLYBackoffTimer.h"

#include "telemetry/platform/SystemLog.h"
#include "telemetry/platform/Timer.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace {

double unitRandom()
{
    static std::mutex mutex;
    static std::mt19937_64 engine{std::random_device{}()};
    std::lock_guard lock(mutex);
    return std::uniform_real_distribution<double>(0.0, 1.0)(engine);
}

} // namespace

TLYBackoffTimer::TLYBackoffTimer()
    : TLYBackoffTimer(0.0)
{
}

TLYBackoffTimer::TLYBackoffTimer(double initialValue)
    : TLYBackoffTimer(initialValue, static_cast<double>(0.1f))
{
}

TLYBackoffTimer::TLYBackoffTimer(double initialValue, double jitterCoefficient)
    : m_initialValue(initialValue)
    , m_jitterCoefficient(jitterCoefficient)
{
    if (!jitterCoefficientIsValid(jitterCoefficient)) {
        tel::SystemLog::log("[Tally] Invalid parameter not satisfying: [TLYBackoffTimer "
                            "jitterCoefficientIsValid:jitterCoefficient]");
        m_jitterCoefficient = 0.1;
    }
}

bool TLYBackoffTimer::jitterCoefficientIsValid(double jitterCoefficient)
{
    return jitterCoefficient >= 0 && jitterCoefficient < 1;
}

std::uint64_t TLYBackoffTimer::retryCount() const
{
    std::lock_guard lock(m_mutex);
    return m_retryCount;
}

double TLYBackoffTimer::delayForRetry(std::uint64_t retry, double unit, double minimumDelay) const
{
    const double exponent = static_cast<double>(std::max<std::uint64_t>(retry, 1));
    const double jitter = (1.0 - m_jitterCoefficient) + unit * 2.0 * m_jitterCoefficient;
    double delay = std::pow(2.0, exponent) * jitter;
    if (!std::isfinite(delay) || delay > kMaximumDelay)
        delay = kMaximumDelay;
    double floor = minimumDelay;
    if (!std::isfinite(floor) || floor > kMaximumRetryAfter)
        floor = kMaximumRetryAfter;
    return std::max(delay, floor);
}

double TLYBackoffTimer::executeBlockAfterNextInterval(std::function<void()> block,
                                                      double minimumDelay,
                                                      const Scheduler &scheduler)
{
    std::uint64_t retry = 0;
    {
        std::lock_guard lock(m_mutex);
        retry = ++m_retryCount;
    }
    const double delay = delayForRetry(retry, unitRandom(), minimumDelay);
    if (scheduler)
        scheduler(delay, std::move(block));
    else
        tel::Timer::schedule(delay, 0, nullptr, std::move(block));
    return delay;
}
