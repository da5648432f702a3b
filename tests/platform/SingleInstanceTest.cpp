#include "platform/SingleInstance.h"

#include "common/ScopedEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
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
