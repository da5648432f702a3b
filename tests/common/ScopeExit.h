#pragma once

#include <utility>

namespace qnt::test {

// Runs an action when the scope ends, however it ends (a failed ASSERT returns early): the way
// a test puts back a process-wide setting it changed.
template <typename Action> class ScopeExit
{
public:
    explicit ScopeExit(Action action)
        : m_action(std::move(action))
    {
    }
    ~ScopeExit() { m_action(); }
    ScopeExit(const ScopeExit &) = delete;
    ScopeExit &operator=(const ScopeExit &) = delete;

private:
    Action m_action;
};

} // namespace qnt::test
