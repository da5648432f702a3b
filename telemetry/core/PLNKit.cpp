#include "PLNKit.h"

#include <map>
#include <mutex>

namespace {

std::mutex &registryMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::map<std::string, const PLNKit *> &registry()
{
    static std::map<std::string, const PLNKit *> classes;
    return classes;
}

} // namespace

void PLNKit::registerClass(const PLNKit *kitClass)
{
    if (!kitClass)
        return;
    std::lock_guard lock(registryMutex());
    registry()[kitClass->className()] = kitClass;
}

void PLNKit::unregisterClass(const std::string &name)
{
    std::lock_guard lock(registryMutex());
    registry().erase(name);
}

const PLNKit *PLNKit::classNamed(const std::string &name)
{
    std::lock_guard lock(registryMutex());
    const auto it = registry().find(name);
    return it == registry().end() ? nullptr : it->second;
}
