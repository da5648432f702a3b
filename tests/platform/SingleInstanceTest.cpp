#include "platform/SingleInstance.h"

#include "common/ScopedEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QtCore/qtestsupport_core.h>

#include <gtest/gtest.h>

#include <atomic>

TEST(SingleInstance, NameComesFromTheRuntimeFolder)
{
    EXPECT_EQ(SingleInstance::serverName(),
              qEnvironmentVariable("XDG_RUNTIME_DIR") + "/quintora-instance");
    const qnt::test::ScopedEnvironmentVariable unset("XDG_RUNTIME_DIR", std::nullopt);
    EXPECT_EQ(SingleInstance::serverName(), QDir::homePath() + "/.quintora-instance");
}

TEST(SingleInstance, SecondInstanceHandsItsMessagesToTheFirst)
{
    SingleInstance first;
    ASSERT_TRUE(first.listen());
    QStringList received;
    QObject::connect(&first, &SingleInstance::messageReceived,
                     [&](const QString &m) { received << m; });

    SingleInstance second;
    EXPECT_FALSE(second.listen());
    EXPECT_EQ(QFileInfo(SingleInstance::serverName()).permissions()
                  & (QFile::ReadOther | QFile::WriteOther | QFile::ReadGroup | QFile::WriteGroup),
              0);

    // The sender blocks, so it runs on another thread while this one serves.
    std::atomic<int> result{-1};
    QThread *sender = QThread::create([&] {
        result =
            SingleInstance::sendToRunningInstance({"quintora:///tmp/My%20Diagram.quintora", "ü"})
                ? 1
                : 0;
    });
    sender->start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return result.load() != -1; }, 10000));
    sender->wait();
    delete sender;
    EXPECT_EQ(result.load(), 1);
    EXPECT_EQ(received, (QStringList{"quintora:///tmp/My%20Diagram.quintora", "ü"}));
}

TEST(SingleInstance, NothingListeningMeansNoRunningInstance)
{
    EXPECT_FALSE(SingleInstance::sendToRunningInstance({"x"}, 200));
}

TEST(SingleInstance, StaleSocketIsTakenOver)
{
    // A socket file left behind by an instance that died.
    const QString name = SingleInstance::serverName();
    {
        QLocalServer dead;
        ASSERT_TRUE(dead.listen(name));
        dead.setProperty("keep", true);
        // Closing normally removes the file; recreate one to stand for a crash.
    }
    QFile stale(name);
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();
    SingleInstance instance;
    EXPECT_TRUE(instance.listen());
}

// Whatever another process sends that is no message (cut short, too long, not a list of texts)
// is dropped, and the instance still hears the next one.
TEST(SingleInstance, JunkIsDroppedAndTheNextMessageStillArrives)
{
    SingleInstance first;
    ASSERT_TRUE(first.listen());
    QStringList received;
    QObject::connect(&first, &SingleInstance::messageReceived,
                     [&](const QString &m) { received << m; });
    const QByteArray junks[] = {
        QByteArray("\x00\x00", 2),
        QByteArray("\xff\xff\xff\xff", 4),
        QByteArray("\x00\x00\x00\x04"
                   "abcd",
                   8),
    };
    for (const QByteArray &junk : junks) {
        QLocalSocket socket;
        socket.connectToServer(SingleInstance::socketPath(SingleInstance::serverName()));
        ASSERT_TRUE(socket.waitForConnected(2000));
        socket.write(junk);
        ASSERT_TRUE(socket.waitForBytesWritten(2000));
        QTest::qWait(20);
        socket.disconnectFromServer();
        QTest::qWait(20);
    }
    EXPECT_TRUE(received.isEmpty());

    std::atomic<int> result{-1};
    QThread *sender =
        QThread::create([&] { result = SingleInstance::sendToRunningInstance({"after"}) ? 1 : 0; });
    sender->start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return result.load() != -1; }, 10000));
    sender->wait();
    delete sender;
    EXPECT_EQ(result.load(), 1);
    EXPECT_EQ(received, QStringList{"after"});
}
