#include "platform/SingleInstance.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QPointer>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcInstance, "quintora.instance")

namespace {

// Frames: a 32-bit big-endian length, then a QDataStream of a QStringList. The reply is "OK".
constexpr quint32 kMaximumFrameSize = 1 << 20;
const QByteArray kAcknowledgement = QByteArrayLiteral("OK");

bool addressFor(const QString &path, sockaddr_un &address)
{
    const QByteArray bytes = QFile::encodeName(path);
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (bytes.isEmpty() || size_t(bytes.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, bytes.constData(), size_t(bytes.size()));
    return true;
}

int newSocket()
{
    return ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
}

// Waits until the descriptor is ready for the events or the deadline passes.
bool waitFor(int fd, short events, const QDeadlineTimer &deadline)
{
    for (;;) {
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, int(qMax<qint64>(deadline.remainingTime(), 0)));
        if (ready < 0 && errno == EINTR)
            continue;
        return ready > 0 && (entry.revents & (events | POLLHUP | POLLERR));
    }
}

// Connects a new socket to the path within the time; -1 when nobody answers.
int connectTo(const QString &path, const QDeadlineTimer &deadline)
{
    sockaddr_un address;
    if (!addressFor(path, address))
        return -1;
    const int fd = newSocket();
    if (fd < 0)
        return -1;
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0)
        return fd;
    if (errno == EINPROGRESS || errno == EAGAIN) {
        int error = 0;
        socklen_t length = sizeof error;
        if (waitFor(fd, POLLOUT, deadline)
            && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0)
            return fd;
    }
    ::close(fd);
    return -1;
}

bool writeAll(int fd, const QByteArray &bytes, const QDeadlineTimer &deadline)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n =
            ::send(fd, bytes.constData() + written, size_t(bytes.size() - written), MSG_NOSIGNAL);
        if (n > 0) {
            written += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && waitFor(fd, POLLOUT, deadline))
            continue;
        return false;
    }
    return true;
}

} // namespace

SingleInstance::SingleInstance(QObject *parent)
    : QObject(parent)
{
}

SingleInstance::~SingleInstance()
{
    while (!m_connections.empty())
        closeConnection(m_connections.begin()->first);
    if (m_fd >= 0) {
        delete m_notifier;
        ::close(m_fd);
        // Only the socket this instance made: a later instance may have taken the name over.
        struct stat info {
        };
        if (::lstat(QFile::encodeName(m_path).constData(), &info) == 0 && S_ISSOCK(info.st_mode))
            ::unlink(QFile::encodeName(m_path).constData());
    }
}

QString SingleInstance::serverName()
{
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    QString name = QStringLiteral("/quintora-instance");
    if (folder.isEmpty() || !QDir::isAbsolutePath(folder) || !QFileInfo(folder).isDir()) {
        folder = QDir::homePath();
        name = QStringLiteral("/.quintora-instance");
    }
    const QString path = QDir::cleanPath(folder) + name;
    // Socket paths are limited to about 107 bytes; a long one becomes a name in the
    // temporary folder, unique per folder.
    if (path.toLocal8Bit().size() < 100)
        return path;
    const QByteArray digest =
        QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha1).toHex();
    return QStringLiteral("quintora-%1").arg(QString::fromLatin1(digest.left(16)));
}

QString SingleInstance::socketPath(const QString &name)
{
    if (QDir::isAbsolutePath(name))
        return name;
    return QDir::cleanPath(QDir::tempPath()) + QLatin1Char('/') + name;
}

bool SingleInstance::sendToRunningInstance(const QStringList &messages, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    const int fd = connectTo(socketPath(serverName()), deadline);
    if (fd < 0)
        return false;
    QByteArray payload;
    {
        QDataStream stream(&payload, QIODevice::WriteOnly);
        stream << messages;
    }
    QByteArray frame;
    {
        QDataStream stream(&frame, QIODevice::WriteOnly);
        stream << quint32(payload.size());
    }
    frame += payload;
    QByteArray reply;
    if (writeAll(fd, frame, deadline)) {
        while (reply.size() < kAcknowledgement.size() && waitFor(fd, POLLIN, deadline)) {
            char buffer[16];
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (n <= 0)
                break;
            reply.append(buffer, n);
        }
    }
    ::close(fd);
    return reply.startsWith(kAcknowledgement);
}

bool SingleInstance::listen()
{
    if (m_fd >= 0)
        return true;
    const QString path = socketPath(serverName());
    if (bindTo(path))
        return true;
    if (errno != EADDRINUSE) {
        qCWarning(lcInstance) << "cannot listen on" << path << ":" << std::strerror(errno);
        return false;
    }
    // Someone answers: a live instance. Nobody answers: a socket left by a crash.
    const int probe = connectTo(path, QDeadlineTimer(500));
    if (probe >= 0) {
        ::close(probe);
        return false;
    }
    ::unlink(QFile::encodeName(path).constData());
    if (bindTo(path))
        return true;
    qCWarning(lcInstance) << "cannot listen on" << path << ":" << std::strerror(errno);
    return false;
}

bool SingleInstance::bindTo(const QString &path)
{
    sockaddr_un address;
    if (!addressFor(path, address)) {
        errno = ENAMETOOLONG;
        return false;
    }
    const int fd = newSocket();
    if (fd < 0)
        return false;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || ::listen(fd, 16) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return false;
    }
    // Only this user may hand documents to the running instance.
    if (::chmod(address.sun_path, S_IRUSR | S_IWUSR) != 0)
        qCWarning(lcInstance) << "cannot restrict access to" << path;
    m_fd = fd;
    m_path = path;
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SingleInstance::acceptConnection);
    return true;
}

bool SingleInstance::isListening() const
{
    return m_fd >= 0;
}

void SingleInstance::acceptConnection()
{
    for (;;) {
        const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        Connection &connection = m_connections[fd];
        connection.notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(connection.notifier, &QSocketNotifier::activated, this,
                [this, fd] { readFrom(fd); });
        readFrom(fd);
    }
}

void SingleInstance::closeConnection(int fd)
{
    auto it = m_connections.find(fd);
    if (it == m_connections.end())
        return;
    // Deleted later: this may run inside the notifier's own signal.
    it->second.notifier->setEnabled(false);
    it->second.notifier->deleteLater();
    m_connections.erase(it);
    ::close(fd);
}

void SingleInstance::readFrom(int fd)
{
    auto it = m_connections.find(fd);
    if (it == m_connections.end())
        return;
    QByteArray &buffer = it->second.buffer;
    bool ended = false;
    for (;;) {
        char chunk[4096];
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n > 0) {
            buffer.append(chunk, n);
            if (quint32(buffer.size()) > 4 + kMaximumFrameSize)
                break;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        ended = n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
        break;
    }
    quint32 length = 0;
    if (buffer.size() >= 4) {
        QDataStream stream(buffer.left(4));
        stream >> length;
        if (length > kMaximumFrameSize) {
            qCWarning(lcInstance) << "ignoring an oversized message from another instance";
            closeConnection(fd);
            return;
        }
    }
    if (buffer.size() < 4 || quint32(buffer.size()) < 4 + length) {
        if (ended)
            closeConnection(fd);
        return;
    }
    QStringList messages;
    {
        QDataStream stream(buffer.mid(4, int(length)));
        stream >> messages;
        if (stream.status() != QDataStream::Ok) {
            qCWarning(lcInstance) << "ignoring a malformed message from another instance";
            closeConnection(fd);
            return;
        }
    }
    buffer.clear();
    ::send(fd, kAcknowledgement.constData(), size_t(kAcknowledgement.size()), MSG_NOSIGNAL);
    if (ended)
        closeConnection(fd);
    QPointer<SingleInstance> self(this);
    for (const QString &message : std::as_const(messages)) {
        emit messageReceived(message);
        if (!self)
            return;
    }
}
