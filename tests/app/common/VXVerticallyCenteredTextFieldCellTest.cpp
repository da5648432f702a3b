#include "app/common/VXVerticallyCenteredTextFieldCell.h"

#include <gtest/gtest.h>

TEST(VXVerticallyCenteredTextFieldCell, TallRectangleShrinksToTheTextAroundItsMiddle)
{
    EXPECT_EQ(VXVerticallyCenteredTextFieldCell::drawingRectForBounds(QRect(0, 10, 100, 40), 16),
              QRect(0, 22, 100, 16));
    EXPECT_EQ(VXVerticallyCenteredTextFieldCell::drawingRectForBounds(QRect(0, 10, 100, 12), 16),
              QRect(0, 10, 100, 12));
}
