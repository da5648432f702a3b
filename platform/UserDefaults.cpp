#include "platform/UserDefaults.h"

#include "platform/AtomicFile.h"
#include "platform/PropertyList.h"
#include "platform/QntPaths.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTimer>

#include <cmath>
#include <limits>
#include <utility>

Q_LOGGING_CATEGORY(lcDefaults, "quintora.defaults")

namespace {

// A stored real as an integer: truncated, saturated at the ends of the range (a file may hold
// inf or 1e300, whose plain conversion is undefined), and 0 for NaN.
qint64 clampedInteger(double value)
{
    if (std::isnan(value))
        return 0;
    // 2^63 is exact as a double; every double below it converts without overflow.
    constexpr double kLimit = 9223372036854775808.0;
    if (value >= kLimit)
        return std::numeric_limits<qint64>::max();
    if (value < -kLimit)
        return std::numeric_limits<qint64>::min();
    return qint64(value);
}

} // namespace

UserDefaults::UserDefaults(const QString &filePath)
    : m_filePath(filePath)
{
}

UserDefaults::~UserDefaults()
{
    QMutexLocker lock(&m_mutex);
    if (m_dirty)
        writeLocked();
}

UserDefaults &UserDefaults::standardUserDefaults()
{
    static UserDefaults defaults(QntPaths::configFolder() + QStringLiteral("/Quintora.plist"));
    return defaults;
}

void UserDefaults::registerDefaults(const QVariantMap &values)
{
    QMutexLocker lock(&m_mutex);
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        m_registered.insert(it.key(), it.value());
}

QVariant UserDefaults::objectForKey(const QString &key) const
{
    QMutexLocker lock(&m_mutex);
    ensureLoadedLocked();
    auto it = m_persistent.constFind(key);
    if (it != m_persistent.cend())
        return it.value();
    return m_registered.value(key);
}

bool UserDefaults::boolForKey(const QString &key) const
{
    const QVariant value = objectForKey(key);
    switch (value.typeId()) {
    case QMetaType::Bool: return value.toBool();
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::ULongLong: return value.toLongLong() != 0;
    case QMetaType::Double: return value.toDouble() != 0.0;
    case QMetaType::QString: {
        const QString text = value.toString().trimmed();
        if (text.compare(QLatin1String("YES"), Qt::CaseInsensitive) == 0
            || text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return true;
        return text.toLongLong() != 0;
    }
    default: return false;
    }
}

qint64 UserDefaults::integerForKey(const QString &key) const
{
    const QVariant value = objectForKey(key);
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::ULongLong: return value.toLongLong();
    case QMetaType::Double: return clampedInteger(value.toDouble());
    case QMetaType::QString: return clampedInteger(value.toString().trimmed().toDouble());
    default: return 0;
    }
}

double UserDefaults::doubleForKey(const QString &key) const
{
    const QVariant value = objectForKey(key);
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double: return value.toDouble();
    case QMetaType::QString: return value.toString().trimmed().toDouble();
    default: return 0.0;
    }
}

QString UserDefaults::stringForKey(const QString &key) const
{
    const QVariant value = objectForKey(key);
    switch (value.typeId()) {
    case QMetaType::QString: return value.toString();
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double: return value.toString();
    case QMetaType::Bool: return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    default: return {};
    }
}

QByteArray UserDefaults::dataForKey(const QString &key) const
{
    const QVariant value = objectForKey(key);
    return value.typeId() == QMetaType::QByteArray ? value.toByteArray() : QByteArray();
}

QVariantMap UserDefaults::dictionaryForKey(const QString &key) const
{
    const QVariant value = objectForKey(key);
    return value.typeId() == QMetaType::QVariantMap ? value.toMap() : QVariantMap();
}

QVariantList UserDefaults::arrayForKey(const QString &key) const
{
    const QVariant value = objectForKey(key);
    if (value.typeId() == QMetaType::QVariantList || value.typeId() == QMetaType::QStringList)
        return value.toList();
    return {};
}

void UserDefaults::setObject(const QVariant &value, const QString &key)
{
    if (!value.isValid()) {
        removeObjectForKey(key);
        return;
    }
    QString error;
    if (!PropertyList::toXml(value, &error)) {
        qCWarning(lcDefaults) << "not storing" << key << ":" << error;
        return;
    }
    // Store integers uniformly as qint64 so readers see one type whatever the caller passed.
    QVariant stored = value;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::ULongLong: stored = QVariant(value.toLongLong()); break;
    case QMetaType::Float: stored = QVariant(value.toDouble()); break;
    case QMetaType::QStringList: stored = QVariant(value.toList()); break;
    default: break;
    }
    // Nested values normalise the same way they would after a round trip through the file.
    if (stored.typeId() == QMetaType::QVariantMap || stored.typeId() == QMetaType::QVariantList) {
        if (auto roundTrip = PropertyList::fromData(*PropertyList::toXml(stored)))
            stored = *roundTrip;
    }
    QMutexLocker lock(&m_mutex);
    ensureLoadedLocked();
    m_persistent.insert(key, stored);
    m_dirty = true;
    scheduleWriteLocked();
}

void UserDefaults::setBool(bool value, const QString &key)
{
    setObject(QVariant(value), key);
}

void UserDefaults::setInteger(qint64 value, const QString &key)
{
    setObject(QVariant(value), key);
}

void UserDefaults::setDouble(double value, const QString &key)
{
    setObject(QVariant(value), key);
}

void UserDefaults::removeObjectForKey(const QString &key)
{
    QMutexLocker lock(&m_mutex);
    ensureLoadedLocked();
    if (m_persistent.remove(key) == 0)
        return;
    m_dirty = true;
    scheduleWriteLocked();
}

bool UserDefaults::synchronize()
{
    QMutexLocker lock(&m_mutex);
    ensureLoadedLocked();
    if (!m_dirty)
        return true;
    return writeLocked();
}

bool UserDefaults::hasPersistentValue(const QString &key) const
{
    QMutexLocker lock(&m_mutex);
    ensureLoadedLocked();
    return m_persistent.contains(key);
}

QVariantMap UserDefaults::registeredDefaults() const
{
    QMutexLocker lock(&m_mutex);
    return m_registered;
}

QVariantMap UserDefaults::persistentDomain() const
{
    QMutexLocker lock(&m_mutex);
    ensureLoadedLocked();
    return m_persistent;
}

QString UserDefaults::filePath() const
{
    return m_filePath;
}

void UserDefaults::reload()
{
    QMutexLocker lock(&m_mutex);
    if (m_dirty)
        writeLocked();
    m_persistent.clear();
    m_loaded = false;
    loadLocked();
}

std::optional<UserDefaults::SetAside> UserDefaults::takeSetAsideFile()
{
    QMutexLocker lock(&m_mutex);
    ensureLoadedLocked();
    return std::exchange(m_setAside, std::nullopt);
}

void UserDefaults::ensureLoadedLocked() const
{
    if (!m_loaded)
        loadLocked();
}

void UserDefaults::loadLocked() const
{
    m_loaded = true;
    QFile file(m_filePath);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly)) {
        setAsideLocked(file.errorString());
        return;
    }
    const QByteArray bytes = file.readAll();
    file.close();
    QString error;
    const std::optional<QVariant> root = PropertyList::fromData(bytes, &error);
    if (root && root->typeId() == QMetaType::QVariantMap) {
        m_persistent = root->toMap();
        return;
    }
    if (root)
        error = QStringLiteral("its top level is not a dictionary");
    setAsideLocked(error);
}

void UserDefaults::setAsideLocked(const QString &reason) const
{
    // Keep the damaged file for the user to inspect instead of overwriting it later.
    const QString aside =
        m_filePath + QStringLiteral(".corrupt-")
        + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    const bool moved = QFile::rename(m_filePath, aside);
    m_setAside = SetAside{reason, moved ? aside : QString()};
    qCWarning(lcDefaults).noquote()
        << "the defaults file" << m_filePath << "is unreadable (" << reason << "); "
        << (moved ? "set it aside as " + aside : "could not set it aside")
        << "and using the registered values";
}

void UserDefaults::scheduleWriteLocked()
{
    if (m_writeScheduled)
        return;
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return; // written at synchronize() or destruction
    m_writeScheduled = true;
    // Coalesce a burst of changes into one write, made from the event loop.
    QMetaObject::invokeMethod(
        app,
        [this, guard = std::weak_ptr<char>(m_lifeGuard)] {
            if (guard.expired())
                return;
            QMutexLocker lock(&m_mutex);
            m_writeScheduled = false;
            if (m_dirty)
                writeLocked();
        },
        Qt::QueuedConnection);
}

bool UserDefaults::writeLocked()
{
    QString error;
    const std::optional<QByteArray> xml = PropertyList::toXml(QVariant(m_persistent), &error);
    if (!xml) {
        qCWarning(lcDefaults) << "cannot encode the defaults:" << error;
        return false;
    }
    QDir().mkpath(QFileInfo(m_filePath).absolutePath());
    if (const auto error = AtomicFile::write(m_filePath, *xml)) {
        qCWarning(lcDefaults) << "cannot write the defaults file" << m_filePath << ":" << *error;
        return false;
    }
    m_dirty = false;
    return true;
}
