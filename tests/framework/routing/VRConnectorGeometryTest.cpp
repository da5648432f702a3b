#include "framework/routing/VRConnectorGeometry.h"

#include "common/SegmentChecks.h"

#include <gtest/gtest.h>

using qnt::test::isOrthogonal;

TEST(VRConnectorGeometry, ManualRoutings)
{
    const QPointF a(0, 0), b(100, 50);
    EXPECT_EQ(VRConnectorGeometry::straight(a, b), (QList<QPointF>{a, b}));
    EXPECT_EQ(VRConnectorGeometry::orthogonal(a, VRRouteSide::Right, b, VRRouteSide::Left),
              (QList<QPointF>{a, {50, 0}, {50, 50}, b}));
    EXPECT_EQ(VRConnectorGeometry::orthogonal(a, VRRouteSide::Bottom, b, VRRouteSide::Top),
              (QList<QPointF>{a, {0, 25}, {100, 25}, b}));
    EXPECT_EQ(VRConnectorGeometry::orthogonal(a, VRRouteSide::Right, b, VRRouteSide::Top),
              (QList<QPointF>{a, {100, 0}, b}));
    const QList<QPointF> zig = VRConnectorGeometry::zigZag(a, b, 3);
    EXPECT_EQ(zig.size(), 7);
    EXPECT_EQ(zig.last(), b);
    EXPECT_TRUE(isOrthogonal(zig));
    const QPainterPath curve =
        VRConnectorGeometry::pathThrough({a, b}, true, VRRouteSide::Right, VRRouteSide::Left);
    EXPECT_EQ(curve.elementCount(), 4); // moveTo + one cubic
    EXPECT_EQ(curve.currentPosition(), b);
    EXPECT_EQ(VRConnectorGeometry::pointsOf(curve), (QList<QPointF>{a, b}));
    EXPECT_EQ(VRConnectorGeometry::sideOf({0, 0, 100, 50}, {100, 25}), VRRouteSide::Right);
    EXPECT_EQ(VRConnectorGeometry::sideOf({0, 0, 100, 50}, {50, 0}), VRRouteSide::Top);
}
