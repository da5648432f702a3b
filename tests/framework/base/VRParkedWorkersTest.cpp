#include "framework/base/VRParkedWorkers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

// Each worker runs the job with its own number while the caller runs its own share; a second
// caller meanwhile is turned away, and the workers serve the next job as before.
TEST(ParkedWorkers, EachWorkerRunsTheJobOnceBesideTheCaller)
{
    static auto *workers = new VRParkedWorkers(3);
    if (workers->count() == 0)
        GTEST_SKIP() << "one core: no workers are started";
    for (int round = 0; round < 3; ++round) {
        std::vector<std::atomic<int>> ran(size_t(workers->count()));
        std::atomic<bool> callerRan = false;
        std::atomic<bool> secondTurnedAway = false;
        const bool ok = workers->run([&](int k) { ran.at(size_t(k)).fetch_add(1); },
                                     [&] {
                                         callerRan = true;
                                         secondTurnedAway = !workers->run([](int) {}, [] {});
                                     });
        EXPECT_TRUE(ok);
        EXPECT_TRUE(callerRan);
        EXPECT_TRUE(secondTurnedAway);
        for (const auto &count : ran)
            EXPECT_EQ(count.load(), 1) << "round " << round;
    }
}

// What a worker throws reaches the caller once all are done, and the workers stay usable.
TEST(ParkedWorkers, AWorkersFailureIsThrownToTheCaller)
{
    static auto *workers = new VRParkedWorkers(2);
    if (workers->count() == 0)
        GTEST_SKIP() << "one core: no workers are started";
    std::atomic<int> finished = 0;
    EXPECT_THROW(workers->run(
                     [&](int k) {
                         if (k == 0)
                             throw std::runtime_error("no room");
                         ++finished;
                     },
                     [&] { ++finished; }),
                 std::runtime_error);
    EXPECT_EQ(finished.load(), workers->count());
    std::atomic<int> again = 0;
    EXPECT_TRUE(workers->run([&](int) { ++again; }, [] {}));
    EXPECT_EQ(again.load(), workers->count());
}
