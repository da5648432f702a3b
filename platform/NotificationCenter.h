#pragma once

#include <QString>
#include <QVariantMap>

#include <cstdint>
#include <functional>
#include <memory>

// A message posted by name to whoever observes it.
struct Notification {
    QString name;
    const void *object = nullptr; // identity of the sender, only compared, never dereferenced
    QVariantMap userInfo;         // model objects also ride here under "object" as a typed QVariant
};

class NotificationCenter;

namespace NotificationCenterDetail {
struct Registry;
}

// Keeps one observer registered for as long as it lives. Destroying it, assigning over it
// or calling reset() removes the observer; it is safe to outlive its centre.
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
    bool isActive() const;

private:
    friend class NotificationCenter;
    NotificationToken(std::weak_ptr<NotificationCenterDetail::Registry> registry, std::uint64_t id);

    std::weak_ptr<NotificationCenterDetail::Registry> m_registry;
    std::uint64_t m_id = 0;
};

// Delivers notifications synchronously, on the posting thread, to the observers whose name
// and object filters match. Observers may add or remove observers (themselves included)
// while a notification is being delivered; a removed observer is never called afterwards.
class NotificationCenter
{
public:
    NotificationCenter();
    ~NotificationCenter();
    NotificationCenter(const NotificationCenter &) = delete;
    NotificationCenter &operator=(const NotificationCenter &) = delete;

    static NotificationCenter &defaultCenter();

    // name empty = every name; object null = any object. The block runs synchronously on post.
    [[nodiscard]] NotificationToken addObserver(const QString &name, const void *object,
                                                std::function<void(const Notification &)> block);
    void post(const QString &name, const void *object = nullptr, const QVariantMap &userInfo = {});
    void post(const Notification &notification);

    // Number of registered observers (diagnostics and tests).
    int observerCount() const;

private:
    std::shared_ptr<NotificationCenterDetail::Registry> m_registry;
};
