#include "telemetry/platform/DispatchQueue.h"
#include "telemetry/platform/ExitGate.h"
#include "telemetry/platform/OperationQueue.h"

#include "common/ScopeExit.h"
#include "common/WaitUntil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

// Closing waits for the block under way; after it no queued block starts (a queue's sync runs
// on the caller and waits for nothing); reopened, the waiting worker goes on.
TEST(TelemetryExitGate, WorkUnderWayFinishesAndNoneStartsOnceClosed)
{
    const qnt::test::ScopeExit reopen([] { tel::ExitGate::reopenForTesting(); });
    tel::DispatchQueue queue("com.quintora.test.exit-gate");
    std::promise<void> started;
    std::atomic<bool> finished{false};
    queue.async([&] {
        started.set_value();
        while (!tel::ExitGate::isClosed())
            std::this_thread::yield();
        finished = true;
    });
    started.get_future().wait();
    EXPECT_TRUE(tel::ExitGate::close(60));
    EXPECT_TRUE(finished);

    std::atomic<bool> later{false};
    queue.async([&] { later = true; });
    bool onCaller = false;
    const std::thread::id caller = std::this_thread::get_id();
    queue.sync([&] { onCaller = std::this_thread::get_id() == caller; });
    EXPECT_TRUE(onCaller);
    tel::OperationQueue operations("com.quintora.test.exit-gate-operations");
    operations.addOperationWithBlock([] {});
    operations.waitUntilAllOperationsAreFinished();
    EXPECT_FALSE(later);

    tel::ExitGate::reopenForTesting();
    EXPECT_TRUE(qnt::test::waitUntil([&] { return later.load(); }));
}
