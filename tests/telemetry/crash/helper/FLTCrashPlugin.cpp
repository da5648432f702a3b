// A library the crash child opens after the crash context has started, then faults inside.

int *volatile g_pluginNowhere = nullptr; // volatile: the compiler must not prove the store away

extern "C" __attribute__((noinline, visibility("default"))) void flt_plugin_fault(int value)
{
    *g_pluginNowhere = value;
    asm volatile("" ::: "memory");
}
