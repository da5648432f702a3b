#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <map>

class QSocketNotifier;

// Keeps one running instance per user session: the first instance listens on a local socket
// named from XDG_RUNTIME_DIR (else HOME); a later instance hands its arguments (for example
// quintora:// URLs) to it and ends. A Unix domain socket of our own, served from the event loop:
// nothing of a network library is needed at launch. GUI thread only.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    explicit SingleInstance(QObject *parent = nullptr);
    ~SingleInstance() override;

    // The socket used by the instances of this user session: a path, or a bare name for a
    // socket in the temporary folder (see socketPath()).
    static QString serverName();
    // The file system path of the socket a server name stands for.
    static QString socketPath(const QString &name);

    // Hands the messages to a running instance; true when it acknowledged them.
    static bool sendToRunningInstance(const QStringList &messages, int timeoutMs = 2000);

    // Starts listening (taking over a stale socket left by an instance that died); false when
    // another instance is listening or the socket cannot be made.
    bool listen();
    bool isListening() const;

signals:
    // One message of another instance, in the order sent.
    void messageReceived(const QString &message);

private:
    struct Connection {
        QSocketNotifier *notifier = nullptr;
        QByteArray buffer;
    };

    bool bindTo(const QString &path);
    void acceptConnection();
    void readFrom(int fd);
    void closeConnection(int fd);

    int m_fd = -1;
    QString m_path;
    QSocketNotifier *m_notifier = nullptr;
    std::map<int, Connection> m_connections;
};
