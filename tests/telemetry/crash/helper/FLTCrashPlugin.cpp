// A library the crash child opens after the crash context has started, then faults inside.

#include <pthread.h>

int *volatile g_pluginNowhere = nullptr; // volatile: the compiler must not prove the store away

extern "C" __attribute__((noinline, visibility("default"))) void flt_plugin_fault(int value)
{
    *g_pluginNowhere = value;
    asm volatile("" ::: "memory");
}

// A thread the library starts itself with plain pthread_create, default attributes and nothing
// of the crash kit's, which then overflows its stack.
volatile int g_pluginRecursionLimit = -1; // never reached: the recursion only ends by overflow

__attribute__((noinline)) static int pluginRecurse(int depth)
{
    if (depth == g_pluginRecursionLimit)
        return 0;
    volatile char pad[256];
    pad[0] = static_cast<char>(depth);
    const int result = pluginRecurse(depth + 1) + pad[0];
    asm volatile("" ::: "memory");
    return result;
}

static void *pluginOverflowingThread(void *)
{
    pluginRecurse(0);
    return nullptr;
}

extern "C" __attribute__((visibility("default"))) void flt_plugin_overflow_in_thread()
{
    pthread_t thread;
    if (pthread_create(&thread, nullptr, pluginOverflowingThread, nullptr) == 0)
        pthread_join(thread, nullptr);
}
