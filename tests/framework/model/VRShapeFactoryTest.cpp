#include "framework/model/VRShapeFactory.h"

#include <gtest/gtest.h>

TEST(VRShapeFactory, RoundedRectangleFillsItsRectangle)
{
    EXPECT_EQ(VRShapeFactory::roundRectInRect(QRectF(0, 0, 10, 20), 50).boundingRect(),
              QRectF(0, 0, 10, 20));
}
