#include "common/ScopedEnvironment.h"

#include <cstdlib>

namespace qnt::test {

namespace {

void apply(const std::string &name, const std::optional<std::string> &value)
{
    if (value)
        setenv(name.c_str(), value->c_str(), 1);
    else
        unsetenv(name.c_str());
}

} // namespace

ScopedEnvironmentVariable::ScopedEnvironmentVariable(std::string name,
                                                     const std::optional<std::string> &value)
    : m_name(std::move(name))
{
    if (const char *previous = std::getenv(m_name.c_str()))
        m_previous = previous;
    apply(m_name, value);
}

ScopedEnvironmentVariable::~ScopedEnvironmentVariable()
{
    apply(m_name, m_previous);
}

} // namespace qnt::test
