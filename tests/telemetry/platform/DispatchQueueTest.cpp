#include "telemetry/platform/DispatchQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

using namespace std::chrono_literals;

TEST(TelemetryDispatchQueue, SerialQueueRunsBlocksInOrderOnItsOwnThread)
{
    tel::DispatchQueue queue("com.quintora.test.serial");
    std::vector<int> order;
    std::atomic<int> concurrent{0}, maxConcurrent{0};
    for (int i = 0; i < 100; ++i)
        queue.async([&, i] {
            const int now = ++concurrent;
            maxConcurrent = std::max(maxConcurrent.load(), now);
            order.push_back(i);
            EXPECT_TRUE(queue.isCurrent());
            EXPECT_STREQ(tel::DispatchQueue::currentLabel(), "com.quintora.test.serial");
            --concurrent;
        });
    queue.sync([] {});
    ASSERT_EQ(order.size(), 100u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(order[i], i);
    EXPECT_EQ(maxConcurrent.load(), 1);
    EXPECT_FALSE(queue.isCurrent());
    // sync from inside the queue runs at once instead of deadlocking.
    bool inner = false;
    queue.sync([&] { queue.sync([&] { inner = true; }); });
    EXPECT_TRUE(inner);
}

TEST(TelemetryDispatchQueue, ConcurrentQueueUsesSeveralWorkers)
{
    // Declared before the queue: its workers still read them until its destructor joins them.
    std::atomic<int> running{0};
    std::promise<void> allThree;
    std::atomic<bool> released{false};
    tel::DispatchQueue queue("com.quintora.test.concurrent", 3);
    for (int i = 0; i < 3; ++i)
        queue.async([&] {
            if (++running == 3)
                allThree.set_value();
            while (!released)
                std::this_thread::sleep_for(1ms);
        });
    EXPECT_EQ(allThree.get_future().wait_for(5s), std::future_status::ready);
    released = true;
}
