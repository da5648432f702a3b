#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace qnt::test {

// How a child process ended and what it printed.
struct ChildResult {
    bool started = false;
    bool timedOut = false; // killed once the timeout had passed
    bool exited = false;   // ended through exit()
    int exitCode = -1;     // its exit code when it exited, else -1
    bool signaled = false; // ended by a signal (other than the kill after a timeout)
    int signal = 0;
    std::string output; // its standard output (with its standard error when merged)
    std::string errors; // its standard error, when captured on its own
};

struct ChildOptions {
    enum class StandardError { Inherited, Captured, Merged };
    // Where the child's standard error goes: the test's own, ChildResult::errors, or
    // ChildResult::output.
    StandardError standardError = StandardError::Inherited;
    // NAME=value entries added to (or replacing those of) the test's environment.
    std::vector<std::string> environment;
    std::chrono::milliseconds timeout = std::chrono::seconds(60);
};

// Runs a program with its arguments (no shell in between; the program is looked up in PATH
// when it has no slash), collects what it prints and waits for it to end. A child that
// outlives the timeout is killed.
ChildResult runChild(const std::vector<std::string> &arguments, const ChildOptions &options = {});

// The same for a shell command line (pipes, redirections, variables), run by /bin/sh -c.
ChildResult runShell(const std::string &commandLine, const ChildOptions &options = {});

} // namespace qnt::test
