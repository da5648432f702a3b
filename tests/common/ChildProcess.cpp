#include "common/ChildProcess.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace qnt::test {

namespace {

// The test's environment with the given NAME=value entries added or replacing.
std::vector<std::string> mergedEnvironment(const std::vector<std::string> &extra)
{
    std::vector<std::string> merged;
    for (char **entry = environ; *entry; ++entry) {
        const std::string text(*entry);
        const std::string name = text.substr(0, text.find('='));
        const bool replaced = std::any_of(extra.begin(), extra.end(), [&](const std::string &e) {
            return e.compare(0, name.size() + 1, name + "=") == 0;
        });
        if (!replaced)
            merged.push_back(text);
    }
    merged.insert(merged.end(), extra.begin(), extra.end());
    return merged;
}

std::vector<char *> pointers(const std::vector<std::string> &strings)
{
    std::vector<char *> result;
    for (const std::string &s : strings)
        result.push_back(const_cast<char *>(s.c_str()));
    result.push_back(nullptr);
    return result;
}

} // namespace

ChildResult runChild(const std::vector<std::string> &arguments, const ChildOptions &options)
{
    using Errors = ChildOptions::StandardError;
    ChildResult result;
    if (arguments.empty())
        return result;
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
    if (pipe2(out, O_CLOEXEC) != 0)
        return result;
    if (options.standardError == Errors::Captured && pipe2(err, O_CLOEXEC) != 0) {
        close(out[0]);
        close(out[1]);
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    if (options.standardError == Errors::Merged)
        posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
    else if (options.standardError == Errors::Captured)
        posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    const std::vector<std::string> environment = mergedEnvironment(options.environment);
    std::vector<char *> argv = pointers(arguments);
    std::vector<char *> envp = pointers(environment);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (err[1] >= 0)
        close(err[1]);
    if (spawned != 0) {
        close(out[0]);
        if (err[0] >= 0)
            close(err[0]);
        return result;
    }
    result.started = true;

    // Read both pipes until the child closes them (usually by ending) or the time is up.
    const auto deadline = std::chrono::steady_clock::now() + options.timeout;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string *sinks[2] = {&result.output, &result.errors};
    char buffer[65536];
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.timedOut = true;
            break;
        }
        const int ready = poll(fds, 2, int(std::min<long long>(left.count(), 1000)));
        if (ready < 0 && errno != EINTR)
            break;
        for (int k = 0; ready > 0 && k < 2; ++k) {
            if (fds[k].fd < 0 || !fds[k].revents)
                continue;
            const ssize_t n = read(fds[k].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[k]->append(buffer, size_t(n));
            } else if (n == 0 || errno != EINTR) {
                close(fds[k].fd);
                fds[k].fd = -1;
            }
        }
    }
    for (pollfd &entry : fds)
        if (entry.fd >= 0)
            close(entry.fd);

    // A child that closed its output early may still run: it gets the rest of the time.
    if (result.timedOut)
        kill(pid, SIGKILL);
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (done < 0) {
            if (errno == EINTR)
                continue;
            return result;
        }
        if (!result.timedOut && std::chrono::steady_clock::now() >= deadline) {
            result.timedOut = true;
            kill(pid, SIGKILL);
        }
        usleep(2000);
    }
    if (result.timedOut)
        return result;
    result.exited = WIFEXITED(status);
    result.exitCode = result.exited ? WEXITSTATUS(status) : -1;
    result.signaled = WIFSIGNALED(status);
    result.signal = result.signaled ? WTERMSIG(status) : 0;
    return result;
}

ChildResult runShell(const std::string &commandLine, const ChildOptions &options)
{
    return runChild({"/bin/sh", "-c", commandLine}, options);
}

} // namespace qnt::test
