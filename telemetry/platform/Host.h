#pragma once

#include "PlistValue.h"

#include <functional>
#include <optional>
#include <string>

namespace tel {

// What the host application lends the telemetry client, which has no event loop and no access
// to the application's own user defaults: an executor that runs blocks on the host's main
// thread, and a reader (and remover) of the host's user defaults. Installed once at start,
// usually through Plinth::with. Thread-safe.
class Host
{
public:
    struct Hooks {
        // Runs the block on the host's main thread, later (never synchronously inside the call).
        std::function<void(std::function<void()>)> mainThreadExecutor;
        // Value of one of the host's user defaults; nothing when unset.
        std::function<std::optional<PlistValue>(const std::string &key)> userDefaultsReader;
        // Removes one of the host's user defaults and writes them out.
        std::function<void(const std::string &key)> userDefaultsRemover;
    };

    // Replaces the hooks that are set in `hooks`; empty members keep what was installed.
    static void install(const Hooks &hooks);
    // Forgets every hook (tests).
    static void reset();

    // Hands the block to the host's main thread; without an executor, to a serial queue of the
    // client that stands in for it.
    static void runOnMainThread(std::function<void()> block);
    static bool hasMainThreadExecutor();
    static std::optional<PlistValue> userDefault(const std::string &key);
    static void removeUserDefault(const std::string &key);
};

} // namespace tel
