#include "telemetry/core/PLNAsyncOperation.h"
#include "telemetry/platform/DispatchQueue.h"
#include "telemetry/platform/OperationQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>

using namespace std::chrono_literals;

namespace {

// Finishes later, from another thread, with the error it was given.
class DelayedOperation : public PLNAsyncOperation
{
public:
    explicit DelayedOperation(std::optional<tel::TelemetryError> error = {})
        : m_error(std::move(error))
    {
    }
    void main() override
    {
        ++mainRuns;
        m_worker.async([this] {
            std::this_thread::sleep_for(5ms);
            finishWithError(m_error);
        });
    }
    std::atomic<int> mainRuns{0};

protected:
    std::string className() const override { return "DelayedOperation"; }

private:
    std::optional<tel::TelemetryError> m_error;
    tel::DispatchQueue m_worker{"com.quintora.test.delayed"};
};

} // namespace

TEST(PLNAsyncOperation, CancelledBeforeStartNeverRunsAndFinishesWithoutCompletion)
{
    auto operation = std::make_shared<DelayedOperation>();
    bool completed = false;
    operation->setAsyncCompletion([&](const auto &) { completed = true; });
    std::vector<std::pair<std::string, bool>> changes;
    operation->addKeyObserver(
        [&](const std::string &key, bool prior) { changes.emplace_back(key, prior); });
    operation->cancel();
    operation->start();
    EXPECT_EQ(operation->mainRuns.load(), 0);
    EXPECT_TRUE(operation->isFinished());
    EXPECT_FALSE(operation->isExecuting());
    EXPECT_FALSE(completed);
    EXPECT_EQ(changes, (std::vector<std::pair<std::string, bool>>{{"isCancelled", true},
                                                                  {"isCancelled", false},
                                                                  {"isExecuting", true},
                                                                  {"isExecuting", false},
                                                                  {"isFinished", true},
                                                                  {"isFinished", false}}));
    EXPECT_EQ(operation->lockName(), "com.quintora.telemetry.DelayedOperation-lock");
}

TEST(PLNAsyncOperation, FinishHandsOverTheErrorThenReportsExecutingOffBeforeFinished)
{
    const tel::TelemetryError error{"PLNNetworkError", -6, {}};
    auto operation = std::make_shared<DelayedOperation>(error);
    std::mutex mutex;
    std::vector<std::string> events;
    // The operation's state is read before `mutex` is taken: the observers run under the
    // operation's own lock, so taking the two in the other order could deadlock.
    operation->setAsyncCompletion([&](const std::optional<tel::TelemetryError> &e) {
        const bool finished = operation->isFinished();
        std::lock_guard lock(mutex);
        events.push_back(e && *e == error ? "completion with error" : "completion without error");
        EXPECT_FALSE(finished);
    });
    operation->addKeyObserver([&](const std::string &key, bool prior) {
        if (prior)
            return;
        const bool executing = operation->isExecuting();
        const bool finished = operation->isFinished();
        std::lock_guard lock(mutex);
        if (key == "isExecuting")
            events.push_back(executing ? "executing" : "not executing");
        if (key == "isFinished")
            events.push_back(finished ? "finished" : "not finished");
    });
    tel::OperationQueue queue("com.quintora.test.async", 1);
    std::atomic<bool> followerSawFinished{false};
    auto follower = std::make_shared<tel::BlockOperation>(
        [&] { followerSawFinished = operation->isFinished(); });
    queue.addOperation(operation);
    queue.addOperation(follower);
    queue.waitUntilAllOperationsAreFinished();
    // The serial queue kept its slot until the asynchronous work finished.
    EXPECT_TRUE(followerSawFinished);
    EXPECT_EQ(operation->mainRuns.load(), 1);
    // Finishing again changes nothing.
    operation->finishWithError(std::nullopt);
    std::lock_guard lock(mutex);
    EXPECT_EQ(events, (std::vector<std::string>{"executing", "completion with error",
                                                "not executing", "finished"}));
}

namespace {

// Does nothing by itself: the test finishes it.
class ManualOperation : public PLNAsyncOperation
{
public:
    void main() override {}
};

} // namespace

TEST(PLNAsyncOperation, TwoConcurrentFinishesRunTheCompletionOnceWithTheFirstError)
{
    auto operation = std::make_shared<ManualOperation>();
    const tel::TelemetryError first{"PLNNetworkError", -1, {}};
    std::promise<void> firstInside;
    std::promise<void> secondReturned;
    std::shared_future<void> secondDone = secondReturned.get_future().share();
    std::atomic<int> runs{0};
    std::optional<tel::TelemetryError> handedOver;
    operation->setAsyncCompletion([&](const std::optional<tel::TelemetryError> &error) {
        if (runs.fetch_add(1) != 0)
            return;
        handedOver = error;
        // The first completion is still running while the second call is made and returns.
        firstInside.set_value();
        secondDone.wait();
    });
    operation->start();
    ASSERT_TRUE(operation->isExecuting());
    std::thread finisher([&] { operation->finishWithError(first); });
    firstInside.get_future().wait();
    operation->finishWithError(std::nullopt);
    secondReturned.set_value();
    finisher.join();
    EXPECT_EQ(runs.load(), 1);
    ASSERT_TRUE(handedOver);
    EXPECT_EQ(*handedOver, first);
    EXPECT_TRUE(operation->isFinished());
    EXPECT_FALSE(operation->isExecuting());
}
