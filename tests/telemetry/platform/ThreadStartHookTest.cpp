// The thread-start hook reaches every thread the library starts, once per thread, including
// threads that were already running when the hook was set.

#include "telemetry/platform/DispatchQueue.h"
#include "telemetry/platform/ThreadStartHook.h"
#include "telemetry/platform/Timer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

namespace {

std::atomic<int> g_runs{0};
thread_local int t_runsHere = 0;

void countingHook()
{
    ++g_runs;
    ++t_runsHere;
}

class ThreadStartHookTest : public ::testing::Test
{
protected:
    void SetUp() override { g_runs = 0; }
    void TearDown() override { tel::ThreadStartHook::setHook(nullptr); }
};

TEST_F(ThreadStartHookTest, QueueWorkerRunsTheHookOnceBeforeItsBlocks)
{
    tel::ThreadStartHook::setHook(countingHook);
    tel::DispatchQueue queue("org.quintora.test.hook");
    int seen[3] = {};
    for (int &runs : seen)
        queue.sync([&runs] { runs = t_runsHere; });
    EXPECT_EQ(seen[0], 1);
    EXPECT_EQ(seen[1], 1);
    EXPECT_EQ(seen[2], 1);
    EXPECT_EQ(g_runs.load(), 1);
}

TEST_F(ThreadStartHookTest, WorkerStartedBeforeTheHookRunsItBeforeItsNextBlock)
{
    tel::DispatchQueue queue("org.quintora.test.hook-late");
    int before = -1;
    queue.sync([&] { before = t_runsHere; });
    tel::ThreadStartHook::setHook(countingHook);
    int after = -1;
    queue.sync([&] { after = t_runsHere; });
    EXPECT_EQ(before, 0);
    EXPECT_EQ(after, 1);
}

TEST_F(ThreadStartHookTest, TimerThreadRunsTheHook)
{
    tel::ThreadStartHook::setHook(countingHook);
    std::promise<int> runs;
    tel::Timer::schedule(0, 0, nullptr, [&runs] { runs.set_value(t_runsHere); });
    auto future = runs.get_future();
    ASSERT_EQ(future.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(future.get(), 1);
}

TEST_F(ThreadStartHookTest, ThreadsNotStartedByTheLibraryAreLeftAlone)
{
    tel::ThreadStartHook::setHook(countingHook);
    std::thread([] {}).join();
    EXPECT_EQ(g_runs.load(), 0);
    tel::ThreadStartHook::setHook(nullptr);
    tel::ThreadStartHook::prepareCurrentThread(); // no hook: nothing runs
    EXPECT_EQ(g_runs.load(), 0);
}

} // namespace
