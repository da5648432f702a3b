#include "framework/styles/VRPathGeometry.h"

#include <QPainterPath>
#include <QRandomGenerator>

#include <gtest/gtest.h>

// Each point of a rough stroke moves by two draws of the seeded generator: the first across x,
// the second across y, whichever compiler built it.
TEST(VRPathGeometry, RoughPointsTakeTheirDrawsInOrder)
{
    QPainterPath line;
    line.moveTo(0, 0);
    line.lineTo(120, 0);
    const quint64 seed = 0x1234567890abcdefULL;
    const double roughness = 0.5;
    const QPainterPath rough = VRPathGeometry::rough(line, roughness, seed);
    ASSERT_GE(rough.elementCount(), 3);

    QRandomGenerator random(static_cast<quint32>(seed ^ (seed >> 32)));
    const double wobble = 0.5 + roughness * 3.5;
    for (int i = 0; i < 3; ++i) {
        const double dx = (random.generateDouble() - 0.5) * 2.0 * wobble;
        const double dy = (random.generateDouble() - 0.5) * 2.0 * wobble;
        const QPointF point = rough.elementAt(i);
        const double along = 120.0 * i / (rough.elementCount() - 1);
        EXPECT_DOUBLE_EQ(point.x(), along + dx) << "point " << i;
        EXPECT_DOUBLE_EQ(point.y(), dy) << "point " << i;
    }
}
