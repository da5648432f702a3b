#pragma once

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <memory>
#include <optional>

// The user's settings: a registered domain of factory values held in memory, under a
// persistent domain of the values the user set, kept in a typed XML property list
// (~/.config/Quintora/Quintora.plist) so integers, reals, booleans, data and nested
// containers keep their types. The file is written atomically, shortly after a change
// (from the event loop) and at synchronize(). Safe to use from any thread.
class UserDefaults
{
public:
    // Defaults kept in the given property-list file (read on first use).
    explicit UserDefaults(const QString &filePath);
    ~UserDefaults();
    UserDefaults(const UserDefaults &) = delete;
    UserDefaults &operator=(const UserDefaults &) = delete;

    // The application's defaults, in <config folder>/Quintora.plist.
    static UserDefaults &standardUserDefaults();

    void registerDefaults(const QVariantMap &values);
    QVariant
    objectForKey(const QString &key) const; // persistent wins over registered; invalid if absent
    bool boolForKey(const QString &key) const;
    // Reals (and numeric text) are truncated and saturate at the ends of the qint64 range.
    qint64 integerForKey(const QString &key) const;
    double doubleForKey(const QString &key) const;
    QString stringForKey(const QString &key) const;
    QByteArray dataForKey(const QString &key) const;
    QVariantMap dictionaryForKey(const QString &key) const;
    QVariantList arrayForKey(const QString &key) const;

    // QVariant of bool/qint64/double/QString/QByteArray/QDateTime/QVariantMap/QVariantList.
    // An invalid value removes the key; a value of any other type is refused with a log line.
    void setObject(const QVariant &value, const QString &key);
    void setBool(bool value, const QString &key);
    void setInteger(qint64 value, const QString &key);
    void setDouble(double value, const QString &key);
    void removeObjectForKey(const QString &key);

    // Writes pending changes now; false (with a log line) if the file could not be written.
    bool synchronize();

    // Whether the user (not the registered domain) holds a value for the key.
    bool hasPersistentValue(const QString &key) const;
    QVariantMap registeredDefaults() const;
    QVariantMap persistentDomain() const;
    QString filePath() const;

    // Forgets the in-memory state and reads the file again (as a new launch would).
    // Pending changes are written first.
    void reload();

    // Where a damaged settings file was moved when it was read (empty when it could not be
    // moved); answered once, so the user is told once. Nothing when no file was set aside.
    struct SetAside {
        QString reason;
        QString keptAs;
    };
    std::optional<SetAside> takeSetAsideFile();

private:
    void ensureLoadedLocked() const;
    void loadLocked() const;
    // Renames an unreadable file to <file>.corrupt-<time> so it is neither lost nor overwritten.
    void setAsideLocked(const QString &reason) const;
    void scheduleWriteLocked();
    bool writeLocked();

    QString m_filePath;
    mutable QMutex m_mutex;
    QVariantMap m_registered;
    mutable QVariantMap m_persistent;
    mutable bool m_loaded = false;
    mutable std::optional<SetAside> m_setAside;
    bool m_dirty = false;
    bool m_writeScheduled = false;
    std::shared_ptr<char> m_lifeGuard = std::make_shared<char>();
};
