#include "common/WaitUntil.h"

#include <thread>

namespace qnt::test {

// The form for test programs without Qt: the work waited for runs on other threads.
bool waitUntil(const std::function<bool()> &condition, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return condition();
}

} // namespace qnt::test
