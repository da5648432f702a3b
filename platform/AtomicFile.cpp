#include "platform/AtomicFile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <QRegularExpression>

#include <cerrno>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

QString reason(int error)
{
    return QString::fromStdString(std::error_code(error, std::generic_category()).message());
}

// Closes a descriptor when it goes.
class FileDescriptor
{
public:
    explicit FileDescriptor(int fd)
        : m_fd(fd)
    {
    }
    ~FileDescriptor() { close(); }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    int get() const { return m_fd; }
    // The error of close() itself, which some file systems report only there.
    int close()
    {
        if (m_fd < 0)
            return 0;
        const int result = ::close(m_fd);
        m_fd = -1;
        return result == 0 ? 0 : errno;
    }

private:
    int m_fd = -1;
};

// The permissions a new file gets: 0666 less the process's umask, read without changing it.
mode_t newFileMode()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok)
                    return 0666 & ~mode_t(mask);
            }
        }
    }
    return 0644;
}

std::optional<QString> syncPath(const QByteArray &path, bool folder)
{
    const int fd = ::open(path.constData(), (folder ? O_DIRECTORY : 0) | O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return reason(errno);
    FileDescriptor owner(fd);
    if (::fsync(fd) != 0 && errno != EINVAL) // EINVAL: a file system that cannot sync
        return reason(errno);
    return std::nullopt;
}

QByteArray parentOf(const QString &path)
{
    return QFile::encodeName(QFileInfo(path).absolutePath());
}

const QString kTemporarySuffix = QStringLiteral(".quintora-partial");
constexpr int kRandomLength = 6;

// Removes the file when it is a leftover: a regular file that nobody holds locked (a writer
// holds its temporary file locked until it renames it; the lock goes with the process).
bool removeIfAbandoned(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    FileDescriptor file(fd);
    struct stat status {
    };
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return false;
    return ::unlink(name.constData()) == 0;
}

} // namespace

std::optional<QString> AtomicFile::write(const QString &path, QByteArrayView data)
{
    // A link keeps pointing where it did: the file it names is replaced.
    const QFileInfo info(path);
    const QString resolved =
        info.isSymLink() && info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
    const QByteArray target = QFile::encodeName(resolved);
    const QFileInfo resolvedInfo(resolved);
    QByteArray temporary =
        QFile::encodeName(resolvedInfo.absolutePath() + QStringLiteral("/.")
                          + resolvedInfo.fileName() + QStringLiteral(".XXXXXX") + kTemporarySuffix);
    const int fd = ::mkostemps(temporary.data(), int(kTemporarySuffix.size()), O_CLOEXEC);
    if (fd < 0)
        return reason(errno);
    FileDescriptor file(fd);
    // Held until the descriptor closes, so a launch of the application that looks for
    // leftovers meanwhile knows this one is being written.
    ::flock(fd, LOCK_EX | LOCK_NB);
    auto fail = [&](int error) -> std::optional<QString> {
        file.close();
        ::unlink(temporary.constData());
        return reason(error);
    };
    struct stat existing {
    };
    const mode_t mode =
        ::stat(target.constData(), &existing) == 0 ? (existing.st_mode & 07777) : newFileMode();
    if (::fchmod(fd, mode) != 0)
        return fail(errno);
    qsizetype written = 0;
    while (written < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + written, size_t(data.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(n < 0 ? errno : ENOSPC);
        written += n;
    }
    // The data reaches the disk before the name points at it.
    if (::fdatasync(fd) != 0)
        return fail(errno);
    if (const int error = file.close())
        return fail(error);
    if (::rename(temporary.constData(), target.constData()) != 0)
        return fail(errno);
    return syncPath(parentOf(resolved), true);
}

std::optional<QString> AtomicFile::syncFile(const QString &path)
{
    return syncPath(QFile::encodeName(path), false);
}

std::optional<QString> AtomicFile::syncFolder(const QString &folder)
{
    return syncPath(QFile::encodeName(folder), true);
}

std::optional<QString> AtomicFile::syncTree(const QString &folder)
{
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString entry = it.next();
        const QFileInfo info = it.fileInfo();
        if (info.isSymLink())
            continue;
        if (auto error = syncPath(QFile::encodeName(entry), info.isDir()))
            return error;
    }
    return syncFolder(folder);
}

std::optional<QString> AtomicFile::replace(const QString &path, const QString &replacement)
{
    const QByteArray target = QFile::encodeName(path);
    const QByteArray incoming = QFile::encodeName(replacement);
    if (::renameat2(AT_FDCWD, incoming.constData(), AT_FDCWD, target.constData(), RENAME_EXCHANGE)
        != 0) {
        if (errno == EINVAL) {
            // A file system without the exchange: move the old one aside first. The name is
            // missing for a moment, but neither content is ever lost.
            const QByteArray aside = incoming + ".previous";
            if (::rename(target.constData(), aside.constData()) != 0 && errno != ENOENT)
                return reason(errno);
            if (::rename(incoming.constData(), target.constData()) != 0) {
                const int error = errno;
                ::rename(aside.constData(), target.constData());
                return reason(error);
            }
            ::rename(aside.constData(), incoming.constData());
        } else if (errno != ENOENT) {
            return reason(errno);
        } else if (::renameat2(AT_FDCWD, incoming.constData(), AT_FDCWD, target.constData(),
                               RENAME_NOREPLACE)
                   != 0) {
            // Nothing at `path` yet: a plain rename, which cannot replace anything by accident.
            return reason(errno);
        }
    }
    return syncPath(parentOf(path), true);
}

bool AtomicFile::isTemporaryName(const QString &fileName, const QString &targetName)
{
    if (!fileName.startsWith(QLatin1Char('.')) || !fileName.endsWith(kTemporarySuffix))
        return false;
    const QString middle = fileName.mid(1, fileName.size() - 1 - kTemporarySuffix.size());
    // <target name>.<six letters or digits>
    static const QRegularExpression form(
        QStringLiteral("^(.+)\\.[A-Za-z0-9]{%1}$").arg(kRandomLength));
    const QRegularExpressionMatch match = form.match(middle);
    if (!match.hasMatch())
        return false;
    return targetName.isEmpty() || match.captured(1) == targetName;
}

QStringList AtomicFile::removeLeftoversOf(const QString &path)
{
    QStringList removed;
    QStringList targets{QFileInfo(path).absoluteFilePath()};
    const QFileInfo info(path);
    if (info.isSymLink() && info.exists())
        targets.append(info.canonicalFilePath());
    for (const QString &target : targets) {
        const QFileInfo targetInfo(target);
        const QString name = targetInfo.fileName();
        QDir folder = targetInfo.absoluteDir();
        const QStringList candidates =
            folder.entryList({QLatin1Char('.') + name + QStringLiteral(".*") + kTemporarySuffix},
                             QDir::Files | QDir::Hidden | QDir::System);
        for (const QString &candidate : candidates) {
            const QString candidatePath = folder.filePath(candidate);
            if (isTemporaryName(candidate, name) && !removed.contains(candidatePath)
                && removeIfAbandoned(candidatePath))
                removed.append(candidatePath);
        }
    }
    return removed;
}

QStringList AtomicFile::removeLeftoversIn(const QString &folder)
{
    QStringList removed;
    if (folder.isEmpty())
        return removed;
    // Links are not followed: only what lies in the folder itself is looked at.
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (isTemporaryName(it.fileName()) && removeIfAbandoned(path))
            removed.append(path);
    }
    return removed;
}
