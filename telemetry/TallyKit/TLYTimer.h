#pragma once

#include "telemetry/platform/OperationQueue.h"
#include "telemetry/platform/Timer.h"

#include <functional>
#include <memory>
#include <string>

// A repeating timer whose block is added to an operation queue every interval, the first time
// one interval after creation. Destroying the timer stops it. Thread-safe.
class TLYTimer
{
public:
    TLYTimer(double timeInterval, std::weak_ptr<tel::OperationQueue> queue,
             std::string timerIdentifier, std::function<void()> block);
    ~TLYTimer();
    TLYTimer(const TLYTimer &) = delete;
    TLYTimer &operator=(const TLYTimer &) = delete;

    const std::string &timerIdentifier() const { return m_timerIdentifier; }
    double timeInterval() const { return m_timeInterval; }
    // Adds the block to the queue once.
    void executeBlock();

private:
    double m_timeInterval;
    std::weak_ptr<tel::OperationQueue> m_queue;
    std::string m_timerIdentifier;
    std::function<void()> m_timerBlock;
    std::shared_ptr<tel::Timer> m_timerSource;
};
