#include "platform/DocumentLock.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStringList>
#include <QSysInfo>

#include <cerrno>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcDocumentLock, "quintora.documents.lock")

namespace {

QByteArray readSmallFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(4096);
}

QString bootId()
{
    return QString::fromLatin1(readSmallFile(QStringLiteral("/proc/sys/kernel/random/boot_id")))
        .trimmed();
}

// The start time of a process in clock ticks after boot (field 22 of its stat line); empty
// when it cannot be read. Tells a process from a later one that got the same number.
QString startTimeOf(qint64 pid)
{
    const QByteArray stat = readSmallFile(QStringLiteral("/proc/%1/stat").arg(pid));
    // The command name (field 2) may hold spaces and parentheses: count after its last ')'.
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return {};
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    // fields[0] is field 3 (the state), so field 22 is fields[19].
    return fields.size() > 19 ? QString::fromLatin1(fields.at(19)) : QString();
}

QString userName()
{
    if (const passwd *entry = ::getpwuid(::geteuid()))
        return QString::fromLocal8Bit(entry->pw_name);
    return QString::number(::geteuid());
}

struct Record {
    DocumentLock::Holder holder;
    QString boot;
    QString started;
};

std::optional<Record> readRecord(const QString &lockPath)
{
    const QStringList lines = QString::fromUtf8(readSmallFile(lockPath)).split(QLatin1Char('\n'));
    bool ok = false;
    const qint64 pid = lines.value(0).toLongLong(&ok);
    if (!ok || pid <= 0)
        return std::nullopt;
    return Record{{pid, lines.value(1), lines.value(2)}, lines.value(3), lines.value(4)};
}

bool isOurs(const Record &record)
{
    return record.holder.pid == ::getpid() && record.holder.host == QSysInfo::machineHostName()
           && record.boot == bootId();
}

// Whether the process that wrote the record may still be running.
bool isLive(const Record &record)
{
    if (record.holder.host != QSysInfo::machineHostName())
        return true; // nothing to ask on another machine
    if (!record.boot.isEmpty() && record.boot != bootId())
        return false; // written before a restart
    if (::kill(pid_t(record.holder.pid), 0) != 0 && errno == ESRCH)
        return false;
    // The number may have gone to a newer process since.
    const QString started = startTimeOf(record.holder.pid);
    return record.started.isEmpty() || started.isEmpty() || started == record.started;
}

} // namespace

QString DocumentLock::Holder::description() const
{
    return QStringLiteral("%1 on %2 (process %3)").arg(user, host).arg(pid);
}

QString DocumentLock::lockPathFor(const QString &documentPath)
{
    const QFileInfo file(documentPath);
    return file.absolutePath() + QStringLiteral("/.") + file.fileName()
           + QStringLiteral(".quintora-lock");
}

std::optional<DocumentLock::Holder> DocumentLock::holderElsewhere(const QString &documentPath)
{
    const std::optional<Record> record = readRecord(lockPathFor(documentPath));
    if (!record || isOurs(*record) || !isLive(*record))
        return std::nullopt;
    return record->holder;
}

DocumentLock::DocumentLock(const QString &documentPath)
    : m_documentPath(QFileInfo(documentPath).absoluteFilePath())
    , m_lockPath(lockPathFor(documentPath))
{
    const QByteArray contents =
        QStringLiteral("%1\n%2\n%3\n%4\n%5\n")
            .arg(::getpid())
            .arg(QSysInfo::machineHostName(), userName(), bootId(), startTimeOf(::getpid()))
            .toUtf8();
    const QByteArray path = QFile::encodeName(m_lockPath);
    for (int attempt = 0; attempt < 2 && !m_held; ++attempt) {
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            const bool written = ::write(fd, contents.constData(), size_t(contents.size()))
                                 == ssize_t(contents.size());
            ::close(fd);
            if (!written) {
                ::unlink(path.constData());
                break;
            }
            m_held = true;
            break;
        }
        if (errno != EEXIST)
            break;
        // A lock left by a process that has ended (or an unreadable one) is replaced.
        const std::optional<Record> record = readRecord(m_lockPath);
        if (record && !isOurs(*record) && isLive(*record))
            break;
        qCInfo(lcDocumentLock).noquote() << "replacing the stale lock" << m_lockPath;
        ::unlink(path.constData());
    }
    if (!m_held)
        qCInfo(lcDocumentLock).noquote() << "could not lock" << m_documentPath;
}

DocumentLock::~DocumentLock()
{
    if (!m_held)
        return;
    // Only a lock that is still ours goes: another process may have replaced it meanwhile.
    const std::optional<Record> record = readRecord(m_lockPath);
    if (record && isOurs(*record))
        QFile::remove(m_lockPath);
}
