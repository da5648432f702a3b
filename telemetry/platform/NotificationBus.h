#pragma once

#include <any>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tel {

struct TelemetryNotification {
    std::string name;
    const void *object = nullptr; // identity for filtering; may be null
    std::map<std::string, std::any> userInfo;
};

// Move-only handle of one observer; destroying it (or reset()) removes the observer, and no
// call of its block starts afterwards.
class NotificationToken
{
public:
    NotificationToken() = default;
    NotificationToken(NotificationToken &&other) noexcept;
    NotificationToken &operator=(NotificationToken &&other) noexcept;
    NotificationToken(const NotificationToken &) = delete;
    NotificationToken &operator=(const NotificationToken &) = delete;
    ~NotificationToken();

    void reset();
    bool isActive() const { return m_id != 0; }

private:
    friend class NotificationBus;
    NotificationToken(class NotificationBus *bus, std::uint64_t id)
        : m_bus(bus)
        , m_id(id)
    {
    }
    NotificationBus *m_bus = nullptr;
    std::uint64_t m_id = 0;
};

// The client's notification bus. Blocks run synchronously on the posting thread, in the order
// they were added. Thread-safe; a block may add or remove observers.
class NotificationBus
{
public:
    using Block = std::function<void(const TelemetryNotification &)>;

    static NotificationBus &defaultBus();

    // `name` empty = every name; `object` null = any object.
    [[nodiscard]] NotificationToken addObserver(const std::string &name, const void *object,
                                                Block block);
    void post(const std::string &name, const void *object = nullptr,
              std::map<std::string, std::any> userInfo = {});
    void post(const TelemetryNotification &notification);

private:
    friend class NotificationToken;
    struct Observer {
        std::uint64_t id = 0;
        std::string name;
        const void *object = nullptr;
        std::shared_ptr<Block> block;
    };
    void remove(std::uint64_t id);

    std::mutex m_mutex;
    std::vector<Observer> m_observers;
    std::uint64_t m_nextId = 1;
};

} // namespace tel
