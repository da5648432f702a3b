#pragma once

#include <functional>

class QObject;

// Deferred calls on the event loop of the context's thread. A call never runs after its
// context is destroyed.
class DelayedPerform
{
public:
    // Runs the block on the next turn of the event loop (a zero-delay perform).
    static void performLater(QObject *context, std::function<void()> block);
    // Runs the block after the given number of seconds.
    static void performAfterDelay(QObject *context, double seconds, std::function<void()> block);
    // Drops the calls still pending for the context.
    static void cancelPreviousPerformRequests(QObject *context);
    static int pendingPerformRequests(QObject *context);
};
