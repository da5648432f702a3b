#include "framework/base/VRGeometry.h"

#include <gtest/gtest.h>

// Flat rectangles and bare points count with their place, in either order.
TEST(VRGeometry, SpanOfRectsKeepsFlatRectangles)
{
    const struct {
        QRectF a;
        QRectF b;
        QRectF span;
    } cases[] = {
        {QRectF(0, 0, 10, 10), QRectF(20, 5, 5, 5), QRectF(0, 0, 25, 10)},
        // A horizontal line and a vertical one.
        {QRectF(0, 0, 10, 0), QRectF(30, -5, 0, 8), QRectF(0, -5, 30, 8)},
        // A point beside a square.
        {QRectF(10, 10, 4, 4), QRectF(-2, 3, 0, 0), QRectF(-2, 3, 16, 11)},
        {QRectF(3, 3, 0, 0), QRectF(3, 3, 0, 0), QRectF(3, 3, 0, 0)},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(vrSpanOfRects(c.a, c.b), c.span) << c.a.x() << "," << c.a.y();
        EXPECT_EQ(vrSpanOfRects(c.b, c.a), c.span) << c.a.x() << "," << c.a.y();
    }
}
