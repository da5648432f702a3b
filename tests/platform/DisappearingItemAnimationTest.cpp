#include "platform/DisappearingItemAnimation.h"

#include <QCoreApplication>
#include <QPointer>

#include <gtest/gtest.h>

#include <memory>

namespace {

// The alpha of a picture's pixel.
int alphaAt(const QImage &image, int x, int y)
{
    return image.pixelColor(x, y).alpha();
}

} // namespace

TEST(DisappearingItemAnimationTest, TheCloudGrowsAndFades)
{
    const QSize size(48, 48);
    const QImage first = DisappearingItemAnimation::frameImage(0, size);
    const QImage last =
        DisappearingItemAnimation::frameImage(DisappearingItemAnimation::kFrameCount - 1, size);
    ASSERT_EQ(first.size(), size);
    EXPECT_EQ(alphaAt(first, 24, 24), 255);
    EXPECT_LT(alphaAt(last, 24, 24), 128);
    EXPECT_GT(alphaAt(last, 24, 24), 0);
    // Wider at the end: a point near the edge is reached only by the last frame.
    EXPECT_EQ(alphaAt(first, 4, 27), 0);
    EXPECT_GT(alphaAt(last, 4, 27), 0);
    // Frames outside the range are the first and the last.
    EXPECT_EQ(DisappearingItemAnimation::frameImage(-3, size), first);
    EXPECT_EQ(DisappearingItemAnimation::frameImage(99, size), last);
    const QImage cursor = DisappearingItemAnimation::cursorImage();
    EXPECT_EQ(cursor.size(), QSize(24, 24));
    EXPECT_GT(alphaAt(cursor, 12, 12), 200);
}

TEST(DisappearingItemAnimationTest, ItShowsOnThePointAndGoesAwayByItself)
{
    auto owner = std::make_unique<QWidget>();
    QPointer<DisappearingItemAnimation> puff =
        DisappearingItemAnimation::showCentredAt(owner.get(), QPoint(300, 200));
    ASSERT_TRUE(puff);
    EXPECT_TRUE(puff->isWindow());
    EXPECT_TRUE(puff->isVisible());
    EXPECT_EQ(puff->geometry(), QRect(QPoint(276, 176), DisappearingItemAnimation::defaultSize()));
    EXPECT_TRUE(puff->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_EQ(puff->frame(), 0);
    puff->finish();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(puff.isNull());

    // One still playing goes with the control it belongs to.
    puff = DisappearingItemAnimation::showCentredAt(owner.get(), QPoint(10, 10), QSize(20, 20));
    ASSERT_TRUE(puff);
    owner.reset();
    EXPECT_TRUE(puff.isNull());
}
