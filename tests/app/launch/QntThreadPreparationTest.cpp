// Qt's threads run the crash kit's thread preparation before their work: QThreads and thread
// pool workers, including a worker that started before the crash handlers went in.

#include "app/launch/QntThreadPreparation.h"

#include "telemetry/platform/ThreadStartHook.h"

#include <QObject>
#include <QThread>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <csignal>

namespace {

// Whether the crash kit's preparation ran on the calling thread. (Alternate stacks themselves say
// nothing here: where thread creation is wrapped every thread has one from its start.)
thread_local bool t_prepared = false;

bool hasAltStack()
{
    return t_prepared;
}

// Stands for what the crash handlers set when they go in.
void installAltStack()
{
    t_prepared = true;
}

class QntThreadPreparationTest : public ::testing::Test
{
protected:
    void SetUp() override { m_wasInstalled = QntThreadPreparation::isInstalled(); }
    void TearDown() override
    {
        tel::ThreadStartHook::setHook(nullptr);
        if (!m_wasInstalled)
            QntThreadPreparation::remove();
    }
    bool m_wasInstalled = false;
};

bool onQThread()
{
    bool prepared = false;
    QThread *thread = QThread::create([&prepared] { prepared = hasAltStack(); });
    thread->start();
    thread->wait();
    delete thread;
    return prepared;
}

bool onPoolWorker(QThreadPool &pool)
{
    bool prepared = false;
    pool.start([&prepared] {
        QObject made; // a worker that was there before gets its turn when it makes an object
        prepared = hasAltStack();
    });
    pool.waitForDone();
    return prepared;
}

} // namespace

TEST_F(QntThreadPreparationTest, QtThreadsAndPoolWorkersGetTheCrashKitsPreparation)
{
    ASSERT_TRUE(QntThreadPreparation::install());
    EXPECT_TRUE(QntThreadPreparation::install()); // again: nothing changes
    EXPECT_TRUE(QntThreadPreparation::isInstalled());

    QThreadPool pool;
    pool.setMaxThreadCount(1);
    pool.setExpiryTimeout(-1); // one worker for the whole test
    // Before the crash handlers are in, preparing does nothing.
    EXPECT_FALSE(onQThread());
    EXPECT_FALSE(onPoolWorker(pool));

    tel::ThreadStartHook::setHook(installAltStack);
    EXPECT_TRUE(onQThread());
    EXPECT_TRUE(onPoolWorker(pool)); // the same worker as before
    EXPECT_TRUE(onPoolWorker(pool));
}

TEST_F(QntThreadPreparationTest, RemovedItLeavesQtThreadsAlone)
{
    ASSERT_TRUE(QntThreadPreparation::install());
    QntThreadPreparation::remove();
    EXPECT_FALSE(QntThreadPreparation::isInstalled());
    tel::ThreadStartHook::setHook(installAltStack);
    EXPECT_FALSE(onQThread());
    if (m_wasInstalled) {
        ASSERT_TRUE(QntThreadPreparation::install());
    }
}
