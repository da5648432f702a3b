#include "NotificationBus.h"

namespace tel {

NotificationToken::NotificationToken(NotificationToken &&other) noexcept
    : m_bus(other.m_bus)
    , m_id(other.m_id)
{
    other.m_bus = nullptr;
    other.m_id = 0;
}

NotificationToken &NotificationToken::operator=(NotificationToken &&other) noexcept
{
    if (this != &other) {
        reset();
        m_bus = other.m_bus;
        m_id = other.m_id;
        other.m_bus = nullptr;
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
    if (m_bus && m_id)
        m_bus->remove(m_id);
    m_bus = nullptr;
    m_id = 0;
}

NotificationBus &NotificationBus::defaultBus()
{
    static NotificationBus *bus = new NotificationBus; // lives for the process
    return *bus;
}

NotificationToken NotificationBus::addObserver(const std::string &name, const void *object,
                                               Block block)
{
    std::lock_guard lock(m_mutex);
    const std::uint64_t id = m_nextId++;
    m_observers.push_back({id, name, object, std::make_shared<Block>(std::move(block))});
    return NotificationToken(this, id);
}

void NotificationBus::remove(std::uint64_t id)
{
    std::lock_guard lock(m_mutex);
    std::erase_if(m_observers, [id](const Observer &o) { return o.id == id; });
}

void NotificationBus::post(const std::string &name, const void *object,
                           std::map<std::string, std::any> userInfo)
{
    post(TelemetryNotification{name, object, std::move(userInfo)});
}

void NotificationBus::post(const TelemetryNotification &notification)
{
    std::vector<std::pair<std::uint64_t, std::shared_ptr<Block>>> matching;
    {
        std::lock_guard lock(m_mutex);
        for (const Observer &o : m_observers) {
            if (!o.name.empty() && o.name != notification.name)
                continue;
            if (o.object && o.object != notification.object)
                continue;
            matching.emplace_back(o.id, o.block);
        }
    }
    for (const auto &[id, block] : matching) {
        bool stillThere = false;
        {
            std::lock_guard lock(m_mutex);
            for (const Observer &o : m_observers)
                stillThere = stillThere || o.id == id;
        }
        if (stillThere && *block)
            (*block)(notification);
    }
}

} // namespace tel
