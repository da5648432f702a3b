#pragma once

// Qt's threads - every QThread, the workers of the thread pools among them - get the crash kit's
// thread preparation, as the telemetry library's own threads do: once the crash handlers are
// installed, each gets an alternate signal stack, so a stack overflow on it is still recorded.
//
// Qt has no hook for the start of a thread, but a QThread makes its event dispatcher, a QObject,
// on itself before it runs anything; the preparation rides on Qt's object-creation hook (the one
// debugging tools use) and runs on the thread that makes an object. It is cheap once a thread is
// prepared, and does nothing while the crash handlers are not installed, so a thread that started
// earlier is prepared the next time it makes an object. The previous hook, if any, still runs.
class QntThreadPreparation
{
public:
    // Idempotent. False when this Qt offers no object-creation hook. Call on the main thread.
    static bool install();
    // Puts the previous hook back. Call on the main thread.
    static void remove();
    static bool isInstalled();
};
