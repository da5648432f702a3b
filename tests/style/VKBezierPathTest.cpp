#include "style/VKBezierPath.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(BezierPath, RoundEndedRectangles)
{
    // A square gives a circle: its points lie at the radius from the centre.
    const QPainterPath circle = VKBezierPath::bezierPathWithRoundEndedRectInRect({0, 0, 20, 20});
    EXPECT_EQ(circle.boundingRect(), QRectF(0, 0, 20, 20));
    EXPECT_NEAR(QLineF(QPointF(10, 10), circle.pointAtPercent(0.3)).length(), 10, 0.05);
    const QPainterPath bar = VKBezierPath::bezierPathWithRoundEndedRectInRect({0, 0, 40, 10});
    EXPECT_EQ(bar.boundingRect(), QRectF(0, 0, 40, 10));
    EXPECT_FALSE(bar.contains(QPointF(0.5, 0.5))); // the ends are round
    EXPECT_TRUE(bar.contains(QPointF(20, 0.5)));
}

TEST(BezierPath, RoundRectRadiusIsCutAndZeroGivesAPlainRectangle)
{
    struct Case {
        QRectF rect;
        double radius;
        bool cornerFilled;
    };
    const Case cases[] = {
        {{0, 0, 40, 20}, 0, true},
        {{0, 0, 40, 0}, 5, true},
        {{0, 0, 40, 20}, 100, false},
    };
    for (const Case &c : cases) {
        const QPainterPath path = VKBezierPath::roundRectInRect(c.rect, c.radius);
        EXPECT_EQ(path.boundingRect(), c.rect);
        if (c.rect.height() > 0) {
            EXPECT_EQ(path.contains(QPointF(0.3, 0.3)), c.cornerFilled);
        }
    }
    // A radius above half the shorter side is cut to that half: the ends are half circles.
    const QPainterPath cut = VKBezierPath::roundRectInRect({0, 0, 40, 20}, 100);
    EXPECT_TRUE(cut.contains(QPointF(10, 0.5)));
}

TEST(BezierPath, IrisRingLeavesAGapForItsTab)
{
    const QPainterPath ring = VKBezierPath::bezierPathWithIrisRingWithRadius(40, 10, QSizeF(6, 6));
    EXPECT_TRUE(ring.contains(QPointF(0, 40))); // on the ring
    EXPECT_FALSE(ring.contains(QPointF(0, 0))); // the hole
    EXPECT_TRUE(ring.contains(QPointF(47, 0))); // the tab beyond the ring
    const QPainterPath tab = VKBezierPath::bezierPathWithIrisTabWithRadius(40, 10, QSizeF(6, 6));
    EXPECT_EQ(tab.boundingRect(), QRectF(45, -3, 6, 6));
    // Turned a quarter round, the tab lies below the centre (y grows downwards).
    const QPainterPath turned =
        VKBezierPath::bezierPathWithIrisTabWithRadius(40, 10, M_PI / 2, QSizeF(6, 6));
    EXPECT_TRUE(turned.contains(QPointF(0, 48)));
}

TEST(BezierPath, TargetsAreACircleWithACross)
{
    const QPainterPath target = VKBezierPath::bezierPathWithTargetInRect({0, 0, 20, 20});
    EXPECT_EQ(target.boundingRect(), QRectF(0, 0, 20, 20));
    const QPainterPath left = VKBezierPath::bezierPathWithOffsetTargetInRect({0, 0, 20, 20}, -1);
    EXPECT_TRUE(left.contains(QPointF(2, 10)));
    const QPainterPath right = VKBezierPath::bezierPathWithOffsetTargetInRect({0, 0, 20, 20}, 1);
    EXPECT_FALSE(right.contains(QPointF(2, 8)));
    EXPECT_TRUE(right.contains(QPointF(18, 10)));
}

} // namespace
