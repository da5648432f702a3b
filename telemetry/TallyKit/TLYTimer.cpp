#include "TLYTimer.h"

TLYTimer::TLYTimer(double timeInterval, std::weak_ptr<tel::OperationQueue> queue,
                   std::string timerIdentifier, std::function<void()> block)
    : m_timeInterval(timeInterval)
    , m_queue(std::move(queue))
    , m_timerIdentifier(std::move(timerIdentifier))
    , m_timerBlock(std::move(block))
{
    // The timer thread only hands the block over; the work runs on the queue.
    m_timerSource = tel::Timer::schedule(m_timeInterval, m_timeInterval, nullptr,
                                         [queue = m_queue, block = m_timerBlock] {
                                             if (const auto q = queue.lock())
                                                 q->addOperationWithBlock(block);
                                         });
}

TLYTimer::~TLYTimer()
{
    if (m_timerSource)
        m_timerSource->cancel();
}

void TLYTimer::executeBlock()
{
    if (const auto queue = m_queue.lock())
        queue->addOperationWithBlock(m_timerBlock);
}
