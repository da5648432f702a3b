#pragma once

#include <optional>
#include <string>

namespace qnt::test {

// Sets an environment variable (or removes it, given no value) for as long as it lives, then
// puts back what was there before, however the test ends.
class ScopedEnvironmentVariable
{
public:
    ScopedEnvironmentVariable(std::string name, const std::optional<std::string> &value);
    ~ScopedEnvironmentVariable();
    ScopedEnvironmentVariable(const ScopedEnvironmentVariable &) = delete;
    ScopedEnvironmentVariable &operator=(const ScopedEnvironmentVariable &) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_previous;
};

} // namespace qnt::test
