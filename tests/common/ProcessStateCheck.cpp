#include "common/ProcessStateCheck.h"

#include <filesystem>
#include <sys/resource.h>

extern char **environ;

namespace qnt::test {

ProcessStateCheck::State ProcessStateCheck::current()
{
    State state;
    for (char **entry = environ; *entry; ++entry) {
        const std::string text(*entry);
        const auto equals = text.find('=');
        state.environment[text.substr(0, equals)] =
            equals == std::string::npos ? std::string() : text.substr(equals + 1);
    }
    std::error_code ignored;
    state.workingFolder = std::filesystem::current_path(ignored).string();
    rlimit limit{};
    if (getrlimit(RLIMIT_FSIZE, &limit) == 0)
        state.fileSizeLimit = limit.rlim_cur;
    return state;
}

void ProcessStateCheck::OnTestStart(const testing::TestInfo &)
{
    m_before = current();
}

void ProcessStateCheck::OnTestEnd(const testing::TestInfo &test)
{
    const State after = current();
    std::string changes;
    for (const auto &[name, value] : m_before.environment) {
        const auto now = after.environment.find(name);
        if (now == after.environment.end())
            changes += " environment variable " + name + " removed;";
        else if (now->second != value)
            changes += " environment variable " + name + " changed;";
    }
    for (const auto &[name, value] : after.environment)
        if (!m_before.environment.count(name))
            changes += " environment variable " + name + " added;";
    if (after.workingFolder != m_before.workingFolder)
        changes += " working folder changed;";
    if (after.fileSizeLimit != m_before.fileSizeLimit)
        changes += " file-size limit changed;";
    if (!changes.empty())
        ADD_FAILURE() << test.test_suite_name() << "." << test.name()
                      << " left the process changed:" << changes;
}

} // namespace qnt::test
