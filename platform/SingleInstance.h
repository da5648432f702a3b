#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

// Keeps one running instance per user session: the first instance listens on a local socket
// named from XDG_RUNTIME_DIR (else HOME); a later instance hands its arguments (for example
// quintora:// URLs) to it and ends. GUI thread only.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    explicit SingleInstance(QObject *parent = nullptr);
    ~SingleInstance() override;

    // The socket used by the instances of this user session.
    static QString serverName();

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
    bool restrictToUser();
    void acceptConnection();
    void readFrom(QLocalSocket *socket);

    QLocalServer *m_server = nullptr;
};
