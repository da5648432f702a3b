#include "platform/DelayedPerform.h"

#include <QCoreApplication>
#include <QtCore/qtestsupport_core.h>

#include <gtest/gtest.h>

#include <memory>

TEST(DelayedPerform, RunsOnTheNextTurnAndNotAfterTheContextDies)
{
    auto context = std::make_unique<QObject>();
    int runs = 0;
    DelayedPerform::performLater(context.get(), [&] { ++runs; });
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(DelayedPerform::pendingPerformRequests(context.get()), 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(runs, 1);

    DelayedPerform::performLater(context.get(), [&] { ++runs; });
    context.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(runs, 1);
}

TEST(DelayedPerform, CancelDropsPendingCalls)
{
    QObject context;
    int runs = 0;
    DelayedPerform::performAfterDelay(&context, 0.01, [&] { ++runs; });
    DelayedPerform::performLater(&context, [&] { ++runs; });
    DelayedPerform::cancelPreviousPerformRequests(&context);
    EXPECT_EQ(DelayedPerform::pendingPerformRequests(&context), 0);
    QTest::qWait(30);
    EXPECT_EQ(runs, 0);
    DelayedPerform::performAfterDelay(&context, 0.01, [&] { ++runs; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return runs == 1; }, 2000));
}
