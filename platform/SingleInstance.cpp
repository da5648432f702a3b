#include "platform/SingleInstance.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QPointer>

Q_LOGGING_CATEGORY(lcInstance, "quintora.instance")

namespace {

// Frames: a 32-bit big-endian length, then a QDataStream of a QStringList. The reply is "OK".
constexpr quint32 kMaximumFrameSize = 1 << 20;
const QByteArray kAcknowledgement = QByteArrayLiteral("OK");
const char kBufferProperty[] = "qntInstanceBuffer";

} // namespace

SingleInstance::SingleInstance(QObject *parent)
    : QObject(parent)
{
}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
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

bool SingleInstance::sendToRunningInstance(const QStringList &messages, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(serverName());
    if (!socket.waitForConnected(timeoutMs))
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
    socket.write(frame);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    QByteArray reply;
    while (reply.size() < kAcknowledgement.size()) {
        if (!socket.waitForReadyRead(timeoutMs))
            break;
        reply += socket.readAll();
    }
    socket.disconnectFromServer();
    return reply.startsWith(kAcknowledgement);
}

bool SingleInstance::listen()
{
    if (m_server && m_server->isListening())
        return true;
    if (!m_server) {
        // No socket options: with them Qt replaces a live socket instead of refusing.
        m_server = new QLocalServer(this);
        connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnection);
    }
    const QString name = serverName();
    if (m_server->listen(name))
        return restrictToUser();
    if (m_server->serverError() != QAbstractSocket::AddressInUseError) {
        qCWarning(lcInstance) << "cannot listen on" << name << ":" << m_server->errorString();
        return false;
    }
    // Someone answers: a live instance. Nobody answers: a socket left by a crash.
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(500)) {
        probe.disconnectFromServer();
        return false;
    }
    QLocalServer::removeServer(name);
    if (m_server->listen(name))
        return restrictToUser();
    qCWarning(lcInstance) << "cannot listen on" << name << ":" << m_server->errorString();
    return false;
}

bool SingleInstance::restrictToUser()
{
    // Only this user may hand documents to the running instance.
    const QString path = m_server->fullServerName();
    if (QFileInfo(path).exists()
        && !QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        qCWarning(lcInstance) << "cannot restrict access to" << path;
    }
    return true;
}

bool SingleInstance::isListening() const
{
    return m_server && m_server->isListening();
}

void SingleInstance::acceptConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
        readFrom(socket);
    }
}

void SingleInstance::readFrom(QLocalSocket *socket)
{
    QByteArray buffer = socket->property(kBufferProperty).toByteArray() + socket->readAll();
    if (buffer.size() < 4) {
        socket->setProperty(kBufferProperty, buffer);
        return;
    }
    quint32 length = 0;
    {
        QDataStream stream(buffer.left(4));
        stream >> length;
    }
    if (length > kMaximumFrameSize) {
        qCWarning(lcInstance) << "ignoring an oversized message from another instance";
        socket->abort();
        return;
    }
    if (quint32(buffer.size()) < 4 + length) {
        socket->setProperty(kBufferProperty, buffer);
        return;
    }
    QStringList messages;
    {
        QDataStream stream(buffer.mid(4, int(length)));
        stream >> messages;
        if (stream.status() != QDataStream::Ok) {
            qCWarning(lcInstance) << "ignoring a malformed message from another instance";
            socket->abort();
            return;
        }
    }
    socket->setProperty(kBufferProperty, QByteArray());
    socket->write(kAcknowledgement);
    socket->flush();
    QPointer<SingleInstance> self(this);
    for (const QString &message : std::as_const(messages)) {
        emit messageReceived(message);
        if (!self)
            return;
    }
}
