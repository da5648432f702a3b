#include "platform/NotificationCenter.h"

#include <mutex>
#include <vector>

namespace NotificationCenterDetail {

struct Observer {
    std::uint64_t id = 0;
    QString name;
    const void *object = nullptr;
    std::function<void(const Notification &)> block;
    bool removed = false; // guarded by Registry::mutex
};

struct Registry {
    mutable std::recursive_mutex mutex;
    std::vector<std::shared_ptr<Observer>> observers;
    std::uint64_t nextId = 1;

    void remove(std::uint64_t id)
    {
        std::lock_guard lock(mutex);
        for (auto it = observers.begin(); it != observers.end(); ++it) {
            if ((*it)->id == id) {
                (*it)->removed = true;
                observers.erase(it);
                return;
            }
        }
    }

    bool contains(std::uint64_t id) const
    {
        std::lock_guard lock(mutex);
        for (const auto &observer : observers) {
            if (observer->id == id)
                return true;
        }
        return false;
    }
};

} // namespace NotificationCenterDetail

using NotificationCenterDetail::Observer;
using NotificationCenterDetail::Registry;

NotificationToken::NotificationToken(std::weak_ptr<Registry> registry, std::uint64_t id)
    : m_registry(std::move(registry))
    , m_id(id)
{
}

NotificationToken::NotificationToken(NotificationToken &&other) noexcept
    : m_registry(std::move(other.m_registry))
    , m_id(other.m_id)
{
    other.m_id = 0;
}

NotificationToken &NotificationToken::operator=(NotificationToken &&other) noexcept
{
    if (this != &other) {
        reset();
        m_registry = std::move(other.m_registry);
        m_id = other.m_id;
        other.m_id = 0;
    }
    return *this;
}

NotificationToken::~NotificationToken()
{
    reset();
}

void NotificationToken::reset()
{
    if (auto registry = m_registry.lock())
        registry->remove(m_id);
    m_registry.reset();
    m_id = 0;
}

bool NotificationToken::isActive() const
{
    auto registry = m_registry.lock();
    return registry && registry->contains(m_id);
}

NotificationCenter::NotificationCenter()
    : m_registry(std::make_shared<Registry>())
{
}

NotificationCenter::~NotificationCenter() = default;

NotificationCenter &NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

NotificationToken NotificationCenter::addObserver(const QString &name, const void *object,
                                                  std::function<void(const Notification &)> block)
{
    if (!block)
        return {};
    auto observer = std::make_shared<Observer>();
    observer->name = name;
    observer->object = object;
    observer->block = std::move(block);
    std::lock_guard lock(m_registry->mutex);
    observer->id = m_registry->nextId++;
    m_registry->observers.push_back(observer);
    return NotificationToken(m_registry, observer->id);
}

void NotificationCenter::post(const QString &name, const void *object, const QVariantMap &userInfo)
{
    post(Notification{name, object, userInfo});
}

void NotificationCenter::post(const Notification &notification)
{
    // Deliver to a snapshot, so observers may change the list while they run; the
    // shared_ptr keeps a block alive even if its observer is removed meanwhile.
    std::vector<std::shared_ptr<Observer>> matching;
    {
        std::lock_guard lock(m_registry->mutex);
        for (const auto &observer : m_registry->observers) {
            if (!observer->name.isEmpty() && observer->name != notification.name)
                continue;
            if (observer->object && observer->object != notification.object)
                continue;
            matching.push_back(observer);
        }
    }
    // Keep the registry alive even if an observer destroys a non-default centre.
    const std::shared_ptr<Registry> registry = m_registry;
    for (const auto &observer : matching) {
        {
            std::lock_guard lock(registry->mutex);
            if (observer->removed)
                continue;
        }
        observer->block(notification);
    }
}

int NotificationCenter::observerCount() const
{
    std::lock_guard lock(m_registry->mutex);
    return int(m_registry->observers.size());
}
