// Per-thread alternate signal stacks: given once, taken back on request or when the thread ends,
// so short-lived library threads do not leave their stacks behind.

#include "telemetry/crash/FLTSignalHandler.h"
#include "telemetry/crash/FLTThreadCreation.h"
#include "telemetry/platform/DispatchQueue.h"
#include "telemetry/platform/ThreadStartHook.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <pthread.h>
#include <csignal>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>

namespace {

struct AltStack {
    bool enabled = false;
    void *base = nullptr;
    size_t size = 0;
};

AltStack currentAltStack()
{
    stack_t stack;
    AltStack result;
    if (sigaltstack(nullptr, &stack) == 0 && !(stack.ss_flags & SS_DISABLE))
        result = {true, stack.ss_sp, stack.ss_size};
    return result;
}

bool isMapped(void *address)
{
    unsigned char residency = 0;
    const long page = sysconf(_SC_PAGESIZE);
    void *start =
        reinterpret_cast<void *>(reinterpret_cast<uintptr_t>(address) & ~uintptr_t(page - 1));
    return mincore(start, static_cast<size_t>(page), &residency) == 0 || errno != ENOMEM;
}

void installAltStack()
{
    FLTSignalInstallAltStackForCurrentThread();
}

TEST(FLTThreadAltStack, InstallOnceThenRelease)
{
    std::thread([] {
        // Where thread creation is wrapped, the thread has its stack from the start: give it back
        // first.
        if (FLTThreadCreationIsWrapped()) {
            ASSERT_TRUE(currentAltStack().enabled);
            ASSERT_TRUE(FLTSignalReleaseAltStackForCurrentThread());
        }
        ASSERT_FALSE(currentAltStack().enabled);
        EXPECT_FALSE(FLTSignalReleaseAltStackForCurrentThread());
        ASSERT_TRUE(FLTSignalInstallAltStackForCurrentThread());
        const AltStack stack = currentAltStack();
        ASSERT_TRUE(stack.enabled);
        EXPECT_GE(stack.size, 262144u);
        EXPECT_FALSE(FLTSignalInstallAltStackForCurrentThread()); // already has one
        EXPECT_TRUE(FLTSignalReleaseAltStackForCurrentThread());
        EXPECT_FALSE(currentAltStack().enabled);
        EXPECT_FALSE(isMapped(stack.base));
        EXPECT_FALSE(FLTSignalReleaseAltStackForCurrentThread());
    }).join();
}

TEST(FLTThreadAltStack, StackGoesWithItsThread)
{
    AltStack stack;
    std::thread([&stack] {
        FLTSignalInstallAltStackForCurrentThread();
        stack = currentAltStack();
    }).join();
    ASSERT_TRUE(stack.enabled);
    EXPECT_FALSE(isMapped(stack.base));
}

TEST(FLTThreadAltStack, QueueWorkersGetAStackThroughTheHookAndGiveItBack)
{
    tel::ThreadStartHook::setHook(installAltStack);
    AltStack stack;
    {
        tel::DispatchQueue queue("org.quintora.test.alt-stack");
        queue.sync([&stack] { stack = currentAltStack(); });
        ASSERT_TRUE(stack.enabled);
        EXPECT_TRUE(isMapped(stack.base));
    }
    tel::ThreadStartHook::setHook(nullptr);
    EXPECT_FALSE(isMapped(stack.base)); // the worker ended with its queue
}

TEST(FLTThreadAltStack, EveryNewThreadHasItsStackBeforeItsOwnCode)
{
    if (!FLTThreadCreationIsWrapped())
        GTEST_SKIP() << "thread creation is not wrapped in this build";
    // No hook, no handlers: the stack comes with the thread's creation itself, whoever makes it.
    ASSERT_EQ(tel::ThreadStartHook::hook(), nullptr);
    AltStack fromStd;
    std::thread([&fromStd] { fromStd = currentAltStack(); }).join();
    EXPECT_TRUE(fromStd.enabled);
    EXPECT_GE(fromStd.size, 262144u);
    EXPECT_FALSE(isMapped(fromStd.base)); // and goes with it

    AltStack fromPthread;
    pthread_t thread;
    ASSERT_EQ(pthread_create(
                  &thread, nullptr,
                  [](void *result) -> void * {
                      *static_cast<AltStack *>(result) = currentAltStack();
                      return nullptr;
                  },
                  &fromPthread),
              0);
    pthread_join(thread, nullptr);
    EXPECT_TRUE(fromPthread.enabled);
}

} // namespace
