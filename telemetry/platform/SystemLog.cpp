#include "SystemLog.h"

#include <atomic>
#include <mutex>
#include <syslog.h>
#include <unistd.h>

namespace tel {

namespace {

std::atomic<bool> g_debug{false};

std::mutex &sinkMutex()
{
    static std::mutex mutex;
    return mutex;
}

SystemLog::Sink &currentSink()
{
    static SystemLog::Sink sink;
    return sink;
}

void defaultSink(const std::string &line)
{
    ::syslog(LOG_NOTICE, "%s", line.c_str());
    std::string out = line;
    out.push_back('\n');
    // One write per line keeps lines of different threads apart.
    const ssize_t ignored = ::write(STDERR_FILENO, out.data(), out.size());
    (void)ignored;
}

} // namespace

void SystemLog::log(const std::string &line)
{
    Sink sink;
    {
        std::lock_guard lock(sinkMutex());
        sink = currentSink();
    }
    if (sink)
        sink(line);
    else
        defaultSink(line);
}

void SystemLog::debug(const std::string &line)
{
    if (isDebugEnabled())
        log(line);
}

void SystemLog::setDebugEnabled(bool enabled)
{
    g_debug.store(enabled);
}

bool SystemLog::isDebugEnabled()
{
    return g_debug.load();
}

void SystemLog::setSink(Sink sink)
{
    std::lock_guard lock(sinkMutex());
    currentSink() = std::move(sink);
}

} // namespace tel
