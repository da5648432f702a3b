#pragma once

namespace tel {

// The gate every thread the telemetry library starts itself passes before each unit of work
// (a queued block, a timer firing, a delayed retry, a turn of a session's transfer loop). The
// host closes it as it exits, before returning from main: the work under way finishes, and no
// thread of the library starts anything after, so none of it runs while the process destroys
// its static objects and its libraries clean up (OpenSSL's exit handler, for one). A thread that
// meets the closed gate waits there until the process ends. Once it is closed, waiting for the
// library's work (a queue's sync, an operation or a whole operation queue) no longer blocks: a
// queue's sync runs the block on the caller, the other waits return at once. Thread-safe.
class ExitGate
{
public:
    // Held by a library thread for one unit of work. Waits at the closed gate instead of
    // entering. Not signal-safe.
    class Pass
    {
    public:
        Pass();
        ~Pass();
        Pass(const Pass &) = delete;
        Pass &operator=(const Pass &) = delete;
    };

    // Closes the gate, then waits until the units of work under way have finished, but no longer
    // than `seconds` (one may wait for another that can no longer start). True when all finished.
    // Closing again only waits again. Not signal-safe.
    static bool close(double seconds);
    static bool isClosed();

    // Opens the gate again and lets the waiting threads go on (tests, which must leave the
    // process as they found it).
    static void reopenForTesting();
};

} // namespace tel
