#include "telemetry/platform/OperationQueue.h"

#include "common/WaitUntil.h"

#include <gtest/gtest.h>

#include <chrono>

#include <atomic>

using namespace std::chrono_literals;
using qnt::test::waitUntil;

TEST(TelemetryOperationQueue, SerialQueueRunsOneAtATimeAndHonoursDependencies)
{
    tel::OperationQueue queue("com.quintora.test.ops", 1);
    std::vector<std::string> order;
    std::mutex mutex;
    auto record = [&](std::string name) {
        return std::make_shared<tel::BlockOperation>([&, name] {
            std::lock_guard lock(mutex);
            order.push_back(name);
        });
    };
    auto upload = record("upload");
    auto package = record("package");
    auto compress = record("compress");
    upload->addDependency(package);
    package->addDependency(compress);
    // Added in reverse order: dependencies decide.
    queue.addOperation(upload);
    queue.addOperation(package);
    queue.addOperation(compress);
    queue.addOperation(record("later"));
    queue.waitUntilAllOperationsAreFinished();
    ASSERT_EQ(order.size(), 4u);
    std::erase(order, "later");
    EXPECT_EQ(order, (std::vector<std::string>{"compress", "package", "upload"}));
    EXPECT_EQ(queue.operationCount(), 0u);
}

TEST(TelemetryOperationQueue, CancelledOperationsNeverRunAndStillFinish)
{
    tel::OperationQueue queue("com.quintora.test.cancel", 1);
    std::atomic<bool> ran{false}, completed{false}, released{false};
    // Holds the queue until the victim is cancelled (or, should that never happen, a while).
    auto blocker = std::make_shared<tel::BlockOperation>(
        [&] { waitUntil([&] { return released.load(); }, 5s); });
    auto victim = std::make_shared<tel::BlockOperation>([&] { ran = true; });
    victim->setCompletionBlock([&] { completed = true; });
    std::vector<std::pair<std::string, bool>> changes;
    std::mutex mutex;
    victim->addKeyObserver([&](const std::string &key, bool prior) {
        std::lock_guard lock(mutex);
        changes.emplace_back(key, prior);
    });
    queue.addOperation(blocker);
    queue.addOperation(victim);
    victim->cancel();
    released = true;
    victim->waitUntilFinished();
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_FALSE(ran);
    EXPECT_TRUE(victim->isFinished());
    EXPECT_FALSE(victim->isExecuting());
    EXPECT_TRUE(waitUntil([&] { return completed.load(); }));
    std::lock_guard lock(mutex);
    EXPECT_EQ(changes, (std::vector<std::pair<std::string, bool>>{{"isCancelled", true},
                                                                  {"isCancelled", false},
                                                                  {"isFinished", true},
                                                                  {"isFinished", false}}));
}

TEST(TelemetryOperationQueue, WideQueueRespectsItsLimitAndKnowsItsThreads)
{
    tel::OperationQueue queue("com.quintora.test.wide", 2);
    std::atomic<int> running{0}, peak{0};
    std::atomic<int> sawQueue{0};
    for (int i = 0; i < 12; ++i)
        queue.addOperationWithBlock([&] {
            const int now = ++running;
            int previous = peak.load();
            while (now > previous && !peak.compare_exchange_weak(previous, now)) {
            }
            if (tel::OperationQueue::currentQueue() == &queue)
                ++sawQueue;
            // Two at a time must be possible: each waits for a second one to run beside it
            // (a queue that ran one at a time would keep it waiting until the limit here).
            waitUntil([&] { return peak.load() >= 2; }, 5s);
            --running;
        });
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_EQ(peak.load(), 2);
    EXPECT_EQ(sawQueue.load(), 12);
}
