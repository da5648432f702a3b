#include "Host.h"

#include "DispatchQueue.h"

#include <mutex>

namespace tel {

namespace {

std::mutex &hooksMutex()
{
    static std::mutex mutex;
    return mutex;
}

Host::Hooks &hooks()
{
    static Host::Hooks h;
    return h;
}

DispatchQueue &standInMainQueue()
{
    static DispatchQueue *queue = new DispatchQueue("com.quintora.telemetry.main");
    return *queue;
}

} // namespace

void Host::install(const Hooks &newHooks)
{
    std::lock_guard lock(hooksMutex());
    if (newHooks.mainThreadExecutor)
        hooks().mainThreadExecutor = newHooks.mainThreadExecutor;
    if (newHooks.userDefaultsReader)
        hooks().userDefaultsReader = newHooks.userDefaultsReader;
    if (newHooks.userDefaultsRemover)
        hooks().userDefaultsRemover = newHooks.userDefaultsRemover;
}

void Host::reset()
{
    std::lock_guard lock(hooksMutex());
    hooks() = Hooks{};
}

void Host::runOnMainThread(std::function<void()> block)
{
    std::function<void(std::function<void()>)> executor;
    {
        std::lock_guard lock(hooksMutex());
        executor = hooks().mainThreadExecutor;
    }
    if (executor)
        executor(std::move(block));
    else
        standInMainQueue().async(std::move(block));
}

bool Host::hasMainThreadExecutor()
{
    std::lock_guard lock(hooksMutex());
    return static_cast<bool>(hooks().mainThreadExecutor);
}

std::optional<PlistValue> Host::userDefault(const std::string &key)
{
    std::function<std::optional<PlistValue>(const std::string &)> reader;
    {
        std::lock_guard lock(hooksMutex());
        reader = hooks().userDefaultsReader;
    }
    return reader ? reader(key) : std::nullopt;
}

void Host::removeUserDefault(const std::string &key)
{
    std::function<void(const std::string &)> remover;
    {
        std::lock_guard lock(hooksMutex());
        remover = hooks().userDefaultsRemover;
    }
    if (remover)
        remover(key);
}

} // namespace tel
