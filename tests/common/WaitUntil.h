#pragma once

#include <chrono>
#include <functional>

namespace qnt::test {

// Checks condition until it holds or timeout has passed, letting the program's own work go on
// in between: a test program with a Qt application runs its event loop (posted events,
// timers, queued calls); a program without Qt sleeps a few milliseconds while its worker
// threads run. True when the condition held.
bool waitUntil(const std::function<bool()> &condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(10));

} // namespace qnt::test
