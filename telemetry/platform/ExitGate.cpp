#include "ExitGate.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace tel {

namespace {

struct GateState {
    std::mutex mutex;
    std::condition_variable changed;
    bool closed = false;
    int inside = 0;
};

GateState &state()
{
    // Leaked: threads wait at the gate while static objects are destroyed at exit.
    static GateState *gate = new GateState;
    return *gate;
}

} // namespace

ExitGate::Pass::Pass()
{
    GateState &gate = state();
    std::unique_lock lock(gate.mutex);
    gate.changed.wait(lock, [&gate] { return !gate.closed; });
    ++gate.inside;
}

ExitGate::Pass::~Pass()
{
    GateState &gate = state();
    std::lock_guard lock(gate.mutex);
    --gate.inside;
    gate.changed.notify_all();
}

bool ExitGate::close(double seconds)
{
    GateState &gate = state();
    std::unique_lock lock(gate.mutex);
    gate.closed = true;
    return gate.changed.wait_for(lock, std::chrono::duration<double>(seconds),
                                 [&gate] { return gate.inside == 0; });
}

bool ExitGate::isClosed()
{
    GateState &gate = state();
    std::lock_guard lock(gate.mutex);
    return gate.closed;
}

void ExitGate::reopenForTesting()
{
    GateState &gate = state();
    std::lock_guard lock(gate.mutex);
    gate.closed = false;
    gate.changed.notify_all();
}

} // namespace tel
