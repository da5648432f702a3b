#include "telemetry/platform/Timer.h"

#include "common/WaitUntil.h"
#include "telemetry/platform/DispatchQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace std::chrono_literals;
using qnt::test::waitUntil;

TEST(TelemetryTimer, OneShotRepeatingAndCancelled)
{
    // Declared before the queue, which joins its worker when it goes.
    std::atomic<int> once{0}, repeated{0}, cancelled{0};
    std::atomic<long long> firedAfterMs{-1};
    const auto start = std::chrono::steady_clock::now();
    tel::DispatchQueue queue("com.quintora.test.timers");
    queue.asyncAfter(0.05, [&] {
        ++once;
        firedAfterMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - start)
                           .count();
    });
    auto repeating = tel::Timer::schedule(0.01, 0.01, &queue, [&] { ++repeated; });
    // Due with the one-shot block, so by the time that has run this one would have too.
    auto dropped = tel::Timer::schedule(0.05, 0, &queue, [&] { ++cancelled; });
    dropped->cancel();
    EXPECT_TRUE(waitUntil([&] { return once.load() == 1 && repeated.load() >= 3; }));
    repeating->cancel();
    EXPECT_GE(firedAfterMs.load(), 45);
    std::this_thread::sleep_for(50ms);
    queue.sync([] {});
    const int afterCancel = repeated.load();
    std::this_thread::sleep_for(50ms);
    queue.sync([] {});
    EXPECT_EQ(repeated.load(), afterCancel);
    EXPECT_EQ(cancelled.load(), 0);
    EXPECT_FALSE(repeating->isValid());
}

TEST(TelemetryTimer, TimeScaleShortensLongDelays)
{
    tel::Timer::setTimeScale(0.001);
    std::atomic<bool> fired{false};
    tel::DispatchQueue queue("com.quintora.test.scaled");
    queue.asyncAfter(10.0, [&] { fired = true; }); // 10 ms at this scale
    EXPECT_TRUE(waitUntil([&] { return fired.load(); }, 2000ms));
    tel::Timer::setTimeScale(1.0);
    EXPECT_EQ(tel::Timer::timeScale(), 1.0);
}
