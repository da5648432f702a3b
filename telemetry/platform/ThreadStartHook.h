#pragma once

namespace tel {

// Lets a layer above this one prepare every thread the telemetry library starts itself (queue
// workers, the timer thread, session threads) without this layer knowing that layer: the crash
// kit, for one, gives each such thread an alternate signal stack so that a stack overflow on it
// can still be recorded.
//
// Every library-created thread calls prepareCurrentThread() first, and long-lived threads call it
// again before each unit of work, so a hook set after they started still reaches them. The hook
// runs at most once per thread (per hook), on that thread. Thread-safe.
class ThreadStartHook
{
public:
    using Hook = void (*)();

    // Sets the hook (null removes it). Threads already prepared by an earlier hook run a new one
    // the next time they call prepareCurrentThread().
    static void setHook(Hook hook);
    static Hook hook();

    // Runs the hook on the calling thread unless it already ran there. Cheap when nothing changed.
    static void prepareCurrentThread();
};

} // namespace tel
