#include "ThreadStartHook.h"

#include <atomic>

namespace tel {

namespace {
std::atomic<ThreadStartHook::Hook> g_hook{nullptr};
thread_local ThreadStartHook::Hook t_ranHook = nullptr;
} // namespace

void ThreadStartHook::setHook(Hook hook)
{
    g_hook.store(hook, std::memory_order_release);
}

ThreadStartHook::Hook ThreadStartHook::hook()
{
    return g_hook.load(std::memory_order_acquire);
}

void ThreadStartHook::prepareCurrentThread()
{
    const Hook current = hook();
    if (!current || current == t_ranHook)
        return;
    t_ranHook = current;
    current();
}

} // namespace tel
