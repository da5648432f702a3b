#include "framework/base/SVGColourConverter.h"

#include <gtest/gtest.h>

TEST(SVGColourConverter, ReadsAndWritesHexColours)
{
    EXPECT_EQ(SVGColourConverter::colorWithHexRGB(QStringLiteral("#F0A")), QColor(255, 0, 170));
    EXPECT_EQ(SVGColourConverter::colorWithHexRGB(QStringLiteral("#102030")), QColor(16, 32, 48));
    EXPECT_EQ(SVGColourConverter::colorWithHexRGB(QStringLiteral("#10203040")),
              QColor(16, 32, 48, 64));
    for (const char *bad : {"", "#", "102030", "#12345", "#GG0000", "#1234567890"})
        EXPECT_FALSE(SVGColourConverter::colorWithHexRGB(QString::fromLatin1(bad)).isValid())
            << bad;
    EXPECT_EQ(SVGColourConverter::hexadecimalValueOfAnNSColor(QColor(171, 205, 239, 10)),
              QStringLiteral("#ABCDEF"));
    EXPECT_EQ(SVGColourConverter::contrastingColor(Qt::yellow), QColor(Qt::black));
    EXPECT_EQ(SVGColourConverter::contrastingColor(Qt::darkBlue), QColor(Qt::white));
}
